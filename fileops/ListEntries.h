// The rules of the two file lists that need no window: which list a file belongs to, the caption
// it is shown under, the file a caption stands for, the details a file shows, and how captions
// compare.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Which way a file goes: from the plain list to the crypted list, or back.
enum class Direction { Encrypt, Decrypt };

// The two file lists: the plain files above, the crypted files below.
enum class ListSide { Plain, Crypted };

// A crypted file's name ends in ".cry", in any letter case; ".cry" alone is one too.
bool IsCryptedFileName(const std::string& name);

// The caption of a crypted file: its name, or with ShowCry off the name without its last four
// characters (the ".cry"), which leaves ".cry" alone with an empty caption.
std::string CryptedCaption(const std::string& fileName, bool showCry);

// The name of the file a caption of the crypted list stands for, in directory. With ShowCry on
// the caption is the name. With it off ".cry" is appended; when no file has exactly that name
// but one's extension differs only in letter case ("b.CRY" for the caption "b"), that one is
// the file, so that a crypted file named in capitals is found on a file system that tells
// letter cases apart.
std::string CryptedFileName(const std::string& directory, const std::string& caption, bool showCry);

// The four attribute letters of a file: "A" (archive) for every regular file, "H" (hidden) for
// a name beginning with ".", "R" (read-only) when the owner may not write, "S" (system) never;
// "-" where a letter is off. A read-only hidden file reads "AHR-".
std::string AttributeLetters(bool regularFile, unsigned mode, const std::string& name);

// What a list shows of a file beside its caption.
struct FileDetails {
    std::int64_t Size = 0;
    std::int64_t ModifiedUtc = 0; // last write, seconds since 1970 in UTC
    std::string Attributes;
    std::string Method; // crypted files only: the method their fourth byte names, or "-"
};

// What a list keeps of a file beside its caption: numbers, read once and turned into texts only
// for the entries on screen.
struct FileFacts {
    std::int64_t Size = 0;
    std::int64_t ModifiedUtc = 0; // last write, seconds since 1970 in UTC
    std::uint32_t Mode = 0;       // the file's type and permission bits
    std::int16_t MagicByte = -1;  // crypted files: their fourth byte; -1 when they are shorter
};

// The texts of the details a file of this name shows.
FileDetails DetailsOf(const FileFacts& facts, const std::string& fileName, bool crypted);

// Reads the facts of files the way the lists show them: a file that is not (or no longer) a
// regular file, or that this user may not open for reading, has none; a crypted file is opened,
// never waited on, for its fourth byte. A plain file is only asked for its status, and whether
// this user may read it follows from its permission bits, as the system would decide (asked of
// the system when the bits say no, so that an access list granting it counts). With a directory
// the reader opens it once and names files in it, so that a folder of many thousand files costs
// little more than a status call for each.
class ListedFileReader {
public:
    // Names are paths, relative to the current directory or absolute.
    ListedFileReader();
    explicit ListedFileReader(const std::string& directory);
    ListedFileReader(const ListedFileReader&) = delete;
    ListedFileReader& operator=(const ListedFileReader&) = delete;
    ~ListedFileReader();

    // False, and nothing filled in, when the file cannot be asked or read.
    bool Read(const std::string& name, bool crypted, FileFacts& facts) const;

private:
    bool MayRead(const char* name, std::uint32_t ownerUid, std::uint32_t groupGid,
                 std::uint32_t mode) const;

    int directoryFd_;
    std::uint32_t uid_;
    std::vector<std::uint32_t> groups_; // the effective group and the supplementary ones
};

// Opens the file for reading only (never waiting on it), asks for its size, time and
// attributes, and for a crypted file reads its first four bytes. False, and nothing filled in,
// when the file cannot be opened or asked (it vanished, or is no longer a regular file).
bool ReadFileDetails(const std::string& path, bool crypted, FileDetails& details);

// Captions and the attribute and type texts compare without regard to case for the letters a to
// z and byte by byte otherwise: negative, zero or positive.
int CompareCaptions(const std::string& a, const std::string& b);
// The key a caption (or an attribute or type text) sorts by: compared byte for byte, bytes taken
// as unsigned, keys order their texts as CompareCaptions does.
std::string CaptionKey(std::string_view text);

// The captions a single-file operation moves between the lists: the caption the resulting file
// gets in its list, and the caption of the source entry in the other list.
struct ListMove {
    std::string Caption;
    std::string OldCaption;
};

// name is the caption the operation was given; newName, when not empty, the name a decrypted
// file took from its header.
ListMove MovedCaptions(const std::string& name, const std::string& newName, Direction direction,
                       bool showCry);

} // namespace qv
