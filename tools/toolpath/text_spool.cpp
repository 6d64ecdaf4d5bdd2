#include "toolpath/text_spool.h"

#include <cstdint>
#include <utility>

namespace pofhost {

TextSpool::~TextSpool() {
    if (file_ != nullptr) std::fclose(file_);
}

void TextSpool::add(const std::string& text) {
    ++count_;
    if (!inMemory_ && file_ == nullptr) file_ = std::tmpfile();
    // Each text as its length and its bytes: a text may hold any byte.
    const auto length = static_cast<uint32_t>(text.size());
    if (!inMemory_ && file_ != nullptr && std::fwrite(&length, sizeof length, 1, file_) == 1 &&
        std::fwrite(text.data(), 1, text.size(), file_) == text.size())
        return;
    if (!inMemory_) {
        // Whatever the file holds so far moves to memory, this text after it.
        --count_;
        std::vector<std::string> kept = all();
        ++count_;
        inMemory_ = true;
        memory_ = std::move(kept);
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
    }
    memory_.push_back(text);
}

void TextSpool::forEach(const std::function<void(const std::string&)>& each) const {
    if (inMemory_) {
        for (const std::string& text : memory_) each(text);
        return;
    }
    if (file_ == nullptr || std::fflush(file_) != 0) return;
    std::rewind(file_);
    std::string text;
    uint32_t length = 0;
    for (long i = 0; i < count_ && std::fread(&length, sizeof length, 1, file_) == 1; ++i) {
        text.resize(length);
        if (length > 0 && std::fread(&text[0], 1, length, file_) != length) break;
        each(text);
    }
    std::fseek(file_, 0, SEEK_END);
}

std::vector<std::string> TextSpool::all() const {
    std::vector<std::string> texts;
    forEach([&](const std::string& text) { texts.push_back(text); });
    return texts;
}

}  // namespace pofhost
