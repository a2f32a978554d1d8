#include "OpenFiles.h"

#include "CryptFile.h"
#include "DirCryptor.h"
#include "FileSystem.h"
#include "Paths.h"
#include "PrgState.h"
#include "Processes.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "UserAnswers.h"

#include <algorithm>
#include <cstdio>

namespace qv {

namespace {

// Ticks between two looks at files that other processes still held open.
constexpr int HeldLookTicks = 5;

} // namespace

TQV_OpenFiles::TQV_OpenFiles(Parts parts, OpenFilesFrontEnd frontEnd) : p_(parts), ui_(frontEnd) {}

std::int32_t TQV_OpenFiles::Count() const {
    return p_.State.OpFiles.Count;
}

bool TQV_OpenFiles::Full() const {
    return Count() >= MaxOpenFiles;
}

pid_t TQV_OpenFiles::OpenAssociatedApp(const std::string& file, const std::string& directory,
                                       const std::string& verb) {
    ui_.Status.UpdateStatus(RunningAppMessage);
    std::string error;
    const pid_t process = Launcher ? Launcher->Launch(verb, file, directory, error) : -1;
    ui_.Status.UpdateStatus(IdleMessage);
    // The message box says that the file could not be handed over; the reason goes to the
    // program's error output (the desktop session's log).
    if (process <= 0)
        std::fprintf(stderr, "quorvane: %s %s: %s\n", verb.c_str(), file.c_str(),
                     error.empty() ? "no application" : error.c_str());
    return process;
}

void TQV_OpenFiles::ProcessCmd(const std::string& verb) {
    const RunScope loop(p_.State);
    p_.Work.CollectSelection(ui_.Lists.SelectedCaptions(ListSide::Plain),
                             ui_.Lists.ShownDirectory());
    const std::string directory = AbsolutePath(p_.Work.Directory);
    for (const std::string& name : std::vector<std::string>(p_.Work.FileNames)) {
        const std::string file = JoinPath(directory, name);
        if (!OpenUnwatched(file, directory, verb))
            ui_.Answers.ShowError(FillIn(CannotHandOverMessage, file));
    }
}

bool TQV_OpenFiles::OpenUnwatched(const std::string& file, const std::string& directory,
                                  const std::string& verb) {
    const pid_t process = OpenAssociatedApp(file, directory, verb);
    if (process <= 0)
        return false;
    unwatched_.push_back(process);
    UpdateTimer();
    return true;
}

bool TQV_OpenFiles::StartUnwatched(const std::vector<std::string>& argv) {
    const pid_t process = StartProgram(argv);
    if (process <= 0)
        return false;
    unwatched_.push_back(process);
    UpdateTimer();
    return true;
}

TQV_OpenFiles::Opened TQV_OpenFiles::CurrentPassword(const std::string& path,
                                                     bool fromDatabase) const {
    Opened file;
    file.Path = path;
    file.Password = p_.Pwd.Password;
    file.PasswordLength = p_.Pwd.PasswordLength;
    file.FromDatabase = fromDatabase;
    return file;
}

void TQV_OpenFiles::ProcessDecrCmd(const std::string& verb) {
    if (p_.State.Working()) {
        ui_.Status.UpdateStatus(PleaseWaitMessage);
        return;
    }
    if (Full())
        return;
    const RunScope loop(p_.State);
    // The list run decrypts no more files than can be watched: a file decrypted beyond that
    // would stay on disk in plain text with nobody to encrypt it again.
    const auto room = static_cast<std::size_t>(MaxOpenFiles - Count());
    std::vector<Opened> files;
    p_.Runs.ProcessFileList(Direction::Decrypt,
                            [&](const CryptOutcome& outcome, bool fromDatabase) {
                                files.push_back(CurrentPassword(outcome.OutputPath, fromDatabase));
                                return files.size() < room;
                            });
    const bool stoppedShort = files.size() == room;
    OpenDecrypted(verb, files);
    if (stoppedShort && Full())
        ui_.Status.UpdateStatus(TableFullMessage);
}

void TQV_OpenFiles::ProcessDecrCmd(const std::string& verb, const std::string& plainPath,
                                   bool fromDatabase) {
    if (Full())
        return;
    const RunScope loop(p_.State);
    std::vector<Opened> files;
    files.push_back(CurrentPassword(AbsolutePath(plainPath), fromDatabase));
    OpenDecrypted(verb, files);
}

void TQV_OpenFiles::OpenDecrypted(const std::string& verb, std::vector<Opened>& files) {
    for (Opened& file : files) {
        if (Full())
            break;
        const std::string directory = DirectoryPart(file.Path);
        p_.Work.Directory = directory;
        if (!IsRegularFile(file.Path))
            continue;
        const pid_t process = OpenAssociatedApp(file.Path, directory, verb);
        if (process > 0) {
            CreateFileObject(file.Path, process, file.Password, file.PasswordLength,
                             file.FromDatabase);
        } else {
            // Nothing will ever close the file: it is encrypted again at once.
            EncryptAgain(file.Path, file.Password, file.PasswordLength, file.FromDatabase);
            ui_.Answers.ShowError(FillIn(CannotHandOverMessage, file.Path));
        }
    }
}

bool TQV_OpenFiles::CreateFileObject(const std::string& path, pid_t process,
                                     const SecureBytes& password, std::int32_t passwordLength,
                                     bool fromDatabase) {
    OpFilesR& table = p_.State.OpFiles;
    const auto free = std::find_if(table.Slots.begin(), table.Slots.end(),
                                   [](const OpenFileInfoR& slot) { return !slot.Used; });
    if (free == table.Slots.end())
        return false;
    free->Used = true;
    free->Running = true;
    free->Process = process;
    free->FileName = path;
    free->Password = password;
    free->PasswordLength = passwordLength;
    free->FromDatabase = fromDatabase;
    free->HeldNoticed = false;
    ++table.Count;
    UpdateTimer();
    return true;
}

void TQV_OpenFiles::NotifyOpenFiles() {
    if (watching_)
        return;
    watching_ = true;
    unwatched_.erase(std::remove_if(unwatched_.begin(), unwatched_.end(), ProcessHasEnded),
                     unwatched_.end());

    OpFilesR& table = p_.State.OpFiles;
    std::vector<std::string> closed;
    bool newlyClosed = false;
    for (OpenFileInfoR& slot : table.Slots) {
        if (slot.Used && slot.Running && ProcessHasEnded(slot.Process)) {
            slot.Running = false;
            newlyClosed = true;
        }
        if (slot.Used && !slot.Running)
            closed.push_back(slot.FileName);
    }
    // A file whose application has ended may still be open elsewhere: many applications hand
    // a file to an instance that is already running, and the process started for it ends at
    // once. Looking through every process costs some milliseconds, so files that were still
    // held are looked at again once a second only.
    if (newlyClosed)
        heldWait_ = 0;
    const bool look = heldWait_ == 0 || --heldWait_ == 0;
    if (!closed.empty() && !p_.State.Working() && look) {
        const std::vector<std::string> held = FilesHeldOpen(closed);
        if (!held.empty())
            heldWait_ = HeldLookTicks;
        for (OpenFileInfoR& slot : table.Slots) {
            if (!slot.Used || slot.Running)
                continue;
            if (std::find(held.begin(), held.end(), slot.FileName) != held.end()) {
                if (!slot.HeldNoticed)
                    ui_.Status.UpdateStatus(FillIn(StillHeldMessage, slot.FileName));
                slot.HeldNoticed = true;
                continue;
            }
            // Each re-encryption lets events through; the work it started counts as busy.
            if (p_.State.Working())
                break;
            Reencrypt(slot);
        }
    }
    watching_ = false;
    UpdateTimer();
}

void TQV_OpenFiles::Reencrypt(OpenFileInfoR& slot) {
    OpenFileInfoR closed = std::move(slot);
    slot = OpenFileInfoR(); // the slot is free from now on; its password lives in closed
    --p_.State.OpFiles.Count;
    EncryptAgain(closed.FileName, closed.Password, closed.PasswordLength, closed.FromDatabase);
}

void TQV_OpenFiles::EncryptAgain(const std::string& path, const SecureBytes& masked,
                                 std::int32_t length, bool refile) {
    const BusyScope busy(p_.State, EncryptingFile);
    TQV_Pwd password;
    password.Password = masked;
    password.PasswordLength = length;
    password.HasPassword = true;
    password.AbortRequested = p_.Pwd.AbortRequested;
    password.ChunkDone = p_.Pwd.ChunkDone;
    password.Progress = p_.Pwd.Progress;
    p_.Work.FileNames.clear();
    p_.Work.Directory = DirectoryPart(path);
    ui_.Progress.RaiseLists();
    p_.Ops.EncrFile(p_.Work.Directory, FileNamePart(path), refile ? &p_.Passwords : nullptr,
                    &password);
    ui_.Progress.DropLists();
}

void TQV_OpenFiles::UpdateTimer() {
    if (Count() > 0 || !unwatched_.empty())
        ui_.Timer.StartWatching();
    else
        ui_.Timer.StopWatching();
}

} // namespace qv
