#include "CryptFile.h"

#include "ByteOrder.h"
#include "Crc.h"
#include "Des.h"
#include "FileSystem.h"
#include "Idea.h"
#include "KeyExpand.h"
#include "Paths.h"
#include "Pwd.h"
#include "SecureMemory.h"
#include "Wipe.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

// The key buffer of one call, built from the held (masked) password.
struct CipherKey {
    SecureArray<std::uint8_t, 24> bytes;
    std::size_t size = 0;
    std::uint16_t check = 0;
};

void BuildKey(std::int32_t method, const SecureBytes& password, std::int32_t passwordLength,
              CipherKey& key) {
    key.size = KeyBytesOfMethod(method);
    const std::size_t n = std::min(
        {static_cast<std::size_t>(std::max(passwordLength, 0)), password.size(), key.size});
    if (key.size == 8) {
        // DES keys are the password bytes themselves, zero-filled; the two oldest formats took
        // them unmasked, so only those n bytes (never the zero fill) lose the mask.
        std::memcpy(key.bytes.data(), password.data(), n);
        if (method == MethodOldDes || method == MethodOldDesCbc)
            MaskPassword(key.bytes.data(), n);
    } else {
        ExpandKey(key.bytes.data(), key.size, password.data(), n);
    }
    key.check = static_cast<std::uint16_t>(UpdateCrc(0, key.bytes.data(), key.size) & 0xFFFF);
}

// Counts the blocks of the operation in hand into the caller's progress record, if any, and
// tells whether the caller asked to stop.
class BlockCounter {
public:
    BlockCounter(const bool* abortRequested, CryptProgress* progress, std::int64_t total)
        : abort_(abortRequested), progress_(progress) {
        if (progress_)
            progress_->Start(static_cast<std::int32_t>(total));
    }
    // After every block: false once the stop flag is set.
    bool Next() {
        ++done_;
        if (progress_)
            progress_->BlocksDone.store(done_, std::memory_order_relaxed);
        return !(abort_ && *abort_);
    }

private:
    const bool* abort_;
    CryptProgress* progress_;
    std::int32_t done_ = 0;
};

// The checksum continued over the first n bytes (0 to 8) of a block word.
inline std::uint32_t ChecksumOfWord(std::uint32_t crc, std::uint64_t word, std::size_t n) {
    if (n == 8) {
        for (int k = 0; k < 8; ++k)
            crc = UpdateCrcByte(crc, static_cast<std::uint8_t>(word >> (8 * k)));
        return crc;
    }
    for (std::size_t k = 0; k < n; ++k)
        crc = UpdateCrcByte(crc, static_cast<std::uint8_t>(word >> (8 * k)));
    return crc;
}

// How many of a chunk's first plainBytes bytes lie in its block i.
inline std::size_t BytesOfBlock(std::size_t i, std::size_t plainBytes) {
    return plainBytes > 8 * i ? std::min<std::size_t>(8, plainBytes - 8 * i) : 0;
}

// The schedules of one call and the chaining value, for one direction. Everything zeroes
// itself on destruction.
class FileCipher {
public:
    FileCipher(std::int32_t method, const std::uint8_t* key, bool decipher)
        : method_(method), chained_(method != MethodOldDes) {
        switch (method) {
        case MethodIdea:
            IdeaExpandKey(key, idea_);
            if (decipher)
                IdeaInvertKey(idea_, idea_);
            break;
        case MethodTripleDes:
            TripleDesSetKey(tripleDes_, key, decipher);
            break;
        default:
            DesSetKey(des_, key, decipher);
            break;
        }
    }
    FileCipher(const FileCipher&) = delete;
    FileCipher& operator=(const FileCipher&) = delete;
    ~FileCipher() { SecureZero(&chain_, sizeof chain_); }

    // Enciphers count blocks in place: CBC from the chaining value, ECB for the oldest format.
    // The checksum of the chunk's first plainBytes bytes (the rest is padding) is taken block
    // by block on the way, where the processor works on it while the cipher of the block
    // before is still under way. Blocks and the chaining value stay in registers.
    bool Encipher(std::uint8_t* data, std::size_t count, std::size_t plainBytes,
                  std::uint32_t& checksum, BlockCounter& counter) {
        switch (method_) {
        case MethodIdea:
            return EncipherWith([this](std::uint64_t b) { return IdeaBlockWord(idea_, b); }, data,
                                count, plainBytes, checksum, counter);
        case MethodTripleDes:
            return EncipherWith(
                [this](std::uint64_t b) { return TripleDesBlockWord(tripleDes_, b); }, data, count,
                plainBytes, checksum, counter);
        default:
            return EncipherWith([this](std::uint64_t b) { return DesBlockWord(des_, b); }, data,
                                count, plainBytes, checksum, counter);
        }
    }

    // Deciphers count blocks from in to out (different buffers), undoes the chaining with the
    // enciphered blocks still in in, and takes the checksum of the chunk's first plainBytes
    // bytes. The ciphers work on several blocks at once; the stop flag is still looked at after
    // every block, and the blocks of a stopped chunk are never written.
    bool Decipher(const std::uint8_t* in, std::uint8_t* out, std::size_t count,
                  std::size_t plainBytes, std::uint32_t& checksum, BlockCounter& counter) {
        Unchainer unchain{in, out, plainBytes, chained_, chain_, checksum, counter};
        bool going = true;
        switch (method_) {
        case MethodIdea:
            IdeaBlocks(idea_, in, out, count);
            going = unchain.To(count);
            break;
        case MethodTripleDes:
            // The checksum of the blocks before waits on one table look-up per byte; woven in
            // between the DES steps of the next group it costs next to nothing, while after
            // the whole chunk it would add a fifth to the time.
            going = DecipherTripleDes(in, out, count, unchain);
            break;
        default:
            DesBlocks(des_, in, out, count);
            going = unchain.To(count);
            break;
        }
        checksum = unchain.checksum;
        chain_ = unchain.previous;
        return going;
    }

private:
    // Undoes the chaining of deciphered blocks in order, takes their checksum and counts them.
    struct Unchainer {
        const std::uint8_t* in;
        std::uint8_t* out;
        std::size_t plainBytes;
        bool chained;
        std::uint64_t previous;
        std::uint32_t checksum;
        BlockCounter& counter;
        std::size_t next = 0;

        // Every block up to end; false when the caller asked to stop.
        bool To(std::size_t end) {
            for (; next < end; ++next) {
                const std::uint64_t word = Unchain(next);
                checksum = ChecksumOfWord(checksum, word, BytesOfBlock(next, plainBytes));
                if (!counter.Next()) {
                    ++next;
                    return false;
                }
            }
            return true;
        }

        // The plain block i, written back to out.
        std::uint64_t Unchain(std::size_t i) {
            std::uint64_t word = LoadLittle<std::uint64_t>(out + 8 * i);
            if (chained) {
                word ^= previous;
                previous = LoadLittle<std::uint64_t>(in + 8 * i);
                StoreLittle(out + 8 * i, word);
            }
            return word;
        }

        // The plain bytes among blocks begin to end, for a checksum taken elsewhere.
        ChecksumFeed Feed(std::size_t begin, std::size_t end) const {
            const std::size_t from = std::min(8 * begin, plainBytes);
            const std::size_t to = std::min(8 * end, plainBytes);
            return {checksum, out + from, to - from};
        }
    };

    // Triple DES goes a group of blocks at a time, one DES step at a time, and the checksum of
    // the group before is fed into the steps: it waits on one table look-up per byte, and
    // there it runs while the rounds wait on theirs. After the whole chunk it would add a fifth
    // to the time.
    bool DecipherTripleDes(const std::uint8_t* in, std::uint8_t* out, std::size_t count,
                           Unchainer& unchain) {
        constexpr std::size_t Size = TripleDesGroupSize;
        for (std::size_t first = 0; first < count; first += Size) {
            const std::size_t n = std::min(Size, count - first);
            ChecksumFeed feed = unchain.Feed(unchain.next, first);
            TripleDesBlocksWithChecksum(tripleDes_, in + 8 * first, out + 8 * first, n, feed);
            unchain.checksum =
                feed.count == 0 ? feed.crc : UpdateCrc(feed.crc, feed.bytes, feed.count);
            for (; unchain.next < first; ++unchain.next)
                if (!unchain.counter.Next())
                    return false;
            for (std::size_t i = first; i < first + n; ++i)
                unchain.Unchain(i);
        }
        const ChecksumFeed rest = unchain.Feed(unchain.next, count);
        unchain.checksum = UpdateCrc(rest.crc, rest.bytes, rest.count);
        for (; unchain.next < count; ++unchain.next)
            if (!unchain.counter.Next())
                return false;
        return true;
    }

    template <typename Encipher>
    bool EncipherWith(Encipher encipher, std::uint8_t* data, std::size_t count,
                      std::size_t plainBytes, std::uint32_t& checksum, BlockCounter& counter) {
        std::uint64_t chain = chain_;
        for (std::size_t i = 0; i < count; ++i) {
            std::uint64_t word = LoadLittle<std::uint64_t>(data + 8 * i);
            checksum = ChecksumOfWord(checksum, word, BytesOfBlock(i, plainBytes));
            if (chained_)
                word ^= chain;
            word = encipher(word);
            StoreLittle(data + 8 * i, word);
            chain = word;
            if (!counter.Next())
                return false;
        }
        chain_ = chain;
        return true;
    }

    std::int32_t method_;
    bool chained_;
    DesSchedule des_;
    TripleDesSchedule tripleDes_;
    IdeaSubkeys idea_;
    std::uint64_t chain_ = 0; // all zero at the start of every file
};

// A chunk buffer, or false when there is no memory for it.
bool AllocateChunk(SecureBytes& chunk) {
    try {
        chunk.resize(CryptChunkSize);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::size_t ClampToChunk(std::int64_t bytes, std::size_t length) {
    return static_cast<std::size_t>(std::clamp<std::int64_t>(bytes, 0, std::int64_t(length)));
}

// Wipes a plain output that must not stay behind; when the wipe cannot run (its temporary
// names are taken, for example), the file is at least removed.
void WipeOrRemove(const std::string& path) {
    if (WipeFile(path) != 0)
        unlink(path.c_str());
}

} // namespace

std::int32_t MethodOfMagicByte(std::uint8_t fourth) noexcept {
    switch (fourth) {
    case '7':
        return MethodOldDes;
    case '8':
        return MethodIdea;
    case 'A':
        return MethodOldDesCbc;
    case 'B':
        return MethodDes;
    case 'C':
        return MethodTripleDes;
    default:
        return -1;
    }
}

const char* MagicOfMethod(std::int32_t method) noexcept {
    switch (method) {
    case MethodOldDes:
        return "QV97";
    case MethodIdea:
        return "QV98";
    case MethodOldDesCbc:
        return "QV9A";
    case MethodDes:
        return "QV9B";
    case MethodTripleDes:
        return "QV9C";
    default:
        return nullptr;
    }
}

std::size_t KeyBytesOfMethod(std::int32_t method) noexcept {
    switch (method) {
    case MethodOldDes:
    case MethodOldDesCbc:
    case MethodDes:
        return 8;
    case MethodIdea:
        return 16;
    case MethodTripleDes:
        return 24;
    default:
        return 0;
    }
}

std::size_t HeaderBytesOfMethod(std::int32_t method) noexcept {
    return method == MethodOldDes || method == MethodOldDesCbc ? ShortHeaderBytes : LongHeaderBytes;
}

bool IsWritableMethod(std::int32_t method) noexcept {
    return method == MethodIdea || method == MethodDes || method == MethodTripleDes;
}

std::string MethodName(std::int32_t code) {
    switch (code) {
    case MethodOldDes:
    case MethodOldDesCbc:
    case MethodDes:
        return "DES";
    case MethodIdea:
        return "IDEA";
    case MethodTripleDes:
        return "3xDES";
    default:
        return "-";
    }
}

std::string FileMethodName(const std::string& path) {
    // Opened for reading only, so the file's permissions need no change for the look.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    std::uint8_t magic[4];
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ReadFull(fd.Get(), magic, 4) != 4)
        return "-";
    return MethodName(MethodOfMagicByte(magic[3]));
}

std::string CryptHeader::StoredName() const {
    if (NameLength < 1 || NameLength > MaxStoredNameLength)
        return {};
    return std::string(Name.begin(), Name.begin() + NameLength);
}

std::int32_t ReadCryptHeader(int fd, CryptHeader& header) {
    header = CryptHeader{};
    std::uint8_t fixed[ShortHeaderBytes];
    if (ReadFull(fd, fixed, sizeof fixed) != static_cast<long>(sizeof fixed))
        return CryptReadFailed;
    header.PlainSize = static_cast<std::int32_t>(LoadLittle<std::uint32_t>(fixed + 4));
    header.DataChecksum = LoadLittle<std::uint32_t>(fixed + 8);
    header.KeyCheck = LoadLittle<std::uint16_t>(fixed + 12);
    const std::uint8_t fourth = fixed[3];
    if (fourth != '7' && fourth != 'A') {
        std::uint8_t named[1 + NameFieldSize];
        if (ReadFull(fd, named, sizeof named) != static_cast<long>(sizeof named))
            return CryptReadFailed;
        header.NameLength = named[0];
        std::copy(named + 1, named + sizeof named, header.Name.begin());
    }
    const std::int32_t method = MethodOfMagicByte(fourth);
    if (method < 0)
        return CryptNotCrypted;
    header.Method = method;
    header.HeaderBytes = HeaderBytesOfMethod(method);
    return CryptOk;
}

std::int32_t CheckCryptSizes(const CryptHeader& header, std::int64_t fileLength) {
    if (fileLength > std::numeric_limits<std::int32_t>::max() ||
        fileLength < static_cast<std::int64_t>(header.HeaderBytes))
        return CryptWrongPassword;
    const std::int64_t wholeBlockBytes =
        (fileLength - static_cast<std::int64_t>(header.HeaderBytes)) / 8 * 8;
    if (header.PlainSize < 0 || header.PlainSize > wholeBlockBytes)
        return CryptWrongPassword;
    return CryptOk;
}

std::int32_t InspectCryptFile(const std::string& path, CryptHeader& header) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return CryptCannotOpenInput;
    if (const std::int32_t code = ReadCryptHeader(fd.Get(), header); code != CryptOk)
        return code;
    return CheckCryptSizes(header, st.st_size);
}

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '/' || c == '\\')
            return false;
    }
    return true;
}

std::string DerivedPlainPath(const std::string& cryptedPath) {
    return cryptedPath.size() >= 4 ? cryptedPath.substr(0, cryptedPath.size() - 4) : std::string();
}

std::int32_t TQV_Pwd::EncryptFile(const std::string& path, std::int32_t method) {
    if (!IsWritableMethod(method))
        return CryptBadMethod;

    UniqueFd input(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!input.Valid() || fstat(input.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return CryptCannotOpenInput;
    const std::int64_t plainSize = st.st_size;
    if (plainSize > MaxPlainSize)
        return CryptTooLarge;

    // The new crypted file grows under a temporary name and replaces a file of its name only
    // once it is complete; on every failure the AtomicFile removes what was written.
    const std::string target = path + CryptExtension;
    if (IsDirectory(target))
        return CryptCannotCreateOutput;
    AtomicFile output(target);
    if (output.Open(st.st_mode & 0777) != 0)
        return CryptCannotCreateOutput;

    SecureBytes chunk;
    if (!AllocateChunk(chunk))
        return CryptNoMemory;

    CipherKey key;
    BuildKey(method, Password, PasswordLength, key);

    std::uint8_t header[LongHeaderBytes] = {};
    std::memcpy(header, MagicOfMethod(method), 4);
    StoreLittle(header + 4, static_cast<std::uint32_t>(plainSize));
    // header + 8: the data checksum, written once the data are through
    StoreLittle(header + 12, key.check);
    const std::string name = FileNamePart(path);
    header[14] = static_cast<std::uint8_t>(name.size() <= MaxStoredNameLength ? name.size() : 0);
    std::memcpy(header + 15, name.data(), std::min(name.size(), NameFieldSize));
    if (!output.Write(header, sizeof header))
        return CryptWriteFailed;

    FileCipher cipher(method, key.bytes.data(), false);
    key.bytes.clear();
    const std::int64_t paddedSize = plainSize + 8 - plainSize % 8;
    BlockCounter counter(AbortRequested, Progress, paddedSize / 8);
    std::uint32_t checksum = 0;

    for (std::int64_t offset = 0; offset < paddedSize;
         offset += static_cast<std::int64_t>(CryptChunkSize)) {
        const std::size_t length = ClampToChunk(paddedSize - offset, CryptChunkSize);
        const std::size_t plainBytes = ClampToChunk(plainSize - offset, length);
        // A short read means the file shrank while it was read: its size in the header
        // would be wrong.
        if (ReadFull(input.Get(), chunk.data(), plainBytes) != static_cast<long>(plainBytes))
            return CryptReadFailed;
        std::memset(chunk.data() + plainBytes, 0, length - plainBytes); // the pad bytes
        if (!cipher.Encipher(chunk.data(), length / 8, plainBytes, checksum, counter))
            return CryptStopped;
        if (!output.Write(chunk.data(), length))
            return CryptWriteFailed;
        if (ChunkDone)
            ChunkDone();
    }

    // A file that grew while it was read would lose its new bytes when the caller wipes it.
    std::uint8_t more = 0;
    const long extra = ReadFull(input.Get(), &more, 1);
    SecureZero(&more, 1);
    if (extra != 0)
        return CryptReadFailed;

    std::uint8_t checksumBytes[4];
    StoreLittle(checksumBytes, checksum);
    if (pwrite(output.Fd(), checksumBytes, 4, 8) != 4)
        return CryptWriteFailed;
    if (output.Commit(true) != 0) {
        // In place but perhaps not on disk: the plain file stays the only sure copy.
        if (output.Committed())
            unlink(target.c_str());
        return CryptWriteFailed;
    }
    return CryptOk;
}

std::int32_t TQV_Pwd::DecryptFile(const std::string& path, std::string& storedName) {
    UniqueFd input(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!input.Valid() || fstat(input.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return CryptCannotOpenInput;

    // The plain file grows under a temporary name next to the crypted file and takes the
    // output's name only on success, so a failure never harms a file of that name.
    const std::string outputPath = DerivedPlainPath(path);
    const std::string outputName = FileNamePart(outputPath);
    if (!IsPlainFileName(outputName) || IsDirectory(outputPath))
        return CryptCannotCreateOutput;
    AtomicFile output(outputPath);
    if (output.Open(st.st_mode & 0777) != 0)
        return CryptCannotCreateOutput;

    CryptHeader header;
    if (const std::int32_t code = ReadCryptHeader(input.Get(), header); code != CryptOk)
        return code;
    if (const std::int32_t code = CheckCryptSizes(header, st.st_size); code != CryptOk)
        return code;

    CipherKey key;
    BuildKey(header.Method, Password, PasswordLength, key);
    if (key.check != header.KeyCheck)
        return CryptWrongPassword;

    SecureBytes enciphered, plain;
    if (!AllocateChunk(enciphered) || !AllocateChunk(plain))
        return CryptNoMemory;

    FileCipher cipher(header.Method, key.bytes.data(), true);
    key.bytes.clear();
    const std::int64_t dataSize = st.st_size - static_cast<std::int64_t>(header.HeaderBytes);
    BlockCounter counter(AbortRequested, Progress, dataSize / 8);
    std::uint32_t checksum = 0;

    // From here on plain bytes may be on disk: every failure wipes the temporary file.
    auto fail = [&output](std::int32_t code) {
        output.Close();
        WipeOrRemove(output.TempPath());
        return code;
    };

    for (std::int64_t offset = 0; offset < dataSize;
         offset += static_cast<std::int64_t>(CryptChunkSize)) {
        const std::size_t length = ClampToChunk(dataSize - offset, CryptChunkSize);
        if (ReadFull(input.Get(), enciphered.data(), length) != static_cast<long>(length))
            return fail(CryptReadFailed);
        // A trailing part-block of a damaged file is not deciphered; the size check above
        // keeps it out of the plain bytes.
        const std::size_t plainBytes = ClampToChunk(header.PlainSize - offset, length);
        if (!cipher.Decipher(enciphered.data(), plain.data(), length / 8, plainBytes, checksum,
                             counter))
            return fail(CryptStopped);
        if (!output.Write(plain.data(), plainBytes))
            return fail(CryptWriteFailed);
        if (ChunkDone)
            ChunkDone();
    }
    if (checksum != header.DataChecksum)
        return fail(CryptWrongPassword);

    if (output.Commit(true) != 0) {
        if (!output.Committed())
            return fail(CryptWriteFailed);
        WipeOrRemove(outputPath);
        return CryptWriteFailed;
    }

    // The stored name is taken only when it is a plain file name and no file bears it yet.
    std::string finalName;
    const std::string stored = header.StoredName();
    if (IsPlainFileName(stored)) {
        if (stored == outputName) {
            finalName = stored;
        } else {
            const std::string storedPath = JoinPath(DirectoryPart(outputPath), stored);
            if (RenameNoReplace(outputPath, storedPath) == 0) {
                if (!SyncDirectoryOf(storedPath)) {
                    WipeOrRemove(storedPath);
                    return CryptWriteFailed;
                }
                finalName = stored;
            }
        }
    }
    storedName = finalName;
    return CryptOk;
}

} // namespace qv
