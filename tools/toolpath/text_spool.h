// Texts kept for printing after the run, in order: in an unnamed temporary
// file, so that a job's many cycle titles and workplane names cost no memory
// however long the file; in memory only when no temporary file can be made.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pofhost {

class TextSpool {
public:
    TextSpool() = default;
    TextSpool(const TextSpool&) = delete;
    TextSpool& operator=(const TextSpool&) = delete;
    TextSpool(TextSpool&& other) noexcept
        : file_(other.file_), inMemory_(other.inMemory_), memory_(std::move(other.memory_)), count_(other.count_) {
        other.file_ = nullptr;
        other.count_ = 0;
    }
    TextSpool& operator=(TextSpool&&) = delete;
    ~TextSpool();

    void add(const std::string& text);
    long size() const { return count_; }
    // Calls `each` with every text in the order they were added.
    void forEach(const std::function<void(const std::string&)>& each) const;
    std::vector<std::string> all() const;

private:
    std::FILE* file_ = nullptr;
    bool inMemory_ = false;  // the temporary file could not be made or written
    std::vector<std::string> memory_;
    long count_ = 0;
};

}  // namespace pofhost
