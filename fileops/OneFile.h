// Encrypting, decrypting and erasing one file: the sequence every front end runs around one call
// of the engine. The desktop program and quorvane-cli differ only in how they ask and what they
// say, which they supply through CryptFileSteps and read from CryptOutcome.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qv {

class TQV_Pwd;

// The status line of a front end; the desktop program's shows each message after a short
// settling sequence.
// What every operation writes in the status line when it ends.
inline constexpr const char* IdleMessage = "Idle.";

class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void UpdateStatus(const std::string& message) = 0;
};

// What becomes of the source once its output is complete and on disk.
enum class SourceDisposal {
    Keep,           // left as it was, with its own permission bits
    Wipe,           // overwritten once and erased; kept when the wipe fails
    WipeElseDelete, // wiped, or deleted plainly when the wipe fails
    Delete,         // deleted plainly (a crypted file holds only ciphertext)
};

// Erases the file at path as disposal says (Keep erases nothing and answers false), with
// "Wiping out the file %s ..." or "Deleting the file %s ..." and then "Idle." on status when one
// is given. True when the file is gone.
// When a wipe failed because a file of the wipe's own names was in its folder, inTheWay (when
// given) receives that file's path, else "".
bool EraseFile(const std::string& path, SourceDisposal disposal, StatusLine* status = nullptr,
               std::string* inTheWay = nullptr);

// Why a wipe could not be done when blocker stood in its way, as a clause both programs add to
// their message: which file it is, what it may be and what to do about it.
std::string WipeBlockedReason(const std::string& blocker);

// What a one-file operation asks of the front end that runs it.
class CryptFileSteps {
public:
    virtual ~CryptFileSteps() = default;
    // An output file is already at outputPath: may it be replaced?
    virtual bool ReplaceExisting(const std::string& outputPath) = 0;
    // The holder of the password for this file, asked once the file passed its checks and just
    // before anything about it changes; null skips the file.
    virtual TQV_Pwd* PasswordFor(const std::string& sourcePath) = 0;
    // Runs engine, the one call of the cipher engine, and returns its code: the place for the
    // front end's busy marks and progress display.
    virtual std::int32_t RunEngine(const std::function<std::int32_t()>& engine) { return engine(); }
    // The output is complete, on disk and has the source's permission bits; the source is still
    // there. False keeps the source as it was (the front end has undone what it must).
    virtual bool OutputWritten(const std::string& /*outputPath*/, bool /*replaced*/) {
        return true;
    }
    // Decrypting: the password has served this file. Called once the plain file is complete and
    // on disk (before OutputWritten, while the crypted file is still there), and when the engine
    // found that the password does not open the file; never when the decryption was cut short
    // (a full disk, a stop, a read error, the process killed). A password taken from the
    // database of stored passwords leaves it here, so the file never loses its only one.
    virtual void PasswordServed(const std::string& /*cryptedPath*/) {}
};

enum class CryptStatus {
    Done,           // the output is written; SourceErased tells what became of the source
    SourceMissing,  // nothing is at the source path
    NotAFile,       // a symbolic link or something else that is not a regular file: untouched
    NotCryptedName, // decrypting: the name does not end in ".cry" after at least one character
    Declined,       // the output exists and was not to be replaced
    NoPassword,     // PasswordFor gave none
    Failed,         // the engine failed with Code; the source has its own bits again
    Withdrawn,      // OutputWritten said no; the source has its own bits again
};

struct CryptOutcome {
    CryptStatus Status = CryptStatus::Failed;
    std::int32_t Code = 0;      // the engine's result code, when it ran
    bool OutputExisted = false; // an output file was there before and the user let it go
    bool SourceErased = false;
    std::string SourcePath;    // absolute
    std::string OutputPath;    // absolute; after decryption the name the plain file took
    std::string StoredName;    // decryption: the name from the header the plain file took, or ""
    std::string WipeBlockedBy; // the source's wipe failed because this file was in its way
    // In a batch: the source's name is erased, but the flush of its overwrite failed, so the
    // old content may still be on disk.
    bool WipeNotFlushed = false;
};

// Encrypts sourcePath (made absolute at the start) into sourcePath + ".cry" with method:
// refuses a missing source and anything but a regular file (a link is never followed, so
// neither its output nor the wipe can reach another folder's file), asks before replacing an
// existing output, gets the password, clears the source's read-only bit for the engine, runs it,
// gives the output the source's permission bits, and disposes of the source. Whatever fails, the
// source keeps its content and gets its own permission bits back.
CryptOutcome EncryptOne(const std::string& sourcePath, std::int32_t method, SourceDisposal disposal,
                        CryptFileSteps& steps, StatusLine* status = nullptr);

// Decrypts cryptedPath (made absolute at the start) into the path without its last four
// characters, or under the name its header stores when that is free, with the same checks and
// the same care for the source as EncryptOne. The plain file gets the crypted file's permission
// bits only when decryption succeeded, so an existing file of that name that the user kept is
// never changed.
CryptOutcome DecryptOne(const std::string& cryptedPath, SourceDisposal disposal,
                        CryptFileSteps& steps, StatusLine* status = nullptr);

class FlushGroup;
class OneFileRun;

// EncryptOne and DecryptOne in halves, for a run that makes the outputs of many files durable
// together and then flushes the overwrites of their sources' wipes together:
//   1. Encrypt or Decrypt: the checks, the password and the engine, with the output left
//      unflushed in outputs (any thread; one operation per SplitCrypt);
//   2. outputs.Flush(), then Complete: an output that is not on disk is taken away and the
//      source stays; else the output's bits, the front end's word on it (PasswordServed,
//      OutputWritten, on the calling thread, after the flush), and the source's disposal, a
//      wipe being started in wipes and a delete done at once;
//   3. wipes.Flush(), then FinishWipe; then wipes.Settle() flushes the erased names.
// Outcome() is final after step 3. steps must outlive the operation.
class SplitCrypt {
public:
    SplitCrypt(CryptFileSteps& steps, StatusLine* status = nullptr);
    SplitCrypt(const SplitCrypt&) = delete;
    SplitCrypt& operator=(const SplitCrypt&) = delete;
    ~SplitCrypt();

    // True when the output is written and waits for the flush; else the outcome is decided.
    // Without a group the output is flushed at once, as EncryptOne does it.
    bool Encrypt(const std::string& sourcePath, std::int32_t method, FlushGroup* outputs);
    bool Decrypt(const std::string& cryptedPath, FlushGroup* outputs);

    // Encrypt in two halves around an engine call that serves several files: the checks and the
    // password, giving the holder for the engine (null when the outcome is decided) and whether the
    // output may replace a file at its path; then the engine's code for this file, with Encrypt's
    // answer.
    TQV_Pwd* BeginEncrypt(const std::string& sourcePath, FlushGroup* outputs, bool& mayReplace);
    bool EndEncrypt(std::int32_t code);

    void Complete(const FlushGroup& outputs, SourceDisposal disposal, FlushGroup& wipes);
    void FinishWipe(const FlushGroup& wipes);
    // Step 2 and 3 for an output written without a group (already on disk).
    void FinishAlone(SourceDisposal disposal);

    const CryptOutcome& Outcome() const { return outcome_; }

private:
    // Starts an encryption: the paths, and the checks of source and output.
    bool AdmitEncryption(const std::string& sourcePath, FlushGroup* outputs);

    CryptFileSteps& steps_;
    StatusLine* status_;
    CryptOutcome outcome_;
    std::unique_ptr<OneFileRun> run_;
    std::string heldPath_; // the path the output was given to its group under
    bool written_ = false;
    bool wiping_ = false;
    std::size_t wipeTicket_ = 0;
};

// "File %s not found." with %s replaced by subject: every "%s" of a message takes the name or
// path the message is about, as it is (a "%" in a name is no directive).
std::string FillIn(const std::string& message, const std::string& subject);

} // namespace qv
