// A temporary directory that the test works in, removed afterwards.
#pragma once

#include <string>

namespace testing_support {

class TempDir {
public:
    // Creates a fresh directory; with `enter`, also makes it the process's
    // current directory until destruction (relative names, "pofreader.def"
    // and "EDK.TXT" then land in it).
    explicit TempDir(bool enter = true);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Full path of `name` inside the directory.
    std::string file(const std::string& name) const;
    // Writes `content` (bytes as they are) to `name`; returns the full path.
    std::string write(const std::string& name, const std::string& content) const;
    // Reads `name` whole; empty when it does not exist.
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
    std::string previous_;
    bool entered_ = false;
};

}  // namespace testing_support
