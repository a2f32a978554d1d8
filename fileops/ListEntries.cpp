#include "ListEntries.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "Paths.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace qv {

namespace {

constexpr std::size_t ExtensionLength = 4; // ".cry"

} // namespace

bool IsCryptedFileName(const std::string& name) {
    return AsciiLower(ExtensionOf(name)) == CryptExtension;
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

bool ReadFileDetails(const std::string& path, bool crypted, FileDetails& details) {
    // Non-blocking, so that a name that has become a pipe meanwhile cannot hold the list up.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    FileDetails read;
    read.Size = st.st_size;
    read.ModifiedUtc = st.st_mtim.tv_sec;
    read.Attributes = AttributeLetters(true, st.st_mode, FileNamePart(path));
    if (crypted) {
        std::uint8_t magic[4];
        read.Method = ReadFull(fd.Get(), magic, sizeof magic) == static_cast<long>(sizeof magic)
                          ? MethodName(MethodOfMagicByte(magic[3]))
                          : "-";
    }
    details = std::move(read);
    return true;
}

int CompareCaptions(const std::string& a, const std::string& b) {
    const std::string la = AsciiLower(a);
    const std::string lb = AsciiLower(b);
    // Byte by byte, with bytes taken as unsigned, as std::string::compare does.
    const int order = la.compare(lb);
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
