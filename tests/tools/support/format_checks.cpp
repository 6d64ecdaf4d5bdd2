#include "tools/support/format_checks.h"

#include <cctype>
#include <set>
#include <vector>

namespace host_tests {

namespace {

class JsonChecker {
public:
    explicit JsonChecker(const std::string& text) : s_(text) {}

    bool document(std::string* why) {
        skipBlanks();
        const bool ok = value() && (skipBlanks(), at_ == s_.size());
        if (!ok && why != nullptr) *why = "bad JSON near offset " + std::to_string(at_);
        return ok;
    }

private:
    bool more() const { return at_ < s_.size(); }
    char peek() const { return more() ? s_[at_] : '\0'; }
    void skipBlanks() {
        while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) ++at_;
    }
    bool literal(const char* word) {
        const std::string w = word;
        if (s_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }
    bool digits() {
        const std::size_t start = at_;
        while (more() && std::isdigit(static_cast<unsigned char>(peek()))) ++at_;
        return at_ > start;
    }
    bool number() {
        if (peek() == '-') ++at_;
        if (peek() == '0') ++at_;
        else if (!digits()) return false;
        if (peek() == '.') {
            ++at_;
            if (!digits()) return false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            if (!digits()) return false;
        }
        return true;
    }
    bool string() {
        if (peek() != '"') return false;
        ++at_;
        while (more()) {
            const auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') return true;
            if (c < 0x20 || c >= 0x80) return false;
            if (c != '\\') continue;
            if (!more()) return false;
            const char e = s_[at_++];
            if (e == 'u') {
                for (int i = 0; i < 4; ++i)
                    if (!more() || !std::isxdigit(static_cast<unsigned char>(s_[at_++]))) return false;
            } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    bool value() {
        if (++depth_ > 64) return false;
        bool ok = false;
        switch (peek()) {
        case '{': ok = members('}', true); break;
        case '[': ok = members(']', false); break;
        case '"': ok = string(); break;
        case 't': ok = literal("true"); break;
        case 'f': ok = literal("false"); break;
        case 'n': ok = literal("null"); break;
        default: ok = number(); break;
        }
        --depth_;
        return ok;
    }
    // An object's members or an array's elements up to `close`.
    bool members(char close, bool named) {
        ++at_;
        skipBlanks();
        if (peek() == close) {
            ++at_;
            return true;
        }
        for (;;) {
            skipBlanks();
            if (named) {
                if (!string()) return false;
                skipBlanks();
                if (peek() != ':') return false;
                ++at_;
                skipBlanks();
            }
            if (!value()) return false;
            skipBlanks();
            if (peek() == close) {
                ++at_;
                return true;
            }
            if (peek() != ',') return false;
            ++at_;
        }
    }

    const std::string& s_;
    std::size_t at_ = 0;
    int depth_ = 0;
};

class XmlChecker {
public:
    explicit XmlChecker(const std::string& text) : s_(text) {}

    bool document(std::map<std::string, int>* elements, std::string* why) {
        const bool ok = parse();
        if (!ok && why != nullptr) *why = "bad XML near offset " + std::to_string(at_) + ": " + reason_;
        if (ok && elements != nullptr) *elements = counts_;
        return ok;
    }

private:
    bool fail(const char* reason) {
        reason_ = reason;
        return false;
    }
    bool more() const { return at_ < s_.size(); }
    bool startsWith(const char* text) const { return s_.compare(at_, std::string(text).size(), text) == 0; }
    void skipBlanks() {
        while (more() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
    }
    static bool nameChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.';
    }
    bool name(std::string& out) {
        const std::size_t start = at_;
        while (more() && nameChar(s_[at_])) ++at_;
        out = s_.substr(start, at_ - start);
        return !out.empty() && !std::isdigit(static_cast<unsigned char>(out[0]));
    }
    bool entity() {
        for (const char* known : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
            if (startsWith(known)) {
                at_ += std::string(known).size();
                return true;
            }
        }
        return fail("unknown entity");
    }
    bool attributes(bool& selfClosing) {
        std::set<std::string> seen;
        for (;;) {
            skipBlanks();
            if (startsWith("/>")) {
                at_ += 2;
                selfClosing = true;
                return true;
            }
            if (startsWith(">")) {
                ++at_;
                selfClosing = false;
                return true;
            }
            std::string attribute;
            if (!name(attribute)) return fail("attribute name expected");
            if (!seen.insert(attribute).second) return fail("attribute repeated");
            skipBlanks();
            if (!more() || s_[at_] != '=') return fail("'=' expected");
            ++at_;
            skipBlanks();
            if (!more() || (s_[at_] != '"' && s_[at_] != '\'')) return fail("quoted value expected");
            const char quote = s_[at_++];
            while (more() && s_[at_] != quote) {
                if (s_[at_] == '<') return fail("'<' in attribute value");
                if (s_[at_] == '&') {
                    if (!entity()) return false;
                } else {
                    ++at_;
                }
            }
            if (!more()) return fail("unterminated attribute value");
            ++at_;
        }
    }
    bool parse() {
        if (startsWith("<?xml")) {
            const std::size_t end = s_.find("?>", at_);
            if (end == std::string::npos) return fail("unterminated declaration");
            at_ = end + 2;
        }
        std::vector<std::string> open;
        bool rootSeen = false;
        skipBlanks();
        while (more()) {
            if (s_[at_] != '<') {
                if (open.empty()) return fail("text outside the root element");
                if (s_[at_] == '&') {
                    if (!entity()) return false;
                } else if (s_[at_] == '>') {
                    return fail("'>' in text");
                } else {
                    ++at_;
                }
                continue;
            }
            if (startsWith("<!--")) {
                const std::size_t end = s_.find("-->", at_);
                if (end == std::string::npos) return fail("unterminated comment");
                at_ = end + 3;
                continue;
            }
            if (startsWith("</")) {
                at_ += 2;
                std::string closing;
                if (!name(closing) || open.empty() || open.back() != closing) return fail("mismatched end tag");
                skipBlanks();
                if (!more() || s_[at_] != '>') return fail("'>' expected");
                ++at_;
                open.pop_back();
                if (open.empty()) skipBlanks();
                continue;
            }
            ++at_;
            std::string element;
            if (!name(element)) return fail("element name expected");
            if (open.empty() && rootSeen) return fail("second root element");
            rootSeen = true;
            ++counts_[element];
            bool selfClosing = false;
            if (!attributes(selfClosing)) return false;
            if (!selfClosing) open.push_back(element);
            if (open.empty()) skipBlanks();
        }
        if (!open.empty()) return fail("unclosed element");
        return rootSeen || fail("no root element");
    }

    const std::string& s_;
    std::size_t at_ = 0;
    std::string reason_;
    std::map<std::string, int> counts_;
};

}  // namespace

bool isJsonValue(const std::string& line, std::string* why) { return JsonChecker(line).document(why); }

bool isWellFormedXml(const std::string& text, std::map<std::string, int>* elements, std::string* why) {
    return XmlChecker(text).document(elements, why);
}

}  // namespace host_tests
