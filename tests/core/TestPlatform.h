#pragma once
// The real platform with hooks: captured console, simulated free space, failing reads and writes.

#include "platform/Platform.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrine::testing {

class TestPlatform : public Platform {
public:
    std::string console;
    std::string standardError;
    bool consoleOk = true;
    std::optional<std::int64_t> free;
    std::string mount = "/mnt/test";
    int failWriteAt = 0; // 1-based number of the write call that fails; 0 never
    int failReadAt = 0;
    int shortReadAt = 0; // this read call reports end of file
    int writes = 0;
    int reads = 0;
    int seeks = 0;
    bool failCreate = false;
    std::int64_t clockMs = 0;
    std::int64_t clockStep = 0;
    std::string separator = ",";

    std::int64_t write(int h, const void* b, std::size_t n, std::string& why) override {
        if (++writes == failWriteAt) {
            why = "No space left on device";
            return -1;
        }
        return Platform::write(h, b, n, why);
    }
    std::int64_t read(int h, void* b, std::size_t n, std::string& why) override {
        ++reads;
        if (reads == failReadAt) {
            why = "Input/output error";
            return -1;
        }
        if (reads == shortReadAt)
            return 0;
        return Platform::read(h, b, n, why);
    }
    bool seek(int h, FileOffset p, std::string& why) override {
        ++seeks;
        return Platform::seek(h, p, why);
    }
    int createExclusive(const std::string& path, std::string& why) override {
        if (failCreate) {
            why = "Permission denied";
            return -1;
        }
        return Platform::createExclusive(path, why);
    }
    std::int64_t freeBytes(const std::string& folder) override {
        return free ? *free : Platform::freeBytes(folder);
    }
    std::string mountPoint(const std::string&) override { return mount; }
    std::string thousandsSeparator() override { return separator; }
    std::int64_t nowMs() override {
        std::int64_t now = clockMs;
        clockMs += clockStep;
        return now;
    }
    bool consoleAvailable() override { return consoleOk; }
    void writeConsole(std::string_view utf8) override { console.append(utf8); }
    void writeStandardError(std::string_view text) override { standardError.append(text); }
};

// A fresh temporary folder, removed with its contents at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kestrine-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::vector<char> randomBytes(std::size_t n, unsigned seed = 1) {
    std::vector<char> out(n);
    std::mt19937 gen(seed);
    for (auto& c : out)
        c = static_cast<char>(gen() & 0xFF);
    return out;
}

inline void writeFile(const std::string& path, const std::vector<char>& data) {
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

} // namespace kestrine::testing
