// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::string path_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
// Bytes from a fixed pattern generator, so that failures are reproducible.
std::vector<std::uint8_t> PatternBytes(std::size_t count, std::uint32_t seed = 1);
bool RunningAsRoot();
// The permission bits of the file at path (0 when it cannot be asked).
unsigned ModeOf(const std::string& path);

} // namespace qvtest
