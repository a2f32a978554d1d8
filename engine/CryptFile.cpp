#include "CryptFile.h"

#include "ByteOrder.h"
#include "ChunkPipeline.h"
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
#include <functional>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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
    // After count blocks worked on together, as if Next had followed each: the flag only changes
    // between chunks (in the caller's callback), so a set flag stops at the first of them.
    bool Blocks(std::size_t count) {
        if (count == 0)
            return true;
        const bool stop = abort_ && *abort_;
        done_ += stop ? 1 : static_cast<std::int32_t>(count);
        if (progress_)
            progress_->BlocksDone.store(done_, std::memory_order_relaxed);
        return !stop;
    }

private:
    const bool* abort_;
    CryptProgress* progress_;
    std::int32_t done_ = 0;
};

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
    // Every block waits on the one before; blocks and the chaining value stay in registers.
    bool Encipher(std::uint8_t* data, std::size_t count, BlockCounter& counter) {
        switch (method_) {
        case MethodIdea:
            return EncipherWith([this](std::uint64_t b) { return IdeaBlockWord(idea_, b); }, data,
                                count, counter);
        case MethodTripleDes:
            return EncipherWith(
                [this](std::uint64_t b) { return TripleDesBlockWord(tripleDes_, b); }, data, count,
                counter);
        default:
            return EncipherWith([this](std::uint64_t b) { return DesBlockWord(des_, b); }, data,
                                count, counter);
        }
    }

    // Deciphers count blocks from in to out (different buffers) and undoes the chaining with the
    // enciphered blocks still in in. The blocks do not depend on each other, so the cipher works
    // on many at once, in the vector registers where the processor has them. false when the
    // caller asked to stop; the blocks of a stopped chunk are never written.
    bool Decipher(const std::uint8_t* in, std::uint8_t* out, std::size_t count,
                  BlockCounter& counter) {
        Blocks(in, out, count);
        if (chained_ && count > 0) {
            std::uint64_t previous = chain_;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint64_t word = LoadLittle<std::uint64_t>(out + 8 * i) ^ previous;
                previous = LoadLittle<std::uint64_t>(in + 8 * i);
                StoreLittle(out + 8 * i, word);
            }
            chain_ = previous;
        }
        return counter.Blocks(count);
    }

    // Enciphers the blocks of several files side by side, each file in CBC from an all-zero
    // chaining value: step i takes block i of every file that has one, chained with that file's
    // block i - 1, and enciphers them together in the vector registers. files are sorted by
    // blocks, most first; each holds its blocks in place. false when the caller asked to stop.
    // afterChunk runs after every chunk's worth of blocks, as for a single file.
    bool EncipherSideBySide(const std::vector<std::uint8_t*>& files,
                            const std::vector<std::size_t>& blocks, BlockCounter& counter,
                            const std::function<void()>& afterChunk) {
        // The DES kernels work on whole passes of blocks: a step a little short of one is filled
        // up with blocks of no meaning rather than left in part to the narrower paths.
        const std::size_t pass = method_ == MethodIdea ? 1 : DesPassBlocks(path_);
        auto filled = [pass](std::size_t count) {
            return count >= pass / 8 ? (count + pass - 1) / pass * pass : count;
        };
        SecureBytes step(filled(files.size()) * 8);
        std::size_t active = files.size();
        std::size_t sinceChunk = 0;
        for (std::size_t i = 0;; ++i) {
            while (active > 0 && blocks[active - 1] <= i)
                --active;
            if (active == 0)
                return true;
            for (std::size_t f = 0; f < active; ++f) {
                std::uint64_t word = LoadLittle<std::uint64_t>(files[f] + 8 * i);
                if (chained_ && i > 0)
                    word ^= LoadLittle<std::uint64_t>(files[f] + 8 * (i - 1));
                StoreLittle(step.data() + 8 * f, word);
            }
            Blocks(step.data(), step.data(), filled(active));
            for (std::size_t f = 0; f < active; ++f)
                std::memcpy(files[f] + 8 * i, step.data() + 8 * f, 8);
            if (!counter.Blocks(active))
                return false;
            sinceChunk += active * 8;
            if (sinceChunk >= CryptChunkSize) {
                sinceChunk = 0;
                if (afterChunk)
                    afterChunk();
            }
        }
    }

private:
    // count independent blocks from in to out (which may be the same buffer), by the direction
    // of the schedules.
    void Blocks(const std::uint8_t* in, std::uint8_t* out, std::size_t count) {
        switch (method_) {
        case MethodIdea:
            IdeaBlocks(idea_, in, out, count, path_);
            break;
        case MethodTripleDes:
            TripleDesBlocks(tripleDes_, in, out, count, path_);
            break;
        default:
            DesBlocks(des_, in, out, count, path_);
            break;
        }
    }

    template <typename Encipher>
    bool EncipherWith(Encipher encipher, std::uint8_t* data, std::size_t count,
                      BlockCounter& counter) {
        std::uint64_t chain = chain_;
        for (std::size_t i = 0; i < count; ++i) {
            std::uint64_t word = LoadLittle<std::uint64_t>(data + 8 * i);
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
    CipherPath path_ = ActiveCipherPath();
    DesSchedule des_;
    TripleDesSchedule tripleDes_;
    IdeaSubkeys idea_;
    std::uint64_t chain_ = 0; // all zero at the start of every file
};

// Wipes a plain output that must not stay behind; when the wipe cannot run (its temporary
// names are taken, for example), the file is at least removed.
void WipeOrRemove(const std::string& path) {
    if (WipeFile(path) != 0)
        unlink(path.c_str());
}

// Opens the plain file of an encryption: a regular file not too large for the header.
std::int32_t OpenPlainFile(const std::string& path, UniqueFd& input, struct stat& st) {
    input.Reset(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!input.Valid() || fstat(input.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return CryptCannotOpenInput;
    if (st.st_size > MaxPlainSize)
        return CryptTooLarge;
    return CryptOk;
}

// The header of a crypted file of the plain file at path.
void FillHeader(std::uint8_t (&header)[LongHeaderBytes], std::int32_t method,
                std::int64_t plainSize, std::uint32_t checksum, std::uint16_t keyCheck,
                const std::string& path) {
    std::memset(header, 0, sizeof header);
    std::memcpy(header, MagicOfMethod(method), 4);
    StoreLittle(header + 4, static_cast<std::uint32_t>(plainSize));
    StoreLittle(header + 8, checksum);
    StoreLittle(header + 12, keyCheck);
    const std::string name = FileNamePart(path);
    header[14] = static_cast<std::uint8_t>(name.size() <= MaxStoredNameLength ? name.size() : 0);
    std::memcpy(header + 15, name.data(), std::min(name.size(), NameFieldSize));
}

// After the plain file was read to its end: a file that grew while it was read would lose its
// new bytes when the caller wipes it; one that shrank after its end was read ahead would lose
// the bytes it kept.
std::int32_t CheckReadToItsEnd(int input, std::int64_t plainSize) {
    std::uint8_t more = 0;
    const long extra = ReadFull(input, &more, 1);
    SecureZero(&more, 1);
    struct stat after {};
    if (extra != 0 || fstat(input, &after) != 0 || after.st_size != plainSize)
        return CryptReadFailed;
    return CryptOk;
}

// Gives the complete crypted file its name; on failure nothing of it is left at target.
std::int32_t CommitCrypted(AtomicFile& output, const std::string& target, bool mayReplace) {
    if (const int err = output.Commit(mayReplace); err != 0) {
        // In place but perhaps not on disk: the plain file stays the only sure copy.
        if (output.Committed())
            unlink(target.c_str());
        return err == EEXIST && !output.Committed() ? CryptCannotCreateOutput : CryptWriteFailed;
    }
    return CryptOk;
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

    UniqueFd input;
    struct stat st {};
    if (const std::int32_t code = OpenPlainFile(path, input, st); code != CryptOk)
        return code;
    const std::int64_t plainSize = st.st_size;

    // The new crypted file grows unnamed and replaces a file of its name only once it is
    // complete; on every failure the AtomicFile gives up what was written.
    const std::string target = path + CryptExtension;
    if (IsDirectory(target))
        return CryptCannotCreateOutput;
    AtomicFile output(target, FlushLater);
    if (output.Open(st.st_mode & 0777) != 0)
        return CryptCannotCreateOutput;

    // The plain file is read ahead, its checksum taken and the enciphered chunks written behind
    // the cipher, on a helper thread for a large file.
    const std::int64_t paddedSize = plainSize + 8 - plainSize % 8;
    EncryptAhead pipeline(input.Get(), output, plainSize, paddedSize);
    if (!pipeline.Allocate())
        return CryptNoMemory;

    CipherKey key;
    BuildKey(method, Password, PasswordLength, key);

    // The data checksum is written once the data are through.
    std::uint8_t header[LongHeaderBytes];
    FillHeader(header, method, plainSize, 0, key.check, path);
    if (!output.Write(header, sizeof header))
        return CryptWriteFailed;

    FileCipher cipher(method, key.bytes.data(), false);
    key.bytes.clear();
    BlockCounter counter(AbortRequested, Progress, paddedSize / 8);

    const std::size_t chunks = static_cast<std::size_t>(
        (paddedSize + std::int64_t(CryptChunkSize) - 1) / std::int64_t(CryptChunkSize));
    for (std::size_t k = 0; k < chunks; ++k) {
        std::uint8_t* data = nullptr;
        std::size_t length = 0;
        // A short read means the file shrank while it was read: its size in the header
        // would be wrong.
        if (const std::int32_t code = pipeline.Next(k, data, length); code != CryptOk)
            return code;
        if (!cipher.Encipher(data, length / 8, counter))
            return CryptStopped;
        if (const std::int32_t code = pipeline.Enciphered(k); code != CryptOk)
            return code;
        if (ChunkDone)
            ChunkDone();
    }
    std::uint32_t checksum = 0;
    if (const std::int32_t code = pipeline.Finish(checksum); code != CryptOk)
        return code;
    if (const std::int32_t code = CheckReadToItsEnd(input.Get(), plainSize); code != CryptOk)
        return code;

    std::uint8_t checksumBytes[4];
    StoreLittle(checksumBytes, checksum);
    if (pwrite(output.Fd(), checksumBytes, 4, 8) != 4)
        return CryptWriteFailed;
    return CommitCrypted(output, target, MayReplace);
}

namespace {

// A small file of EncryptFiles: read whole behind room for its header, padded, its crypted
// file open and unnamed.
struct SideBySideLane {
    TQV_Pwd::SideBySideFile* file = nullptr;
    std::string target;
    std::unique_ptr<AtomicFile> output;
    SecureBytes bytes; // the header, then the padded data
    std::size_t blocks = 0;

    std::uint8_t* Data() { return bytes.data() + LongHeaderBytes; }

    // Opens the output and reads the plain file; CryptOk, or why the file cannot go on.
    std::int32_t Read(int input, const struct stat& st, std::int32_t method, std::uint16_t keyCheck,
                      FlushGroup* flushLater) {
        target = file->path + CryptExtension;
        if (IsDirectory(target))
            return CryptCannotCreateOutput;
        output = std::make_unique<AtomicFile>(target, flushLater);
        if (output->Open(st.st_mode & 0777) != 0)
            return CryptCannotCreateOutput;
        const std::int64_t plainSize = st.st_size;
        const std::int64_t paddedSize = plainSize + 8 - plainSize % 8;
        if (!AllocateBytes(bytes, LongHeaderBytes + static_cast<std::size_t>(paddedSize)))
            return CryptNoMemory;
        const std::size_t plainBytes = static_cast<std::size_t>(plainSize);
        if (ReadFull(input, Data(), plainBytes) != static_cast<long>(plainBytes))
            return CryptReadFailed;
        if (const std::int32_t code = CheckReadToItsEnd(input, plainSize); code != CryptOk)
            return code;
        std::uint8_t header[LongHeaderBytes];
        FillHeader(header, method, plainSize, UpdateCrc(0, Data(), plainBytes), keyCheck,
                   file->path);
        std::memcpy(bytes.data(), header, sizeof header);
        blocks = static_cast<std::size_t>(paddedSize / 8);
        return CryptOk;
    }
};

} // namespace

void TQV_Pwd::EncryptFiles(std::vector<SideBySideFile>& files, std::int32_t method) {
    if (!IsWritableMethod(method)) {
        for (SideBySideFile& file : files)
            file.code = CryptBadMethod;
        return;
    }
    CipherKey key;
    BuildKey(method, Password, PasswordLength, key);

    // The small files are read; the others wait for their turn alone.
    std::vector<std::unique_ptr<SideBySideLane>> lanes;
    std::vector<SideBySideFile*> alone;
    std::int64_t held = 0;
    for (SideBySideFile& file : files) {
        UniqueFd input;
        struct stat st {};
        file.code = OpenPlainFile(file.path, input, st);
        if (file.code != CryptOk)
            continue;
        if (st.st_size > SideBySideMaxBytes || held + st.st_size > SideBySideGroupBytes) {
            alone.push_back(&file);
            continue;
        }
        auto lane = std::make_unique<SideBySideLane>();
        lane->file = &file;
        file.code = lane->Read(input.Get(), st, method, key.check, FlushLater);
        if (file.code != CryptOk)
            continue; // the lane's output is discarded with it
        held += st.st_size;
        lanes.push_back(std::move(lane));
    }

    std::stable_sort(lanes.begin(), lanes.end(),
                     [](const auto& a, const auto& b) { return a->blocks > b->blocks; });
    std::vector<std::uint8_t*> data;
    std::vector<std::size_t> blocks;
    std::int64_t total = 0;
    for (const auto& lane : lanes) {
        data.push_back(lane->Data());
        blocks.push_back(lane->blocks);
        total += static_cast<std::int64_t>(lane->blocks);
    }
    bool whole = true;
    {
        FileCipher cipher(method, key.bytes.data(), false);
        BlockCounter counter(AbortRequested, Progress, total);
        whole = cipher.EncipherSideBySide(data, blocks, counter, ChunkDone);
    }
    key.bytes.clear();
    for (auto& lane : lanes) {
        std::int32_t& code = lane->file->code;
        if (!whole)
            code = CryptStopped;
        else if (!lane->output->Write(lane->bytes.data(), lane->bytes.size()))
            code = CryptWriteFailed;
        else
            code = CommitCrypted(*lane->output, lane->target, lane->file->mayReplace);
        lane.reset(); // its memory zeroed, an uncommitted output given up
    }

    const bool replace = MayReplace;
    for (SideBySideFile* file : alone) {
        if (AbortRequested && *AbortRequested) {
            file->code = CryptStopped;
            continue;
        }
        MayReplace = file->mayReplace;
        file->code = EncryptFile(file->path, method);
    }
    MayReplace = replace;
}

std::int32_t TQV_Pwd::DecryptFile(const std::string& path, std::string& storedName) {
    return Decipher(path, &storedName);
}

std::int32_t TQV_Pwd::TestFile(const std::string& path) {
    return Decipher(path, nullptr);
}

std::int32_t TQV_Pwd::Decipher(const std::string& path, std::string* storedName) {
    // Testing only reads: an archive on read-only media can be tested.
    const bool writing = storedName != nullptr;
    UniqueFd input(open(path.c_str(), (writing ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!input.Valid() || fstat(input.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return CryptCannotOpenInput;

    // The plain file grows unnamed next to the crypted file and takes the output's name only
    // on success, so a failure never harms a file of that name. The output's name is the crypted
    // file's own without ".cry": whatever bytes the folder allowed there (a line break, a
    // backslash) it allows here too, so every file that was encrypted can be decrypted.
    const std::string outputPath = DerivedPlainPath(path);
    const std::string outputName = FileNamePart(outputPath);
    AtomicFile output(outputPath, FlushLater);
    if (writing) {
        if (outputName.empty() || outputName == "." || outputName == ".." ||
            IsDirectory(outputPath))
            return CryptCannotCreateOutput;
        if (output.Open(st.st_mode & 0777) != 0)
            return CryptCannotCreateOutput;
    }

    CryptHeader header;
    if (const std::int32_t code = ReadCryptHeader(input.Get(), header); code != CryptOk)
        return code;
    if (const std::int32_t code = CheckCryptSizes(header, st.st_size); code != CryptOk)
        return code;

    CipherKey key;
    BuildKey(header.Method, Password, PasswordLength, key);
    if (key.check != header.KeyCheck)
        return CryptWrongPassword;

    // The checksum of the plain bytes is taken behind the cipher.
    const std::int64_t dataSize = st.st_size - static_cast<std::int64_t>(header.HeaderBytes);
    SecureBytes enciphered;
    ChecksumBehind behind(dataSize);
    if (!AllocateBytes(enciphered, CryptChunkSize) || !behind.Allocate())
        return CryptNoMemory;

    FileCipher cipher(header.Method, key.bytes.data(), true);
    key.bytes.clear();
    BlockCounter counter(AbortRequested, Progress, dataSize / 8);

    // From here on plain bytes may be on disk: every failure overwrites what was written before
    // the file is given up.
    auto fail = [&output, writing](std::int32_t code) {
        if (!writing)
            return code;
        if (!OverwriteContent(output.Fd()) && !output.TempPath().empty())
            WipeOrRemove(output.TempPath());
        output.Discard();
        return code;
    };

    std::size_t k = 0;
    for (std::int64_t offset = 0; offset < dataSize;
         offset += static_cast<std::int64_t>(CryptChunkSize), ++k) {
        const std::size_t length = ClampedLength(dataSize - offset, CryptChunkSize);
        if (ReadFull(input.Get(), enciphered.data(), length) != static_cast<long>(length))
            return fail(CryptReadFailed);
        // A trailing part-block of a damaged file is not deciphered; the size check above
        // keeps it out of the plain bytes.
        const std::size_t plainBytes = ClampedLength(header.PlainSize - offset, length);
        std::uint8_t* plain = behind.Buffer(k);
        if (!cipher.Decipher(enciphered.data(), plain, length / 8, counter))
            return fail(CryptStopped);
        if (writing && !output.Write(plain, plainBytes))
            return fail(CryptWriteFailed);
        behind.Hand(k, plainBytes);
        if (ChunkDone)
            ChunkDone();
    }
    if (behind.Finish() != header.DataChecksum)
        return fail(CryptWrongPassword);
    if (!writing)
        return CryptOk;

    if (const int err = output.Commit(MayReplace); err != 0) {
        if (!output.Committed())
            return fail(err == EEXIST ? CryptCannotCreateOutput : CryptWriteFailed);
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
                if (!FlushLater && !SyncDirectoryOf(storedPath)) {
                    WipeOrRemove(storedPath);
                    return CryptWriteFailed;
                }
                finalName = stored;
            }
        }
    }
    *storedName = finalName;
    return CryptOk;
}

} // namespace qv
