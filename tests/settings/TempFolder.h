#pragma once
// A fresh folder per test, so no test ever touches a Kestrine.ini beside the test binary.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace kestrine::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kestrine-settings-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        path_ = pattern + "/";
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // With a trailing "/", as ProgramFolder is.
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

    // The names in the folder, to see that no temporary file was left behind.
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            out.insert(entry.path().filename().string());
        return out;
    }

private:
    std::string path_;
};

// A written Kestrine.ini alone: the lock file writers of it take turns on goes with the write.
inline const std::set<std::string> kIniAlone = {"Kestrine.ini"};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace kestrine::testing
