#include "PwdTable.h"

#include "ByteOrder.h"
#include "Crc.h"
#include "FileSystem.h"
#include "Idea.h"
#include "KeyExpand.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

constexpr std::uint8_t Magic[4] = {'P', 'T', '9', '8'};
constexpr std::size_t HeaderSize = 14;
constexpr std::size_t KeySize = 16;
constexpr std::size_t ChecksumOffset = 8;

// Closes a descriptor opened for reading on every path out of ReadDatabase.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path)
        : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile() {
        if (fd_ >= 0)
            close(fd_);
    }
    int Fd() const { return fd_; }

private:
    int fd_;
};

void XorBlock(std::uint8_t* block, const std::uint8_t* with) noexcept {
    for (int i = 0; i < 8; ++i)
        block[i] ^= with[i];
}

// An entry is one line "key=password", so neither part may hold a line break or a zero byte
// (either would split or end the line when the file is read back), and an empty password would
// hand nothing over.
bool FitsOneLine(const std::string& key, const SecureBytes& password) {
    auto breaksLine = [](std::uint8_t c) { return c == '\r' || c == '\n' || c == '\0'; };
    return !password.empty() && std::none_of(password.begin(), password.end(), breaksLine) &&
           std::none_of(key.begin(), key.end(),
                        [&](char c) { return breaksLine(static_cast<std::uint8_t>(c)); });
}

} // namespace

TQV_PwdTable::TQV_PwdTable(TQV_Pwd& currentPassword, UserAnswers& answers)
    : current_(currentPassword), answers_(answers) {}

TQV_PwdTable::~TQV_PwdTable() {
    ClearEntries();
}

void TQV_PwdTable::StorePassword(const std::string& key) {
    StorePassword(key, current_);
}

void TQV_PwdTable::StorePassword(const std::string& key, const TQV_Pwd& holder) {
    if (!MasterPass.Store)
        return;
    SecureBytes typed = holder.TypedPassword();
    if (!FitsOneLine(key, typed)) {
        answers_.ShowError(StoreRefusedMessage);
        return;
    }
    if (!HoldsMasterPassword() || LoadForChange() == Loaded::Failed)
        return;
    // One entry per file: storing again replaces the password.
    if (const auto found = Entries.Find(key))
        Entries.Remove(*found);
    Entries.Add(key, typed);
    WriteAndClear();
}

bool TQV_PwdTable::RetrievePassword(const std::string& key) {
    return TakeEntry(key, true);
}

bool TQV_PwdTable::FetchPassword(const std::string& key) {
    return TakeEntry(key, false);
}

bool TQV_PwdTable::TakeEntry(const std::string& key, bool remove) {
    if (!MasterPass.Store)
        return false;
    if (!HoldsMasterPassword() || LoadForChange() != Loaded::Entries)
        return false;
    const auto found = Entries.Find(key);
    const SecureBytes password = found ? Entries.PasswordOf(*found) : SecureBytes();
    if (password.empty()) {
        ClearEntries();
        return false;
    }
    current_.SetTypedPassword(password.data(), password.size());
    if (!remove) {
        ClearEntries();
        return true;
    }
    // A stored password serves once.
    Entries.Remove(*found);
    WriteAndClear();
    return true;
}

bool TQV_PwdTable::ConsumePassword(const std::string& key) {
    if (!MasterPass.Store)
        return true;
    if (!HoldsMasterPassword())
        return false;
    switch (LoadForChange()) {
    case Loaded::Failed:
        return false;
    case Loaded::NoFile:
        return true;
    case Loaded::Entries:
        break;
    }
    const auto found = Entries.Find(key);
    if (!found || Entries.PasswordOf(*found) != current_.TypedPassword()) {
        ClearEntries();
        return true;
    }
    Entries.Remove(*found);
    return WriteAndClear();
}

bool TQV_PwdTable::HoldsMasterPassword() {
    if (!MasterPass.HasPassword)
        PromptForMasterPassword();
    return MasterPass.HasPassword;
}

TQV_PwdTable::Loaded TQV_PwdTable::LoadForChange() {
    ClearEntries();
    const std::int32_t result = ReadDatabase(true);
    if (result == DatabaseOk)
        return Loaded::Entries;
    // Only a file that is not there starts an empty database. One that is there but cannot be
    // opened (a dangling link, a loop of links, no permission) must not be replaced by a new
    // database holding a single entry.
    if (result == DatabaseCannotOpen && !PathExists(MasterPass.DatabasePath()))
        return Loaded::NoFile;
    ClearEntries();
    answers_.ShowError(DatabaseErrorMessage);
    return Loaded::Failed;
}

bool TQV_PwdTable::WriteAndClear() {
    const std::int32_t result = WriteDatabase();
    ClearEntries();
    if (result == DatabaseOk)
        return true;
    answers_.ShowError(DatabaseErrorMessage);
    return false;
}

bool TQV_PwdTable::DeriveKey(SecureArray<std::uint8_t, KeySize>& key, std::uint16_t& check) {
    // A longer master password (possible from the command line) is used as its first 16 bytes.
    if (MasterPass.PasswordLength > static_cast<std::int32_t>(KeySize))
        MasterPass.PasswordLength = static_cast<std::int32_t>(KeySize);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(MasterPass.PasswordLength, 0)),
                                   MasterPass.Password.size());
    if (n == 0)
        return false;
    ExpandKey(key.data(), KeySize, MasterPass.Password.data(), n);
    check = static_cast<std::uint16_t>(UpdateCrc(0, key.data(), n) & 0xFFFF);
    return true;
}

std::int32_t TQV_PwdTable::ReadDatabase(bool loadEntries) {
    const ReadOnlyFile file(MasterPass.DatabasePath());
    if (file.Fd() < 0)
        return DatabaseCannotOpen;

    std::uint8_t header[HeaderSize];
    if (ReadFull(file.Fd(), header, HeaderSize) != static_cast<long>(HeaderSize))
        return DatabaseReadFailed;
    if (std::memcmp(header, Magic, sizeof Magic) != 0)
        return DatabaseNotPt98;
    const auto textLength = static_cast<std::int32_t>(LoadLittle<std::uint32_t>(header + 4));
    const std::uint32_t storedChecksum = LoadLittle<std::uint32_t>(header + 8);
    const auto storedCheck = LoadLittle<std::uint16_t>(header + 12);

    IdeaSubkeys decipher;
    {
        SecureArray<std::uint8_t, KeySize> key;
        std::uint16_t check = 0;
        if (!DeriveKey(key, check) || check != storedCheck)
            return DatabaseWrongKey;
        IdeaSubkeys encipher;
        IdeaExpandKey(key.data(), encipher);
        IdeaInvertKey(encipher, decipher);
    }
    if (!loadEntries)
        return DatabaseOk;

    struct stat st {};
    if (fstat(file.Fd(), &st) != 0 || st.st_size < static_cast<off_t>(HeaderSize))
        return DatabaseReadFailed;
    const auto dataSize = static_cast<std::uint64_t>(st.st_size) - HeaderSize;
    // The entry text lies inside the data; a length outside it is damage, never a reason to
    // read past the data. No database reaches 2 GiB, whose sizes would not fit the header.
    if (dataSize > static_cast<std::uint64_t>(INT32_MAX) || textLength < 0 ||
        static_cast<std::uint64_t>(textLength) > dataSize)
        return DatabaseWrongKey;

    try {
        SecureBytes chunk(DatabaseChunkSize);
        SecureBytes image;
        image.reserve(static_cast<std::size_t>(dataSize));
        SecureArray<std::uint8_t, 8> chaining;
        SecureArray<std::uint8_t, 8> saved;
        std::uint32_t checksum = 0;
        const std::uint64_t chunks = dataSize / DatabaseChunkSize + 1;
        for (std::uint64_t i = 0; i < chunks; ++i) {
            const std::size_t size = i + 1 == chunks
                                         ? static_cast<std::size_t>(dataSize % DatabaseChunkSize)
                                         : DatabaseChunkSize;
            if (ReadFull(file.Fd(), chunk.data(), size) != static_cast<long>(size)) {
                WipeStream(image);
                return DatabaseReadFailed;
            }
            for (std::size_t b = 0; b + 8 <= size; b += 8) {
                std::uint8_t* block = chunk.data() + b;
                std::memcpy(saved.data(), block, 8);
                IdeaBlock(block, block, decipher);
                XorBlock(block, chaining.data());
                std::memcpy(chaining.data(), saved.data(), 8);
            }
            image.insert(image.end(), chunk.begin(),
                         chunk.begin() + static_cast<std::ptrdiff_t>(size));
            if (MasterPass.ChunkDone)
                MasterPass.ChunkDone();
            checksum = UpdateCrc(checksum, chunk.data(), size);
        }
        if (checksum != storedChecksum) {
            WipeStream(image);
            return DatabaseWrongKey;
        }
        Entries.AddLines(image.data(), static_cast<std::size_t>(textLength));
        WipeStream(image);
    } catch (const std::bad_alloc&) {
        ClearEntries();
        return DatabaseNoMemory;
    }
    return DatabaseOk;
}

std::int32_t TQV_PwdTable::WriteDatabase() {
    SecureArray<std::uint8_t, KeySize> key;
    std::uint16_t check = 0;
    if (!DeriveKey(key, check))
        return DatabaseWrongKey;

    // The new content goes to a temporary file beside the database and replaces it only when
    // it is complete and on disk, so a failed write leaves the previous database as it was.
    AtomicFile file(MasterPass.DatabasePath());
    if (file.Open(0600) != 0)
        return DatabaseCannotCreate;

    try {
        SecureBytes chunk(DatabaseChunkSize);
        IdeaSubkeys encipher;
        IdeaExpandKey(key.data(), encipher);
        key.clear();

        SecureBytes image;
        Entries.AppendText(image);
        if (image.size() > static_cast<std::size_t>(INT32_MAX) - 8) {
            WipeStream(image);
            return DatabaseWriteFailed;
        }
        const std::size_t textLength = image.size();
        const std::size_t paddedLength = textLength + 8 - textLength % 8;
        image.resize(paddedLength, 0); // zero padding

        std::uint8_t header[HeaderSize] = {};
        std::memcpy(header, Magic, sizeof Magic);
        StoreLittle(header + 4, static_cast<std::uint32_t>(textLength));
        StoreLittle(header + 12, check);
        if (!file.Write(header, HeaderSize)) {
            WipeStream(image);
            return DatabaseWriteFailed;
        }

        SecureArray<std::uint8_t, 8> chaining;
        std::uint32_t checksum = 0;
        const std::size_t chunks = paddedLength / DatabaseChunkSize + 1;
        for (std::size_t i = 0; i < chunks; ++i) {
            const std::size_t size =
                i + 1 == chunks ? paddedLength % DatabaseChunkSize : DatabaseChunkSize;
            std::memcpy(chunk.data(), image.data() + i * DatabaseChunkSize, size);
            checksum = UpdateCrc(checksum, chunk.data(), size);
            for (std::size_t b = 0; b < size; b += 8) {
                std::uint8_t* block = chunk.data() + b;
                XorBlock(block, chaining.data());
                IdeaBlock(block, block, encipher);
                std::memcpy(chaining.data(), block, 8);
            }
            if (!file.Write(chunk.data(), size)) {
                WipeStream(image);
                return DatabaseWriteFailed;
            }
        }
        WipeStream(image);

        std::uint8_t checksumBytes[4];
        StoreLittle(checksumBytes, checksum);
        if (pwrite(file.Fd(), checksumBytes, sizeof checksumBytes,
                   static_cast<off_t>(ChecksumOffset)) !=
            static_cast<ssize_t>(sizeof checksumBytes))
            return DatabaseWriteFailed;
    } catch (const std::bad_alloc&) {
        return DatabaseNoMemory;
    }
    if (file.Commit() != 0)
        return DatabaseWriteFailed;
    return DatabaseOk;
}

void TQV_PwdTable::ClearEntries() {
    Entries.Clear();
}

void TQV_PwdTable::PromptForMasterPassword() {
    if (!Prompt)
        return;
    submitted_ = false;
    const MasterPwdAnswer answer = Prompt->Ask(*this);
    // Ok counts only when the Confirm checks accepted a password during this prompt.
    const bool accepted = answer == MasterPwdAnswer::Ok && submitted_;
    submitted_ = false;
    if (accepted) {
        MasterPass.Accept();
        return;
    }
    MasterPass.HasPassword = false;
    if (answer == MasterPwdAnswer::NotUse) {
        MasterPass.Store = false;
        if (MasterPass.Events)
            MasterPass.Events->DatabaseSwitchedOff();
    }
}

std::string TQV_PwdTable::SubmitMasterPassword(const SecureBytes& first,
                                               const SecureBytes& second) {
    std::string message = CheckMasterPasswordText(first, second);
    if (!message.empty())
        return message;
    MasterPass.SetTypedPassword(first.data(), first.size());
    // Only a key check that does not match refuses: without a database any well-formed password
    // becomes the master password of the one the first store creates, and a file that cannot be
    // read shows its error at the first store or retrieve.
    if (ReadDatabase(false) == DatabaseWrongKey)
        return MasterPwdWrongMessage;
    submitted_ = true;
    return {};
}

void TQV_PwdTable::WipeStream(SecureBytes& image) noexcept {
    for (std::size_t offset = 0; offset < image.size(); offset += DatabaseChunkSize)
        SecureZero(image.data() + offset, std::min(DatabaseChunkSize, image.size() - offset));
    image.clear();
}

} // namespace qv
