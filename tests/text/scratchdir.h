#pragma once
// Test helpers for files: a fresh folder per test, removed afterwards, and a disk that fills up.

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vocelle-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    std::set<std::string> names() const {
        std::set<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            result.insert(entry.path().filename().string());
        return result;
    }

  private:
    std::filesystem::path path_;
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every regular file below root, by relative path, with its bytes.
inline std::map<std::string, std::string> filesBelow(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), root).string()] =
                readAll(entry.path().string());
    return files;
}

// The message of the std::exception that `call` throws, or "no exception".
inline std::string errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no exception";
}

// errorOf(call) while `resource` is held to `limit`.
inline std::string errorWithLimit(decltype(RLIMIT_AS) resource, rlim_t limit,
                                  const std::function<void()>& call) {
    rlimit old{};
    ::getrlimit(resource, &old);
    const rlimit cap{limit, old.rlim_max};
    ::setrlimit(resource, &cap);
    const std::string error = errorOf(call);
    ::setrlimit(resource, &old);
    return error;
}

// errorOf(call) while no file may grow beyond `bytes`, so a write fails half way as on a full disk.
inline std::string errorWithFileSizeLimit(rlim_t bytes, const std::function<void()>& call) {
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const std::string error = errorWithLimit(RLIMIT_FSIZE, bytes, call);
    std::signal(SIGXFSZ, oldHandler);
    return error;
}

// errorOf(call) while the address space may grow by at most 100 MB.
inline std::string errorWithLittleMemory(const std::function<void()>& call) {
    rlim_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    return errorWithLimit(RLIMIT_AS, pages * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(100) << 20), call);
}
