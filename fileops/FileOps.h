// The desktop program's operations on single files: encrypting and decrypting the file of a list
// entry, the messages for the engine's result codes, erasing a file, and the Delete command of
// the two lists. They reach the window only through the small interfaces below, so they run the
// same with a window and in tests with scripted answers.
#pragma once

#include "ListEntries.h"
#include "OneFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class TQV_DirCryptor;
class TQV_PrgState;
class TQV_Pwd;
class TQV_PwdTable;
class UserAnswers;
struct TQV_Settings;

// Shown instead of starting a command while other work is running.
inline constexpr const char* PleaseWaitMessage =
    "請等待直到這個程序結束.                   "; // please wait until this process has finished

// The progress bars under the lists with their timer, and the stop button.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    // Around each engine call: the timer that fills the bars and the statistics.
    virtual void StartProgressTimer() = 0;
    virtual void StopProgressTimer() = 0;
    // Both bars back to their minimum once a file has ended.
    virtual void ResetProgressBars() = 0;
    virtual void EnableStopButton(bool enabled) = 0;
    // The bars shown under the lists for a run, from its first file on (ListsRaised), and
    // hidden again at its end.
    virtual void RaiseLists() = 0;
    virtual void DropLists() = 0;
};

// The two file lists as the operations change them.
class ListUpdates {
public:
    virtual ~ListUpdates() = default;
    // The directory whose files the lists show now: the directory tree may have moved while an
    // engine call let the window's messages through.
    virtual std::string ShownDirectory() const = 0;
    // After a single-file operation on the entry name (see TQV_FileLists::UpdateFLists).
    virtual void UpdateFLists(const std::string& name, const std::string& newName, bool keepOther,
                              Direction direction) = 0;
    virtual void RemoveListItem(ListSide list, const std::string& caption) = 0;
};

// The delete confirmation's four answers.
enum class DeleteAnswer { Delete, DeleteAll, Cancel, CancelAll };

class DeleteConfirmation {
public:
    virtual ~DeleteConfirmation() = default;
    // Asks whether the file at path is to be deleted; the question shows the path followed by
    // "?".
    virtual DeleteAnswer Ask(const std::string& path) = 0;
};

struct FileOpsFrontEnd {
    UserAnswers& Answers;
    StatusLine& Status;
    ProgressDisplay& Progress;
    ListUpdates& Lists;
};

class TQV_FileOps {
public:
    // pwd holds the password the caller put there before each file; state holds the busy bits,
    // TargetExisted and AbortRequested; settings give the method and ShowCry.
    TQV_FileOps(TQV_Pwd& pwd, TQV_PrgState& state, const TQV_Settings& settings,
                FileOpsFrontEnd frontEnd);
    TQV_FileOps(const TQV_FileOps&) = delete;
    TQV_FileOps& operator=(const TQV_FileOps&) = delete;

    // Encrypts the plain file with list caption name in directory with the method setting: asks
    // before replacing name.cry, carries the permission bits over, wipes the plain file and moves
    // the entry to the crypted list, unless the lists show another directory by then. Every
    // outcome is reported to the user here. With passwords given, the password is filed there
    // under the plain file's full path once the crypted file is written and before the plain
    // file is wiped, so a file declined or failed leaves an older entry of that name alone.
    // With password given, the file is encrypted with that holder's password instead of the
    // current one.
    void EncrFile(const std::string& directory, const std::string& name,
                  TQV_PwdTable* passwords = nullptr, TQV_Pwd* password = nullptr);
    // Decrypts the crypted file with list caption name ("b" stands for b.cry, or b.CRY, while
    // ShowCry is off) in directory, deletes it and moves the entry to the plain list, under the
    // name the header stored when the plain file took it. Returns the outcome: Done with the
    // plain file's path when it was written. A password fetched from passwords under key
    // leaves that database once it has served (the plain file on disk, or the password proved
    // wrong), and stays when the decryption is cut short.
    CryptOutcome DecrFile(const std::string& directory, const std::string& name,
                          TQV_PwdTable* passwords = nullptr, const std::string& key = {});
    // The message box for an engine result code about the file of list caption name; the All
    // button of the wrong-password message sets AbortRequested, so the running list stops after
    // this file. Codes without a message show nothing.
    void ReportCryptResult(std::int32_t code, const std::string& name);
    // Wipes (or deletes plainly) the file at path, with the status messages; true when it is
    // gone. A wipe that fails is followed by a plain delete; when a file of the wipe's own names
    // was in its way, the user is told which one.
    bool EraseFile(const std::string& path, bool wipe);
    // The Delete command for the selected entries of a list, in list order: each file after the
    // delete confirmation (Delete, Delete all, Cancel, Cancel all), plain files wiped, crypted
    // files deleted. Refused with the please-wait message while any work is running.
    void FileDel(ListSide list, const std::vector<std::string>& selected, TQV_DirCryptor& work,
                 DeleteConfirmation& dialog);

private:
    class WindowSteps;

    // Tells that path was deleted without its wipe because blocker was in the wipe's way.
    void ShowWipeBlocked(const std::string& path, const std::string& blocker);
    // After one file: why it did not finish, or else the message when its source stays and the
    // move of its entry between the lists; replacedCaption names the entry of an output file
    // the user let it replace.
    void Conclude(const CryptOutcome& outcome, const std::string& dir, const std::string& name,
                  Direction direction, const std::string& replacedCaption);

    TQV_Pwd& pwd_;
    TQV_PrgState& state_;
    const TQV_Settings& settings_;
    FileOpsFrontEnd ui_;
};

} // namespace qv
