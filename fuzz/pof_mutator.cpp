// A mutator that knows the shape of a POF file: one record a line, a number,
// a colon and a payload. Most mutations keep that shape and write plausible
// payloads for the record types the cycle handles (moves, events, texts,
// tools, workplanes), so that inputs get past the record reader into the
// handlers; one in eight is left to libFuzzer's own byte mutation, and
// payloads are also mutated byte-wise in place. FUZZ_PLAIN_MUTATION=1 turns
// all of it off (every mutation is libFuzzer's), for comparing the two.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

using Lines = std::vector<std::string>;

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    // 0 .. n-1; n > 0.
    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(engine_); }
    bool oneIn(size_t n) { return below(n) == 0; }
    template <typename T, size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(N)];
    }

private:
    std::minstd_rand engine_;
};

bool plainMutation() {
    static const bool plain = [] {
        const char* value = std::getenv("FUZZ_PLAIN_MUTATION");
        return value != nullptr && value[0] == '1';
    }();
    return plain;
}

// ---- numbers and words

// Texts the number reader meets: ordinary values, the edges of double,
// overflow, malformed and empty numbers.
const char* const kNumberTexts[] = {
    "0",      "1",       "-1",      "10",       "-15",     "0.5",      "-0.866025", ".5",
    "5.",     "1e3",     "1E-3",    "1e",       "1e+",     "-",        "+",        "+.",
    "",       "1e308",   "-1e308",  "1e309",    "4.9e-324", "1e-400",  "nan",      "inf",
    "-inf",   "0x1p3",   "00012",   "1.5.5",    "9999999999999999999999999", "1,5", " 7", "7 ",
};

std::string number(Random& random) {
    if (random.oneIn(3)) return random.pick(kNumberTexts);
    char text[40];
    if (random.oneIn(2)) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(random.below(2001)) - 1000);
    } else {
        const double value = (static_cast<double>(random.below(2000001)) - 1000000.0) / 997.0;
        std::snprintf(text, sizeof text, random.oneIn(4) ? "%.17g" : "%.4f", value);
    }
    return text;
}

std::string blanks(Random& random) {
    static const char* const kBlanks[] = {" ", " ", " ", "", "\t", "  ", " \t "};
    return random.pick(kBlanks);
}

std::string words(Random& random, size_t most) {
    static const char* const kWords[] = {"Pocket", "40x30", "a", "check", "fillet", "(f(g))",
                                         "\"a(b\"", "\"", "x", "tool 1", ";", "\\065", "äöü",
                                         "((", "))", "[", "]", "=", ""};
    std::string text;
    const size_t count = random.below(most + 1);
    for (size_t i = 0; i < count; ++i) {
        if (i != 0) text += ' ';
        text += random.oneIn(3) ? number(random) : random.pick(kWords);
    }
    return text;
}

// ---- payloads by record type

// x[first/target/third] and the like: parts may be missing, empty or extra.
std::string bracketValue(Random& random) {
    std::string value;
    const size_t parts = random.below(5);
    for (size_t i = 0; i < parts; ++i) {
        if (i != 0) value += '/';
        if (!random.oneIn(4)) value += number(random);
    }
    if (parts == 0 && random.oneIn(2)) value = number(random);
    return value;
}

std::string moveWord(Random& random) {
    static const char* const kNames[] = {"x", "y", "z", "x", "y", "z", "u", "v", "w",
                                         "o", "o", "multax", "q", "X", "xx", "abcdef", ""};
    const std::string name = random.pick(kNames);
    std::string value;
    if (name == "o") {
        static const char* const kDirections[] = {"-", "+", "-", "+", "", "*", "--", "+1"};
        value = random.pick(kDirections);
    } else if (name == "multax") {
        value = words(random, 3);
    } else {
        value = bracketValue(random);
    }
    std::string word = name;
    if (random.oneIn(12)) word += blanks(random);
    word += '[';
    word += value;
    if (!random.oneIn(12)) word += ']';
    return word;
}

std::string movePayload(Random& random) {
    static const char* const kKinds[] = {"oL", "oM", "oA", "oL", "oM", "oA", "oA", "o",
                                         "oX", "oL[1]", "oAA", "Kx", "o L", ""};
    std::string payload = random.pick(kKinds);
    if (random.oneIn(8)) payload += " " + moveWord(random);  // a word before the group
    payload += blanks(random) + "(";
    const size_t count = 1 + random.below(6);
    // An arc needs its direction word to be sent; give most of them one.
    if (payload.compare(0, 2, "oA") == 0 && !random.oneIn(4))
        payload += blanks(random) + (random.oneIn(2) ? "o[+]" : "o[-]");
    for (size_t i = 0; i < count; ++i) payload += blanks(random) + moveWord(random);
    if (random.oneIn(10)) payload += " ( " + moveWord(random);  // a second group opens
    if (!random.oneIn(10)) payload += blanks(random) + ")";
    if (random.oneIn(10)) payload += std::string(" ") + random.pick(kKinds);  // a later kind word
    // The earlier grammar drops blanks anywhere: scatter some.
    if (random.oneIn(10)) {
        for (size_t i = random.below(4); i > 0 && !payload.empty(); --i)
            payload.insert(random.below(payload.size()), 1, random.oneIn(2) ? ' ' : '\t');
    }
    return payload;
}

std::string eventPayload(Random& random) {
    static const char* const kNames[] = {
        "cycle",        "cycleEnd",     "break",        "error",        "msgFile",
        "frameCs_x",    "frameCs_y",    "frameCs_z",    "frameCs_o",    "locFrameCs_x",
        "locFrameCs_y", "locFrameCs_z", "locFrameCs_o", "reference_o",  "trans_rot",
        "trans_",       "wpCs_z",       "wpCs_",        "wpCs",         "CycleEnd",
        "unknown",      "a b cycle",    "",             "\"cycle\"",    "cycle cycleEnd"};
    std::string payload = random.oneIn(8) ? blanks(random) : "";
    payload += random.pick(kNames);
    payload += blanks(random).substr(0, random.oneIn(6) ? 1 : 0);
    payload += '(';
    if (random.oneIn(2))
        payload += number(random) + " " + number(random) + " " + number(random);
    else
        payload += words(random, 4);
    if (!random.oneIn(8)) payload += ')';
    if (random.oneIn(10)) payload += words(random, 2);
    return payload;
}

std::string textPayload(Random& random) {
    if (random.oneIn(10)) return std::string(1000 + random.below(60), 'a');  // about the cut
    return words(random, 6);
}

std::string workplanePayload(Random& random) {
    static const char* const kRecords[] = {
        "workplane(XY)", "workplane(ZX)", "workplane(XY)", "workplane(ZX)", "tr(workplane)",
        "tr(workplane)", "tr(workplane)", "workplane(YZ)", "workplane(xy)", "Workplane(ZX)",
        "tr(something)", "tr()",          "workplane()",   "rot(0 0 90)",   "workplane ZX",
        "tr(workplane",  " tr(workplane)", "x tr(workplane)"};
    if (random.oneIn(5)) return words(random, 1) + "(" + words(random, 3) + ")";
    return random.pick(kRecords);
}

std::string qdxName(Random& random) {
    static const char* const kNames[] = {"Tool", "Tool", "d", "spindle", "feed", "plunge",
                                         "a.b",  "a\\b", "x-1", "#$%&@", "", "9"};
    return random.pick(kNames);
}

std::string qdxElement(Random& random) {
    switch (random.below(7)) {
    case 0: return "v " + qdxName(random) + "(" + number(random) + ")";
    case 1: {
        std::string element = "o " + qdxName(random) + " [ " + words(random, 2) + " ] (";
        for (size_t i = random.below(4); i > 0; --i)
            element += " " + qdxName(random) + "[" + (random.oneIn(2) ? number(random) : words(random, 2)) + "]";
        return element + " )";
    }
    case 2: return "m " + qdxName(random) + " ( " + words(random, 3) + " )";
    case 3: return "m " + qdxName(random) + " [ " + words(random, 1) + " ] ( G1 F" + number(random) + " )";
    case 4: return random.oneIn(2) ? "{" : "}";
    case 5: return "; " + words(random, 3);
    default: return random.oneIn(2) ? "\\065" : words(random, 1);
    }
}

std::string toolPayload(Random& random) {
    std::string payload;
    for (size_t i = 1 + random.below(5); i > 0; --i) {
        if (!payload.empty()) payload += blanks(random);
        payload += qdxElement(random);
    }
    return payload;
}

// A record line: a type the cycle handles, now and then one it ignores, with
// blanks where the reader allows them.
std::string recordLine(Random& random) {
    static const int kTypes[] = {31, 31, 31, 31, 0, 0, 0, 2, 10, 10, 11, 11};
    static const char* const kOtherTypes[] = {"1", "7", "12", "99", "030", "2147483648",
                                              "99999999999", "-31", ""};
    std::string line;
    std::string payload;
    int type = random.pick(kTypes);
    if (random.oneIn(20)) {
        line = random.pick(kOtherTypes);
        type = -1;
    } else if (random.oneIn(12)) {
        // Blanks between the digits and before the colon.
        const std::string digits = std::to_string(type);
        for (char digit : digits) line += blanks(random) + digit;
        line += blanks(random);
    } else {
        line = std::to_string(type);
    }
    switch (type) {
    case 31: payload = movePayload(random); break;
    case 0: payload = eventPayload(random); break;
    case 2: payload = textPayload(random); break;
    case 10: payload = workplanePayload(random); break;
    case 11: payload = toolPayload(random); break;
    default: payload = words(random, 3); break;
    }
    return line + ":" + payload;
}

// ---- lines

Lines splitLines(const uint8_t* data, size_t size) {
    Lines lines;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            lines.emplace_back(reinterpret_cast<const char*>(data) + start, i - start);
            start = i + 1;
        }
    }
    if (size == 0) lines.clear();
    return lines;
}

std::string joinLines(const Lines& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) text += '\n';
        text += lines[i];
    }
    return text;
}

// Where a line's payload starts: after its first colon, or 0 without one.
size_t payloadStart(const std::string& line) {
    const size_t colon = line.find(':');
    return colon == std::string::npos ? 0 : colon + 1;
}

// The payload, mutated by libFuzzer's byte mutation, the record number kept.
void mutatePayload(std::string& line, size_t room) {
    const size_t start = payloadStart(line);
    std::string payload = line.substr(start);
    const size_t most = payload.size() + std::min<size_t>(room, 64) + 1;
    payload.resize(most);
    const size_t size = LLVMFuzzerMutate(reinterpret_cast<uint8_t*>(&payload[0]),
                                         line.size() - start, most);
    payload.resize(size);
    // The line stays one line: a line feed from the mutation would split it.
    for (char& c : payload)
        if (c == '\n') c = ' ';
    line.replace(start, std::string::npos, payload);
}

// One number in the payload (digits with their sign and point) replaced by
// another.
bool replaceNumber(std::string& line, Random& random) {
    std::vector<std::pair<size_t, size_t>> numbers;
    for (size_t i = payloadStart(line); i < line.size();) {
        if (std::isdigit(static_cast<unsigned char>(line[i])) == 0) {
            ++i;
            continue;
        }
        size_t begin = i;
        if (begin > 0 && (line[begin - 1] == '-' || line[begin - 1] == '+' || line[begin - 1] == '.'))
            --begin;
        while (i < line.size() &&
               (std::isdigit(static_cast<unsigned char>(line[i])) != 0 || line[i] == '.' ||
                line[i] == 'e' || line[i] == 'E'))
            ++i;
        numbers.emplace_back(begin, i - begin);
    }
    if (numbers.empty()) return false;
    const auto& chosen = numbers[random.below(numbers.size())];
    line.replace(chosen.first, chosen.second, number(random));
    return true;
}

// Swaps one word of a payload for another of its kind: a kind word, an axis
// name, a direction, an event name, a workplane.
bool replaceWord(std::string& line, Random& random) {
    static const char* const kGroups[][6] = {
        {"oL", "oM", "oA", "oX", "o", "OL"},
        {"x[", "y[", "z[", "u[", "v[", "w["},
        {"o[+]", "o[-]", "o[]", "o[*]", "o[-1]", "o[+ ]"},
        {"cycle(", "cycleEnd(", "break(", "frameCs_o(", "locFrameCs_z(", "trans_x("},
        {"(XY)", "(ZX)", "(YZ)", "(workplane)", "()", "(xy)"},
        {"[/", "[//", "[", "[/1/", "[1/2/3/4", "[/-"},
    };
    const size_t start = payloadStart(line);
    const size_t group = random.below(sizeof kGroups / sizeof kGroups[0]);
    for (const char* word : kGroups[group]) {
        const size_t at = line.find(word, start);
        if (at == std::string::npos) continue;
        line.replace(at, std::strlen(word), random.pick(kGroups[group]));
        return true;
    }
    return false;
}

void replaceRecordNumber(std::string& line, Random& random) {
    static const char* const kNumbers[] = {"0", "2", "10", "11", "31", "31", "3 1", " 0", "12", "-0", ""};
    const size_t colon = line.find(':');
    const std::string payload = colon == std::string::npos ? line : line.substr(colon + 1);
    line = std::string(random.pick(kNumbers)) + ":" + payload;
}

// One structural change of the lines. Returns false when it found nothing
// to change.
bool mutateLines(Lines& lines, Random& random, size_t room) {
    const size_t choice = random.below(100);
    if (lines.empty() || choice < 20) {
        lines.insert(lines.begin() + random.below(lines.size() + 1), recordLine(random));
        return true;
    }
    std::string& line = lines[random.below(lines.size())];
    if (choice < 34) {
        line = recordLine(random);
        return true;
    }
    if (choice < 56) {
        mutatePayload(line, room);
        return true;
    }
    if (choice < 67) return replaceNumber(line, random);
    if (choice < 77) return replaceWord(line, random);
    if (choice < 81) {
        replaceRecordNumber(line, random);
        return true;
    }
    if (choice < 92) {
        lines.erase(lines.begin() + random.below(lines.size()));
        return true;
    }
    if (choice < 95) {
        const size_t from = random.below(lines.size());
        const std::string copy = lines[from];
        lines.insert(lines.begin() + random.below(lines.size() + 1), copy);
        return true;
    }
    if (choice < 98) {
        std::swap(lines[random.below(lines.size())], lines[random.below(lines.size())]);
        return true;
    }
    // Line ends and the end-of-file byte the reader knows.
    static const char* const kEnds[] = {"\r", "\r\n", "\x1a", ""};
    line += random.pick(kEnds);
    return true;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned seed) {
    Random random(seed);
    if (plainMutation() || random.oneIn(8)) return LLVMFuzzerMutate(data, size, maxSize);

    Lines lines = splitLines(data, size);
    bool changed = false;
    for (size_t rounds = 1 + random.below(3); rounds > 0; --rounds) {
        const size_t length = joinLines(lines).size();
        changed |= mutateLines(lines, random, maxSize > length ? maxSize - length : 0);
    }
    const std::string text = joinLines(lines);
    if (!changed || text.size() > maxSize || text.empty())
        return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, text.data(), text.size());
    return text.size();
}

// Whole lines of the two inputs: a run of lines from the second put in place
// of a run of lines of the first.
extern "C" size_t LLVMFuzzerCustomCrossOver(const uint8_t* data1, size_t size1,
                                            const uint8_t* data2, size_t size2, uint8_t* out,
                                            size_t maxOutSize, unsigned seed) {
    if (plainMutation()) return 0;
    Random random(seed);
    Lines first = splitLines(data1, size1);
    const Lines second = splitLines(data2, size2);
    if (second.empty()) return 0;
    const size_t from = random.below(second.size());
    const size_t count = 1 + random.below(second.size() - from);
    const size_t at = random.below(first.size() + 1);
    const size_t replaced = random.below(first.size() - at + 1);
    first.erase(first.begin() + at, first.begin() + at + replaced);
    first.insert(first.begin() + at, second.begin() + from, second.begin() + from + count);
    const std::string text = joinLines(first);
    if (text.empty() || text.size() > maxOutSize) return 0;
    std::memcpy(out, text.data(), text.size());
    return text.size();
}
