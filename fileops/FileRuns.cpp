#include "FileRuns.h"

#include "CryptFile.h"
#include "DirCryptor.h"
#include "FileSystem.h"
#include "FolderWalk.h"
#include "MasterPass.h"
#include "PasswordPrompts.h"
#include "Paths.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdExpiry.h"
#include "PwdTable.h"
#include "UserAnswers.h"

#include <functional>
#include <string>
#include <utility>

namespace qv {

namespace {

constexpr std::size_t CryptExtensionLength = std::char_traits<char>::length(CryptExtension);

ListSide SideOf(Direction direction) {
    return direction == Direction::Encrypt ? ListSide::Plain : ListSide::Crypted;
}

} // namespace

TQV_FileRuns::TQV_FileRuns(Parts parts, RunFrontEnd frontEnd) : p_(parts), ui_(frontEnd) {}

void TQV_FileRuns::EncrFileList() {
    FileList(Direction::Encrypt);
}

void TQV_FileRuns::DecrFileList() {
    FileList(Direction::Decrypt);
}

void TQV_FileRuns::FileList(Direction direction) {
    if (p_.State.Working()) {
        ui_.Status.UpdateStatus(PleaseWaitMessage);
        return;
    }
    ProcessFileList(direction);
}

void TQV_FileRuns::StartPasswords() {
    p_.Pwd.OnePerList = false;
    storedPasswordUsed_ = false;
    DropExpiredPasswords(p_.Pwd, p_.Passwords.MasterPass);
}

void TQV_FileRuns::EndPasswords() {
    // A stored password serves the rest of its run only: the user may never have typed it, and
    // it has left the database, so later files must not be encrypted with it unasked.
    if (storedPasswordUsed_)
        p_.Expiry.SetExpired();
    storedPasswordUsed_ = false;
    DropExpiredPasswords(p_.Pwd, p_.Passwords.MasterPass);
}

void TQV_FileRuns::EndForWindow() {
    if (p_.State.ListsRaised) {
        ui_.Progress.DropLists();
        p_.State.ListsRaised = false;
    }
    ui_.Progress.EnableStopButton(false);
    p_.Expiry.DisableButtonsOfDropped(p_.Passwords.MasterPass);
}

void TQV_FileRuns::ProcessFileList(Direction direction) {
    ProcessFileList(direction, {});
}

void TQV_FileRuns::ProcessFileList(Direction direction, const Decrypted& decrypted) {
    const RunScope run(p_.State);
    const ListSide side = SideOf(direction);
    const bool inTree = (p_.State.BusyFlags & ProcessingTree) != 0;
    p_.Prompts.ShowCancelAll(direction, true);
    if (!inTree) {
        ui_.Progress.EnableStopButton(true);
        p_.State.ListsRaised = false;
        StartPasswords();
    }
    p_.Work.CollectSelection(ui_.Lists.SelectedCaptions(side), ui_.Lists.ShownDirectory());
    if (inTree)
        ui_.Lists.DeselectAllItems(side);

    // Fixed for the whole list: nothing else changes the work list meanwhile, but a copy is
    // safe whatever the dialogs' event loops let through.
    const std::string directory = p_.Work.Directory;
    const std::vector<std::string> names = p_.Work.FileNames;
    for (const std::string& name : names) {
        PromptAnswer answer = PromptAnswer::Go;
        bool fromDatabase = false;
        std::string key;
        if (direction == Direction::Decrypt) {
            // A crypted file's password is stored under its plain file's full path.
            key = JoinPath(directory, name);
            if (p_.Settings.ShowCry && key.size() >= CryptExtensionLength)
                key.resize(key.size() - CryptExtensionLength);
            fromDatabase = p_.Passwords.FetchPassword(key);
            if (fromDatabase)
                storedPasswordUsed_ = true;
            else
                answer = p_.Prompts.PromptToDecrypt(name);
        } else {
            answer = p_.Prompts.PromptToEncrypt(name);
        }
        if (answer == PromptAnswer::Skip)
            continue;
        if (answer == PromptAnswer::CancelAll) {
            if (inTree)
                p_.State.AbortRequested = true;
            break;
        }
        if (!p_.State.ListsRaised) {
            ui_.Progress.RaiseLists();
            p_.State.ListsRaised = true;
        }
        if (direction == Direction::Decrypt) {
            const CryptOutcome outcome =
                p_.Ops.DecrFile(directory, name, fromDatabase ? &p_.Passwords : nullptr, key);
            if (decrypted && outcome.Status == CryptStatus::Done &&
                !decrypted(outcome, fromDatabase))
                break;
        } else {
            p_.Ops.EncrFile(directory, name, p_.State.SavePassword ? &p_.Passwords : nullptr);
        }
        if (p_.State.AbortRequested)
            break;
    }

    // Inside a tree run the stop stays requested, so that the tree run ends too.
    if (!inTree) {
        p_.State.AbortRequested = false;
        EndPasswords();
    }
    p_.Prompts.ShowCancelAll(direction, false);
    if (!inTree)
        EndForWindow();
}

void TQV_FileRuns::DoForAll(Direction direction) {
    if (p_.State.Working()) {
        ui_.Status.UpdateStatus(PleaseWaitMessage);
        return;
    }
    const Button answer = ui_.Answers.Ask(MessageKind::Confirmation, RecurseQuestion,
                                          ButtonYes | ButtonNo | ButtonCancel);
    if (answer != ButtonYes && answer != ButtonNo)
        return;
    const bool recurse = answer == ButtonYes;

    const RunScope run(p_.State);
    skipped_.clear();
    {
        const BusyScope tree(p_.State, ProcessingTree);
        StartPasswords();
        p_.State.ListsRaised = false;
        p_.Prompts.ShowCancelAll(direction, true);
        ui_.Status.UpdateStatus(ProcessingFoundMessage);
        // The run's top folder is fixed now, as an absolute path; every folder below it is
        // reached from it by name.
        const std::string top = AbsolutePath(ui_.Tree.TreeDirectory());
        std::string reason;
        if (ui_.Tree.EnterDirectory(top, reason)) {
            ui_.Tree.EnableTree(false);
            ui_.Progress.EnableStopButton(true);
            Walk(direction, recurse, top);
        } else {
            skipped_.push_back(top + " (" + reason + ")");
        }
        EndPasswords();
        p_.State.AbortRequested = false;
    }
    p_.Prompts.ShowCancelAll(direction, false);
    ui_.Status.UpdateStatus(IdleMessage);
    ui_.Tree.EnableTree(true);
    EndForWindow();
    // Entries added during the run without their details get them now.
    if (p_.Pwd.OnePerList || p_.Pwd.OnePassword)
        ui_.Tree.ReReadLists();
    if (!skipped_.empty()) {
        std::string text = "These directories could not be entered; their files were not "
                           "processed:";
        for (const std::string& folder : skipped_)
            text += "\n" + folder;
        ui_.Answers.ShowError(text);
    }
    skipped_.clear();
}

void TQV_FileRuns::ProcessDirectory(Direction direction, bool recurse) {
    Walk(direction, recurse, AbsolutePath(ui_.Tree.TreeDirectory()));
}

namespace {

// A tree run's walk through the window: each folder shown in the tree and its files selected
// and processed as a list run.
class TreeVisitor : public FolderVisitor {
public:
    using ProcessFolder = std::function<void()>;
    TreeVisitor(RunFrontEnd& ui, const TQV_PrgState& state, std::vector<std::string>& skipped,
                Direction direction, ProcessFolder process)
        : ui_(ui), state_(state), skipped_(skipped), direction_(direction),
          process_(std::move(process)) {}

    void Files(const std::string&) override {
        ui_.Lists.SelectAllItems(SideOf(direction_));
        process_();
    }
    bool Enter(const std::string& folder, std::string& reason) override {
        return ui_.Tree.EnterDirectory(folder, reason);
    }
    void Skipped(const std::string& folder, const std::string& reason) override {
        skipped_.push_back(folder + " (" + reason + ")");
        ui_.Status.UpdateStatus(
            FillIn("The directory %s cannot be entered; it is skipped.", folder));
    }
    void Returned(const std::string& folder) override {
        std::string reason;
        ui_.Tree.EnterDirectory(folder, reason);
    }
    void Resumed() override { ui_.Status.UpdateStatus(ProcessingFoundMessage); }
    void Between() override { ui_.Tree.LetMessagesThrough(); }
    bool Stopped() override { return state_.AbortRequested; }

private:
    RunFrontEnd& ui_;
    const TQV_PrgState& state_;
    std::vector<std::string>& skipped_;
    Direction direction_;
    ProcessFolder process_;
};

} // namespace

void TQV_FileRuns::Walk(Direction direction, bool recurse, const std::string& directory) {
    TreeVisitor visitor(ui_, p_.State, skipped_, direction,
                        [this, direction] { ProcessFileList(direction); });
    WalkFolders(directory, recurse, visitor);
}

void TQV_FileRuns::StopProcess() {
    const std::uint8_t fileWork = p_.State.BusyFlags & ~(ProcessingTree | DeletingFiles);
    if (fileWork == 0) {
        p_.State.AbortRequested = true;
        return;
    }
    if (ui_.Answers.Ask(MessageKind::Confirmation, StopQuestion, ButtonOk | ButtonCancel) !=
        ButtonOk)
        return;
    ui_.Status.UpdateStatus(PleaseWaitMessage);
    p_.State.AbortRequested = true;
}

} // namespace qv
