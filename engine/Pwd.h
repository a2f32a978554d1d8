// The cipher engine and the holder of the current password.
#pragma once

#include "SecureMemory.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv {

class FlushGroup;

// Encryption methods: the fourth byte of a crypted file's magic names its method.
enum CipherMethod : std::int32_t {
    MethodOldDes = 0,    // "QV97": DES without chaining, read only
    MethodIdea = 1,      // "QV98"
    MethodOldDesCbc = 2, // "QV9A": DES, unmasked key, read only
    MethodDes = 3,       // "QV9B"
    MethodTripleDes = 4, // "QV9C"
};

// Result codes of EncryptFile and DecryptFile.
enum CryptResult : std::int32_t {
    CryptOk = 0,
    CryptCannotOpenInput = -2,
    CryptCannotCreateOutput = -9,
    CryptReadFailed = -10,    // also: a crypted file cut short inside its header
    CryptWrongPassword = -11, // key check or data checksum differs
    CryptNoMemory = -12,
    CryptNotCrypted = -13,  // unknown fourth byte of the magic
    CryptStopped = -14,     // AbortRequested was seen
    CryptWriteFailed = -15, // disk full or similar
    CryptTooLarge = -16,    // the plain file does not fit the format's signed 32-bit sizes
    CryptBadMethod = -17,   // EncryptFile was given a method it does not write (only 1, 3, 4)
};

// How far one engine call has got, in 8-byte blocks: the call sets BlocksTotal when it starts and
// counts BlocksDone as it goes; a progress display reads both, from any thread. Every caller
// owns its own, so two engine calls never count into the same one.
struct CryptProgress {
    std::atomic<std::int32_t> BlocksDone{0};
    std::atomic<std::int32_t> BlocksTotal{0};

    void Start(std::int32_t total) {
        BlocksDone.store(0, std::memory_order_relaxed);
        BlocksTotal.store(total, std::memory_order_relaxed);
    }
    std::int32_t Done() const { return BlocksDone.load(std::memory_order_relaxed); }
    std::int32_t Total() const { return BlocksTotal.load(std::memory_order_relaxed); }
};

// One instance holds the current password for the whole run; the master password holder of the
// password database derives from it.
class TQV_Pwd {
public:
    TQV_Pwd() = default;
    TQV_Pwd(const TQV_Pwd&) = delete;
    TQV_Pwd& operator=(const TQV_Pwd&) = delete;
    virtual ~TQV_Pwd() = default;

    SecureBytes Password;            // held masked (MaskPassword); zeroed when released
    std::int32_t PasswordLength = 0; // bytes of Password that count
    bool HasPassword = false;
    bool Expires = false; // used by the master password only
    std::int32_t ExpiryTicks = 0;
    std::int32_t ExpireMinutes = 0;
    bool PasswordExpired = false;
    bool OnePassword = false;
    bool OnePerList = false;

    // Where the caller's stop flag lives; looked at after every block. May stay null.
    const bool* AbortRequested = nullptr;
    // Where EncryptFile and DecryptFile count their blocks. May stay null.
    CryptProgress* Progress = nullptr;
    // Called after every 10240-byte chunk; the desktop program lets its window messages
    // through here, so the progress timer and the stop button act during long files.
    std::function<void()> ChunkDone;
    // When set, EncryptFile and DecryptFile leave the flush of their output to this group: the
    // output takes its name unflushed, and the caller makes it durable with the group's Flush
    // before anything depends on it (before the source is wiped or deleted).
    FlushGroup* FlushLater = nullptr;
    // Whether EncryptFile and DecryptFile may replace a file at their output's path. A caller
    // that found no file there clears it, so that a file that appears there meanwhile (another
    // worker's output, another program's file) is never replaced: the call then fails with
    // CryptCannotCreateOutput and changes nothing.
    bool MayReplace = true;

    // Takes typed password bytes: copies them, masks them in place and sets PasswordLength.
    // HasPassword is left to the caller.
    void SetTypedPassword(const std::uint8_t* bytes, std::size_t n);
    // An unmasked copy of the PasswordLength bytes as typed, in memory that is zeroed on release.
    SecureBytes TypedPassword() const;

    // Writes path + ".cry" with method 1, 3 or 4 and leaves the plain file as it was. The new
    // crypted file is written under a temporary name and moved into place only when it is
    // complete and on disk (file and folder flushed), so an existing crypted file of that name
    // survives every failure, and the caller may wipe the plain file once this returns 0.
    [[nodiscard]] std::int32_t EncryptFile(const std::string& path, std::int32_t method);

    // One file of EncryptFiles: its path, whether its output may replace a file there (as
    // MayReplace does for EncryptFile), and after the call its result code.
    struct SideBySideFile {
        std::string path;
        bool mayReplace = true;
        std::int32_t code = 0;
    };
    // Files up to this size are enciphered side by side; larger ones one at a time.
    static constexpr std::int64_t SideBySideMaxBytes = std::int64_t(256) << 10;
    // At most this many bytes of files are held in memory at once.
    static constexpr std::int64_t SideBySideGroupBytes = std::int64_t(64) << 20;
    // Encrypts each file as EncryptFile does, into the same bytes, and sets its code. A file's
    // CBC chain makes every block wait for the one before, so one file keeps the cipher on one
    // block at a time; here the small files are read whole and enciphered side by side, block i
    // of each file in one step, so the cipher works on many blocks at once as when deciphering.
    // Progress counts the blocks of all of them; a stop (AbortRequested) ends every file not yet
    // written with CryptStopped.
    void EncryptFiles(std::vector<SideBySideFile>& files, std::int32_t method);
    // Decrypts path (a name ending in ".cry") into path without its last four characters, in
    // the same folder, replacing a file of that name only on success. On success storedName
    // receives the name the plain file got from the header, or is emptied when the file kept
    // the derived name (no stored name, a name that is not a plain file name, or one already
    // taken); on failure it is left as it was. The crypted file is never changed.
    [[nodiscard]] std::int32_t DecryptFile(const std::string& path, std::string& storedName);
    // Deciphers path as DecryptFile does and checks the key and the data checksum, writing
    // nothing; the file is only read. 0 when the password opens the file and its data are whole,
    // else DecryptFile's codes (CryptWrongPassword for a wrong password or damaged data).
    [[nodiscard]] std::int32_t TestFile(const std::string& path);

private:
    // DecryptFile with storedName, TestFile without.
    std::int32_t Decipher(const std::string& path, std::string* storedName);
};

} // namespace qv
