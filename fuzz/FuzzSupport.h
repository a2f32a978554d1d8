// Pieces the fuzz targets share: how a target reports a finding, and a folder in memory-backed
// storage for the files an input becomes.
#pragma once

#include "FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::fuzz {

// A broken expectation ends the process with abort(), which libFuzzer records as a crash and
// saves the input of.
[[noreturn]] inline void Fail(const std::string& why) {
    std::fprintf(stderr, "==fuzz finding== %s\n", why.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void Check(bool ok, const char* why) {
    if (!ok)
        Fail(why);
}

inline std::string Quoted(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "\"" : ", \"") + name + "\"";
    return "[" + text + "]";
}

// Writes a whole file, owner-only; false when it cannot.
inline bool WriteFileBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    return fd.Valid() && WriteAll(fd.Get(), data, size);
}

// The whole content of a regular file, or nothing when it cannot be read.
inline std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size) + 1);
    const long got = ReadFull(fd.Get(), bytes.data(), bytes.size());
    if (got < 0)
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

// The folder one fuzzing process works in: <base>/quorvane-fuzz-<target>-<pid>, where base is
// /dev/shm, or $TMPDIR (else /tmp) on a system without it. Memory-backed storage keeps the
// flushes of the files the program writes cheap, so the fuzzer runs many inputs a second.
// Created once per process and emptied after every input; a process that crashed leaves its
// folder behind, so a new one first removes the folders of processes that are gone.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& target) {
        const std::string base = Base();
        const std::string prefix = "quorvane-fuzz-" + target + "-";
        RemoveLeftovers(base, prefix);
        path_ = base + "/" + prefix + std::to_string(getpid());
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        if (mkdir(path_.c_str(), 0700) != 0)
            Fail("cannot create the scratch folder " + path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(path_, ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Removes everything in the folder, so that every input starts from an empty one.
    void Clear() const {
        std::error_code ec;
        for (const auto& name : Names())
            std::filesystem::remove_all(*this / name, ec);
    }

private:
    static std::string Base() {
        struct stat st {};
        if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0)
            return "/dev/shm";
        const char* tmp = std::getenv("TMPDIR");
        return tmp && *tmp ? tmp : "/tmp";
    }

    // Folders named prefix + the id of a process that no longer runs.
    static void RemoveLeftovers(const std::string& base, const std::string& prefix) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
                continue;
            const std::string id = name.substr(prefix.size());
            if (id.find_first_not_of("0123456789") != std::string::npos || id.size() > 9)
                continue;
            const pid_t pid = static_cast<pid_t>(std::stol(id));
            if (kill(pid, 0) != 0 && errno == ESRCH) {
                std::error_code ignored;
                std::filesystem::remove_all(entry.path(), ignored);
            }
        }
    }

    std::string path_;
};

} // namespace qv::fuzz
