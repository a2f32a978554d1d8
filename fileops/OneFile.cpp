#include "OneFile.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "ListEntries.h"
#include "Paths.h"
#include "Pwd.h"
#include "Wipe.h"

#include <unistd.h>

namespace qv {

namespace {

// Deletes path plainly; the folder is flushed so that the name is gone for good.
bool DeletePlainly(const std::string& path) {
    if (unlink(path.c_str()) != 0)
        return false;
    SyncDirectoryOf(path);
    return true;
}

// The part of both directions after the checks of the source: the password, the engine between
// the permission bits, the output's bits and the source's disposal.
class OneFileRun {
public:
    OneFileRun(CryptOutcome& outcome, CryptFileSteps& steps, StatusLine* status)
        : outcome_(outcome), steps_(steps), status_(status) {}

    // Checks the source and the output; false when the outcome is already decided.
    bool Admit(const std::string& outputPath) {
        const std::string& source = outcome_.SourcePath;
        if (!PathExists(source))
            return Decide(CryptStatus::SourceMissing);
        if (IsSymbolicLink(source) || !IsRegularFile(source))
            return Decide(CryptStatus::NotAFile);
        if (PathExists(outputPath)) {
            if (!steps_.ReplaceExisting(outputPath))
                return Decide(CryptStatus::Declined);
            outcome_.OutputExisted = true;
        }
        return true;
    }

    // Runs engine(holder) with the source's read-only bit cleared, as the engine opens its input
    // for writing too. On failure the source gets its own bits back. Returns whether the engine
    // succeeded.
    template <typename Engine>
    bool Run(Engine engine) {
        TQV_Pwd* holder = steps_.PasswordFor(outcome_.SourcePath);
        if (!holder)
            return Decide(CryptStatus::NoPassword);
        GetPermissions(outcome_.SourcePath, mode_);
        SetArchiveOnly(outcome_.SourcePath);
        outcome_.Code = steps_.RunEngine([&] { return engine(*holder); });
        if (outcome_.Code != CryptOk) {
            RestoreSource();
            if (decrypting_ && outcome_.Code == CryptWrongPassword)
                steps_.PasswordServed(outcome_.SourcePath);
            return Decide(CryptStatus::Failed);
        }
        return true;
    }

    // Decrypting: the password has served once the output is in place, or proved wrong.
    void Decrypting() { decrypting_ = true; }

    // The output is in place: it takes the source's bits, the front end has its last word, and
    // the source goes as disposal says (or keeps its own bits when it stays).
    void Finish(SourceDisposal disposal) {
        SetPermissions(outcome_.OutputPath, mode_);
        if (decrypting_)
            steps_.PasswordServed(outcome_.SourcePath);
        if (!steps_.OutputWritten(outcome_.OutputPath, outcome_.OutputExisted)) {
            RestoreSource();
            Decide(CryptStatus::Withdrawn);
            return;
        }
        outcome_.Status = CryptStatus::Done;
        outcome_.SourceErased =
            EraseFile(outcome_.SourcePath, disposal, status_, &outcome_.WipeBlockedBy);
        if (!outcome_.SourceErased)
            RestoreSource();
    }

private:
    bool Decide(CryptStatus status) {
        outcome_.Status = status;
        return false;
    }

    void RestoreSource() { SetPermissions(outcome_.SourcePath, mode_); }

    CryptOutcome& outcome_;
    CryptFileSteps& steps_;
    StatusLine* status_;
    unsigned mode_ = 0600;
    bool decrypting_ = false;
};

} // namespace

bool EraseFile(const std::string& path, SourceDisposal disposal, StatusLine* status,
               std::string* inTheWay) {
    if (inTheWay)
        inTheWay->clear();
    if (disposal == SourceDisposal::Keep)
        return false;
    const bool wipe = disposal != SourceDisposal::Delete;
    if (status)
        status->UpdateStatus(
            FillIn(wipe ? "Wiping out the file %s ..." : "Deleting the file %s ...", path));
    bool gone = false;
    if (wipe) {
        gone = WipeFile(path) == 0;
        if (!gone && inTheWay)
            *inTheWay = WipeNameInTheWay(path);
        // The wipe puts a file it could not finish back under its own name, so the plain delete
        // finds it there.
        if (!gone && disposal == SourceDisposal::WipeElseDelete)
            gone = DeletePlainly(path);
    } else {
        SetArchiveOnly(path);
        gone = DeletePlainly(path);
    }
    if (status)
        status->UpdateStatus(IdleMessage);
    return gone;
}

CryptOutcome EncryptOne(const std::string& sourcePath, std::int32_t method, SourceDisposal disposal,
                        CryptFileSteps& steps, StatusLine* status) {
    CryptOutcome outcome;
    outcome.SourcePath = AbsolutePath(sourcePath);
    outcome.OutputPath = outcome.SourcePath + CryptExtension;
    OneFileRun run(outcome, steps, status);
    if (!run.Admit(outcome.OutputPath))
        return outcome;
    const std::string& source = outcome.SourcePath;
    if (!run.Run([&](TQV_Pwd& holder) { return holder.EncryptFile(source, method); }))
        return outcome;
    run.Finish(disposal);
    return outcome;
}

CryptOutcome DecryptOne(const std::string& cryptedPath, SourceDisposal disposal,
                        CryptFileSteps& steps, StatusLine* status) {
    CryptOutcome outcome;
    outcome.SourcePath = AbsolutePath(cryptedPath);
    const std::string name = FileNamePart(outcome.SourcePath);
    if (name.size() <= 4 || !IsCryptedFileName(name)) {
        outcome.Status = CryptStatus::NotCryptedName;
        return outcome;
    }
    outcome.OutputPath = DerivedPlainPath(outcome.SourcePath);
    OneFileRun run(outcome, steps, status);
    run.Decrypting();
    if (!run.Admit(outcome.OutputPath))
        return outcome;
    const std::string& source = outcome.SourcePath;
    std::string storedName;
    if (!run.Run([&](TQV_Pwd& holder) { return holder.DecryptFile(source, storedName); }))
        return outcome;
    if (!storedName.empty()) {
        outcome.StoredName = storedName;
        outcome.OutputPath = JoinPath(DirectoryPart(outcome.OutputPath), storedName);
    }
    run.Finish(disposal);
    return outcome;
}

std::string WipeBlockedReason(const std::string& blocker) {
    return "the file " + blocker +
           " is in the way of the wipe; it may be the plain file of a wipe that was interrupted: "
           "look at it, then move or delete it";
}

std::string FillIn(const std::string& message, const std::string& subject) {
    std::string text;
    std::size_t from = 0;
    for (std::size_t at; (at = message.find("%s", from)) != std::string::npos; from = at + 2)
        text.append(message, from, at - from).append(subject);
    return text.append(message, from, std::string::npos);
}

} // namespace qv
