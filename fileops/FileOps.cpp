#include "FileOps.h"

#include "CryptFile.h"
#include "DirCryptor.h"
#include "FileSystem.h"
#include "Paths.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "UserAnswers.h"

namespace qv {

namespace {

struct CryptMessage {
    std::int32_t Code;
    const char* Text; // "%s" takes the list caption
    unsigned Buttons;
};

// The message of each engine result code. The last two are codes of this engine that no message
// of the program named: without a message a refused file would simply stay where it was.
constexpr CryptMessage CryptMessages[] = {
    {CryptCannotOpenInput, "不能來開啟這個檔案 %s .", ButtonOk},        // cannot open the file
    {CryptCannotCreateOutput, "不能建立一個新的檔案.      ", ButtonOk}, // cannot create a file
    {CryptReadFailed, "不能來讀取這個檔案 %s .", ButtonOk},             // cannot read the file
    {CryptWrongPassword,
     "Invalid password for the file %s !Press 'All' button to abort processing the file list.",
     ButtonOk | ButtonAll},
    {CryptNoMemory, "沒記憶體. ", ButtonOk}, // no memory
    {CryptNotCrypted, "Cannot identify file %s as a valid crypted file.", ButtonOk},
    {CryptStopped, "You have aborted processing %s.", ButtonOk},
    {CryptWriteFailed, "Processing file %s has been aborted. The disk may be full.", ButtonOk},
    {CryptTooLarge,
     "The file %s is too large to be encrypted: a crypted file holds at most 2147483607 bytes.",
     ButtonOk},
    {CryptBadMethod,
     "The file %s was not encrypted: no encryption method is chosen. Choose DES, 3xDES or IDEA.",
     ButtonOk},
};

} // namespace

// How the window asks, marks itself busy and shows progress around one engine call.
class TQV_FileOps::WindowSteps : public CryptFileSteps {
public:
    WindowSteps(TQV_FileOps& ops, const std::string& name, Direction direction)
        : ops_(ops), name_(name), direction_(direction) {}

    // The holder of the password, when not the current one.
    TQV_Pwd* Password = nullptr;
    // Where the password is filed once the output is written (encrypting), or where it came from
    // and leaves once it has served (decrypting), and under which key.
    TQV_PwdTable* Passwords = nullptr;
    std::string Key;

    bool ReplaceExisting(const std::string& outputPath) override {
        const char* question =
            direction_ == Direction::Encrypt
                ? "File %s already exist in the list of encrypted files. Overwrite?"
                : "File %s already exist in the list of non encrypted files. Overwrite?";
        return ops_.ui_.Answers.Ask(MessageKind::Information, FillIn(question, outputPath),
                                    ButtonOk | ButtonCancel) == ButtonOk;
    }

    TQV_Pwd* PasswordFor(const std::string&) override { return Password ? Password : &ops_.pwd_; }

    std::int32_t RunEngine(const std::function<std::int32_t()>& engine) override {
        const bool encrypting = direction_ == Direction::Encrypt;
        ops_.ui_.Status.UpdateStatus(
            FillIn(encrypting ? "Encrypting file %s ..." : "Decrypting file %s ...", name_));
        std::int32_t code = 0;
        {
            const BusyScope busy(ops_.state_, encrypting ? EncryptingFile : DecryptingFile);
            ops_.ui_.Progress.StartProgressTimer();
            code = engine();
            ops_.ui_.Progress.StopProgressTimer();
        }
        ops_.ui_.Status.UpdateStatus(IdleMessage);
        ops_.ui_.Progress.ResetProgressBars();
        return code;
    }

    // The database tells of its own failures; the file stays encrypted all the same, with the
    // password the user has just typed twice.
    bool OutputWritten(const std::string&, bool) override {
        if (Passwords && direction_ == Direction::Encrypt)
            Passwords->StorePassword(Key, Password ? *Password : ops_.pwd_);
        return true;
    }

    // A stored password that has served leaves the database; the database tells of its own
    // failures.
    void PasswordServed(const std::string&) override {
        if (Passwords && direction_ == Direction::Decrypt)
            Passwords->ConsumePassword(Key);
    }

private:
    TQV_FileOps& ops_;
    const std::string& name_;
    Direction direction_;
};

TQV_FileOps::TQV_FileOps(TQV_Pwd& pwd, TQV_PrgState& state, const TQV_Settings& settings,
                         FileOpsFrontEnd frontEnd)
    : pwd_(pwd), state_(state), settings_(settings), ui_(frontEnd) {}

void TQV_FileOps::EncrFile(const std::string& directory, const std::string& name,
                           TQV_PwdTable* passwords, TQV_Pwd* password) {
    // Fixed now: the tree may move the current directory while the engine lets messages through.
    const std::string dir = AbsolutePath(directory);
    WindowSteps steps(*this, name, Direction::Encrypt);
    steps.Password = password;
    steps.Passwords = passwords;
    steps.Key = JoinPath(dir, name);
    Conclude(EncryptOne(JoinPath(dir, name), settings_.Method, SourceDisposal::WipeElseDelete,
                        steps, &ui_.Status),
             dir, name, Direction::Encrypt,
             CryptedCaption(name + CryptExtension, settings_.ShowCry));
}

CryptOutcome TQV_FileOps::DecrFile(const std::string& directory, const std::string& name,
                                   TQV_PwdTable* passwords, const std::string& key) {
    const std::string dir = AbsolutePath(directory);
    const std::string cryptedPath = JoinPath(dir, CryptedFileName(dir, name, settings_.ShowCry));
    WindowSteps steps(*this, name, Direction::Decrypt);
    steps.Passwords = passwords;
    steps.Key = key;
    CryptOutcome outcome = DecryptOne(cryptedPath, SourceDisposal::Delete, steps, &ui_.Status);
    // The plain file's caption is the crypted file's name without ".cry".
    Conclude(outcome, dir, name, Direction::Decrypt, FileNamePart(DerivedPlainPath(cryptedPath)));
    return outcome;
}

void TQV_FileOps::Conclude(const CryptOutcome& outcome, const std::string& dir,
                           const std::string& name, Direction direction,
                           const std::string& replacedCaption) {
    state_.TargetExisted = outcome.OutputExisted;
    switch (outcome.Status) {
    case CryptStatus::Done:
        break;
    case CryptStatus::SourceMissing:
        ui_.Answers.ShowError(FillIn("File %s not found.", outcome.SourcePath));
        return;
    case CryptStatus::NotAFile:
        ReportCryptResult(CryptCannotOpenInput, name);
        return;
    case CryptStatus::NotCryptedName:
        ReportCryptResult(CryptNotCrypted, name);
        return;
    case CryptStatus::Failed:
        ReportCryptResult(outcome.Code, name);
        return;
    default: // declined at the overwrite question
        return;
    }
    const bool encrypted = direction == Direction::Encrypt;
    if (outcome.SourceErased && !outcome.WipeBlockedBy.empty())
        ShowWipeBlocked(outcome.SourcePath, outcome.WipeBlockedBy);
    if (!outcome.SourceErased)
        ui_.Answers.ShowError(
            encrypted
                ? FillIn("Unable to delete file %s from the list of non encrypted files.", name)
                : FillIn("Unable to delete file %s from the list of encrypted files.",
                         outcome.SourcePath));
    if (ui_.Lists.ShownDirectory() != dir)
        return;
    // The entry of the file the output replaced goes, so that the file is listed once.
    if (state_.TargetExisted)
        ui_.Lists.RemoveListItem(encrypted ? ListSide::Crypted : ListSide::Plain, replacedCaption);
    ui_.Lists.UpdateFLists(name, outcome.StoredName, !outcome.SourceErased, direction);
}

void TQV_FileOps::ReportCryptResult(std::int32_t code, const std::string& name) {
    for (const CryptMessage& message : CryptMessages) {
        if (message.Code != code)
            continue;
        if (ui_.Answers.Ask(MessageKind::Error, FillIn(message.Text, name), message.Buttons) ==
            ButtonAll)
            state_.AbortRequested = true;
        return;
    }
}

bool TQV_FileOps::EraseFile(const std::string& path, bool wipe) {
    std::string inTheWay;
    const bool gone =
        qv::EraseFile(path, wipe ? SourceDisposal::WipeElseDelete : SourceDisposal::Delete,
                      &ui_.Status, &inTheWay);
    if (gone && !inTheWay.empty())
        ShowWipeBlocked(path, inTheWay);
    return gone;
}

void TQV_FileOps::ShowWipeBlocked(const std::string& path, const std::string& blocker) {
    // The file is gone, but its content was not overwritten first: the user must know, and must
    // learn how to let the next wipes in that folder work.
    ui_.Answers.ShowError("The file " + path +
                          " was deleted without being wiped: " + WipeBlockedReason(blocker) + ".");
}

void TQV_FileOps::FileDel(ListSide list, const std::vector<std::string>& selected,
                          TQV_DirCryptor& work, DeleteConfirmation& dialog) {
    if (selected.empty())
        return;
    if (state_.Working()) {
        ui_.Status.UpdateStatus(PleaseWaitMessage);
        return;
    }
    const BusyScope busy(state_, DeletingFiles);
    work.CollectSelection(selected, ui_.Lists.ShownDirectory());
    const std::string dir = AbsolutePath(work.Directory);
    const bool plain = list == ListSide::Plain;
    ui_.Progress.EnableStopButton(true);
    bool deleteAll = false;
    for (const std::string& name : std::vector<std::string>(work.FileNames)) {
        const std::string path =
            JoinPath(dir, plain ? name : CryptedFileName(dir, name, settings_.ShowCry));
        if (!deleteAll) {
            const DeleteAnswer answer = dialog.Ask(path);
            if (answer == DeleteAnswer::Cancel)
                continue;
            if (answer == DeleteAnswer::CancelAll)
                break;
            deleteAll = answer == DeleteAnswer::DeleteAll;
        }
        if (!EraseFile(path, plain))
            ui_.Answers.ShowError(FillIn("Unable to delete file %s .", path));
        else if (ui_.Lists.ShownDirectory() == dir)
            ui_.Lists.RemoveListItem(list, name);
    }
    ui_.Progress.EnableStopButton(false);
    state_.AbortRequested = false;
}

} // namespace qv
