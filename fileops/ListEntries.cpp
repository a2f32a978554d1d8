#include "ListEntries.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "Paths.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

constexpr std::size_t ExtensionLength = 4; // ".cry"

} // namespace

bool IsCryptedFileName(const std::string& name) {
    // The extension runs from the last "."; ".cry" holds no other, so a crypted file's name
    // ends in these four characters. Compared in place: a folder may hold 100,000 names.
    if (name.size() < ExtensionLength)
        return false;
    const std::string_view last = std::string_view(name).substr(name.size() - ExtensionLength);
    for (std::size_t i = 0; i < ExtensionLength; ++i) {
        const char c = last[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != CryptExtension[i])
            return false;
    }
    return true;
}

std::string CryptedCaption(const std::string& fileName, bool showCry) {
    if (showCry || fileName.size() < ExtensionLength)
        return fileName;
    return fileName.substr(0, fileName.size() - ExtensionLength);
}

std::string CryptedFileName(const std::string& directory, const std::string& caption,
                            bool showCry) {
    if (showCry)
        return caption;
    const std::string exact = caption + CryptExtension;
    if (PathExists(JoinPath(directory, exact)))
        return exact;
    // The seven other spellings of the extension: each of c, r and y in either case.
    for (unsigned upper = 1; upper < 8; ++upper) {
        std::string name = exact;
        for (unsigned letter = 0; letter < 3; ++letter)
            if (upper & (1u << letter)) {
                char& c = name[name.size() - 3 + letter];
                c = static_cast<char>(c - 'a' + 'A');
            }
        if (PathExists(JoinPath(directory, name)))
            return name;
    }
    return exact;
}

std::string AttributeLetters(bool regularFile, unsigned mode, const std::string& name) {
    std::string letters = "----";
    if (regularFile)
        letters[0] = 'A';
    if (!name.empty() && name[0] == '.')
        letters[1] = 'H';
    if ((mode & S_IWUSR) == 0)
        letters[2] = 'R';
    return letters;
}

FileDetails DetailsOf(const FileFacts& facts, const std::string& fileName, bool crypted) {
    FileDetails details;
    details.Size = facts.Size;
    details.ModifiedUtc = facts.ModifiedUtc;
    details.Attributes = AttributeLetters(true, facts.Mode, FileNamePart(fileName));
    if (crypted)
        details.Method =
            facts.MagicByte < 0
                ? "-"
                : MethodName(MethodOfMagicByte(static_cast<std::uint8_t>(facts.MagicByte)));
    return details;
}

ListedFileReader::ListedFileReader() : directoryFd_(AT_FDCWD), uid_(geteuid()) {
    groups_.push_back(getegid());
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> more(static_cast<std::size_t>(count));
        const int got = getgroups(count, more.data());
        for (int i = 0; i < got; ++i)
            groups_.push_back(more[static_cast<std::size_t>(i)]);
    }
}

ListedFileReader::ListedFileReader(const std::string& directory) : ListedFileReader() {
    directoryFd_ =
        open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

ListedFileReader::~ListedFileReader() {
    if (directoryFd_ >= 0)
        close(directoryFd_);
}

bool ListedFileReader::MayRead(const char* name, std::uint32_t ownerUid, std::uint32_t groupGid,
                               std::uint32_t mode) const {
    if (uid_ == 0)
        return true;
    const bool allowed = ownerUid == uid_ ? (mode & S_IRUSR) != 0
                         : std::find(groups_.begin(), groups_.end(), groupGid) != groups_.end()
                             ? (mode & S_IRGRP) != 0
                             : (mode & S_IROTH) != 0;
    return allowed || faccessat(directoryFd_, name, R_OK, AT_EACCESS) == 0;
}

bool ListedFileReader::Read(const std::string& name, bool crypted, FileFacts& facts) const {
    if (directoryFd_ < 0 && directoryFd_ != AT_FDCWD)
        return false;
    struct stat st {};
    FileFacts read;
    if (crypted) {
        // Non-blocking, so that a name that has become a pipe meanwhile cannot hold the list up.
        UniqueFd fd(
            openat(directoryFd_, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        std::uint8_t magic[4];
        if (ReadFull(fd.Get(), magic, sizeof magic) == static_cast<long>(sizeof magic))
            read.MagicByte = magic[3];
    } else if (fstatat(directoryFd_, name.c_str(), &st, 0) != 0 || !S_ISREG(st.st_mode) ||
               !MayRead(name.c_str(), st.st_uid, st.st_gid, st.st_mode)) {
        return false;
    }
    read.Size = st.st_size;
    read.ModifiedUtc = st.st_mtim.tv_sec;
    read.Mode = st.st_mode;
    facts = read;
    return true;
}

bool ReadFileDetails(const std::string& path, bool crypted, FileDetails& details) {
    FileFacts facts;
    if (!ListedFileReader().Read(path, crypted, facts))
        return false;
    details = DetailsOf(facts, path, crypted);
    return true;
}

std::string CaptionKey(std::string_view text) {
    return AsciiLower(std::string(text));
}

int CompareCaptions(const std::string& a, const std::string& b) {
    // Byte by byte, with bytes taken as unsigned, as std::string::compare does.
    const int order = CaptionKey(a).compare(CaptionKey(b));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

ListMove MovedCaptions(const std::string& name, const std::string& newName, Direction direction,
                       bool showCry) {
    ListMove move;
    move.Caption = newName.empty() ? name : newName;
    move.OldCaption = name;
    if (direction == Direction::Encrypt) {
        if (showCry)
            move.Caption += CryptExtension;
    } else if (showCry && newName.empty() && move.Caption.size() >= ExtensionLength) {
        move.Caption.erase(move.Caption.size() - ExtensionLength);
    }
    return move;
}

} // namespace qv
