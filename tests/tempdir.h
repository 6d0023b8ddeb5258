#pragma once
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace ozn::test {

// The permission bits of a plain file with one name; -1 for anything else.
inline int modeOf(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 ? int(st.st_mode & 0777) : -1;
}

// A fresh folder that is removed again at the end of the test.
class TempDir {
public:
    TempDir() : path_((std::filesystem::temp_directory_path() / "ozn-test-XXXXXX").string()) {
        if (!::mkdtemp(path_.data())) throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }
    // The data files that ship with the game.
    void copyBundledData() const {
        for (const char* f : {"race.txt", "horsename.txt", "odds.txt"})
            std::filesystem::copy_file(std::string(OZN_DATA_DIR) + "/" + f, file(f));
    }

private:
    std::string path_;
};

}  // namespace ozn::test
