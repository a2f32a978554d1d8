#include "OneFile.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "FlushGroup.h"
#include "ListEntries.h"
#include "Paths.h"
#include "Pwd.h"
#include "Wipe.h"

#include <memory>
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

} // namespace

// The part of both directions after the checks of the source: the password, the engine between
// the permission bits, the output's bits and the source's disposal.
class OneFileRun {
public:
    // With outputs, the engine leaves the flush of the output to that group.
    OneFileRun(CryptOutcome& outcome, CryptFileSteps& steps, StatusLine* status,
               FlushGroup* outputs = nullptr)
        : outcome_(outcome), steps_(steps), status_(status), outputs_(outputs) {}

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
        TQV_Pwd* holder = Prepare();
        if (!holder)
            return false;
        holder->FlushLater = outputs_;
        holder->MayReplace = MayReplace();
        const std::int32_t code = steps_.RunEngine([&] { return engine(*holder); });
        holder->FlushLater = nullptr;
        holder->MayReplace = true;
        return Conclude(code);
    }

    // Run in two halves, for an engine call that serves several files: the password and the
    // source's bits, then the engine's code. Prepare gives null when the outcome is decided.
    TQV_Pwd* Prepare() {
        TQV_Pwd* holder = steps_.PasswordFor(outcome_.SourcePath);
        if (!holder) {
            Decide(CryptStatus::NoPassword);
            return nullptr;
        }
        GetPermissions(outcome_.SourcePath, mode_);
        SetArchiveOnly(outcome_.SourcePath);
        return holder;
    }

    // A file that appears at the output's path after the check is not the user's to lose.
    bool MayReplace() const { return outcome_.OutputExisted; }

    bool Conclude(std::int32_t code) {
        outcome_.Code = code;
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

    // The output is in place and on disk: it takes the source's bits and the front end has its
    // last word. False when the front end withdrew it; the source has its own bits again.
    bool Accept() {
        SetPermissions(outcome_.OutputPath, mode_);
        if (decrypting_)
            steps_.PasswordServed(outcome_.SourcePath);
        if (!steps_.OutputWritten(outcome_.OutputPath, outcome_.OutputExisted)) {
            RestoreSource();
            return Decide(CryptStatus::Withdrawn);
        }
        outcome_.Status = CryptStatus::Done;
        return true;
    }

    // Then the source goes as disposal says (or keeps its own bits when it stays).
    void Finish(SourceDisposal disposal) {
        if (!Accept())
            return;
        outcome_.SourceErased =
            EraseFile(outcome_.SourcePath, disposal, status_, &outcome_.WipeBlockedBy);
        if (!outcome_.SourceErased)
            RestoreSource();
    }

    // An output that its group could not flush may be incomplete on disk: it is taken away,
    // and the source, complete, stays as it was.
    void GiveUpUnflushed() {
        unlink(outcome_.OutputPath.c_str());
        RestoreSource();
        outcome_.Code = CryptWriteFailed;
        Decide(CryptStatus::Failed);
    }

    void RestoreSource() { SetPermissions(outcome_.SourcePath, mode_); }

private:
    bool Decide(CryptStatus status) {
        outcome_.Status = status;
        return false;
    }

    CryptOutcome& outcome_;
    CryptFileSteps& steps_;
    StatusLine* status_;
    FlushGroup* outputs_;
    unsigned mode_ = 0600;
    bool decrypting_ = false;
};

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
    SplitCrypt crypt(steps, status);
    if (crypt.Encrypt(sourcePath, method, nullptr))
        crypt.FinishAlone(disposal);
    return crypt.Outcome();
}

CryptOutcome DecryptOne(const std::string& cryptedPath, SourceDisposal disposal,
                        CryptFileSteps& steps, StatusLine* status) {
    SplitCrypt crypt(steps, status);
    if (crypt.Decrypt(cryptedPath, nullptr))
        crypt.FinishAlone(disposal);
    return crypt.Outcome();
}

SplitCrypt::SplitCrypt(CryptFileSteps& steps, StatusLine* status)
    : steps_(steps), status_(status) {}

SplitCrypt::~SplitCrypt() = default;

bool SplitCrypt::AdmitEncryption(const std::string& sourcePath, FlushGroup* outputs) {
    outcome_ = CryptOutcome();
    outcome_.SourcePath = AbsolutePath(sourcePath);
    outcome_.OutputPath = outcome_.SourcePath + CryptExtension;
    heldPath_ = outcome_.OutputPath;
    run_ = std::make_unique<OneFileRun>(outcome_, steps_, status_, outputs);
    return run_->Admit(outcome_.OutputPath);
}

bool SplitCrypt::Encrypt(const std::string& sourcePath, std::int32_t method, FlushGroup* outputs) {
    if (!AdmitEncryption(sourcePath, outputs))
        return false;
    const std::string& source = outcome_.SourcePath;
    written_ = run_->Run([&](TQV_Pwd& holder) { return holder.EncryptFile(source, method); });
    return written_;
}

TQV_Pwd* SplitCrypt::BeginEncrypt(const std::string& sourcePath, FlushGroup* outputs,
                                  bool& mayReplace) {
    if (!AdmitEncryption(sourcePath, outputs))
        return nullptr;
    mayReplace = run_->MayReplace();
    return run_->Prepare();
}

bool SplitCrypt::EndEncrypt(std::int32_t code) {
    // The front end sees the engine's end for this file as if it had run for it alone.
    written_ = run_->Conclude(steps_.RunEngine([code] { return code; }));
    return written_;
}

bool SplitCrypt::Decrypt(const std::string& cryptedPath, FlushGroup* outputs) {
    outcome_ = CryptOutcome();
    outcome_.SourcePath = AbsolutePath(cryptedPath);
    run_ = std::make_unique<OneFileRun>(outcome_, steps_, status_, outputs);
    const std::string name = FileNamePart(outcome_.SourcePath);
    if (name.size() <= 4 || !IsCryptedFileName(name)) {
        outcome_.Status = CryptStatus::NotCryptedName;
        return false;
    }
    outcome_.OutputPath = DerivedPlainPath(outcome_.SourcePath);
    heldPath_ = outcome_.OutputPath;
    run_->Decrypting();
    if (!run_->Admit(outcome_.OutputPath))
        return false;
    const std::string& source = outcome_.SourcePath;
    std::string storedName;
    written_ = run_->Run([&](TQV_Pwd& holder) { return holder.DecryptFile(source, storedName); });
    if (!written_)
        return false;
    if (!storedName.empty()) {
        outcome_.StoredName = storedName;
        outcome_.OutputPath = JoinPath(DirectoryPart(outcome_.OutputPath), storedName);
    }
    return true;
}

void SplitCrypt::FinishAlone(SourceDisposal disposal) {
    if (written_)
        run_->Finish(disposal);
    written_ = false;
}

void SplitCrypt::Complete(const FlushGroup& outputs, SourceDisposal disposal, FlushGroup& wipes) {
    if (!written_)
        return;
    written_ = false;
    if (!outputs.Flushed(heldPath_)) {
        run_->GiveUpUnflushed();
        return;
    }
    if (!run_->Accept())
        return;
    switch (disposal) {
    case SourceDisposal::Keep:
        run_->RestoreSource();
        return;
    case SourceDisposal::Wipe:
    case SourceDisposal::WipeElseDelete:
        if (StartWipe(outcome_.SourcePath, wipes, wipeTicket_) == 0) {
            wiping_ = true;
            return;
        }
        outcome_.WipeBlockedBy = WipeNameInTheWay(outcome_.SourcePath);
        if (disposal == SourceDisposal::WipeElseDelete && unlink(outcome_.SourcePath.c_str()) == 0)
            outcome_.SourceErased = true;
        break;
    case SourceDisposal::Delete:
        SetArchiveOnly(outcome_.SourcePath);
        // The folder is flushed with the others when the run settles its wipes.
        wipes.Watch(DirectoryPart(outcome_.SourcePath));
        outcome_.SourceErased = unlink(outcome_.SourcePath.c_str()) == 0;
        break;
    }
    if (!outcome_.SourceErased)
        run_->RestoreSource();
}

void SplitCrypt::FinishWipe(const FlushGroup& wipes) {
    if (!wiping_)
        return;
    wiping_ = false;
    if (wipes.Flushed(wipeTicket_) && qv::FinishWipe(wipes.Fd(wipeTicket_))) {
        outcome_.SourceErased = true;
        return;
    }
    // The name is gone, but the overwrite may not have reached the disk.
    outcome_.SourceErased = true;
    outcome_.WipeNotFlushed = true;
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
