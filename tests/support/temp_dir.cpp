#include "support/temp_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {

TempDir::TempDir(bool enter) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pofreader-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    if (enter && !path_.empty()) {
        previous_ = std::filesystem::current_path().string();
        entered_ = chdir(path_.c_str()) == 0;
    }
}

TempDir::~TempDir() {
    if (entered_) (void)chdir(previous_.c_str());
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const std::string full = file(name);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return full;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TempDir::exists(const std::string& name) const {
    return std::filesystem::exists(file(name));
}

}  // namespace testing_support
