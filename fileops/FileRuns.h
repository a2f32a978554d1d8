// Runs over many files: the selected entries of a list (a list run), or every folder of a
// directory tree (a tree run), each file through its password and the single-file operations,
// with the stop command and the Cancel all button ending a run early. The runs reach the window
// only through the interfaces below, so they run the same over real folders with scripted
// answers in tests.
#pragma once

#include "FileOps.h"
#include "ListEntries.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {

class TQV_DirCryptor;
class TQV_PasswordPrompts;
class TQV_PrgState;
class TQV_Pwd;
class TQV_PwdExpiry;
class TQV_PwdTable;
class UserAnswers;
struct TQV_Settings;

// The two lists as a run takes its files from them.
class ListSelection : public ListUpdates {
public:
    // The captions of the list's selected entries, in list order.
    virtual std::vector<std::string> SelectedCaptions(ListSide list) const = 0;
    virtual void SelectAllItems(ListSide list) = 0;
    virtual void DeselectAllItems(ListSide list) = 0;
};

// The directory tree as a tree run moves through it.
class DirectoryWalk {
public:
    virtual ~DirectoryWalk() = default;
    // The folder the tree shows.
    virtual std::string TreeDirectory() const = 0;
    // Shows directory in the tree and its files in the lists. False, with the reason, when it
    // cannot be entered; the tree then stays where it was.
    virtual bool EnterDirectory(const std::string& directory, std::string& reason) = 0;
    // The tree and the drive box, disabled during a tree run.
    virtual void EnableTree(bool enabled) = 0;
    // Lets the window's pending events through: the stop button acts there.
    virtual void LetMessagesThrough() = 0;
    // Reads the lists again with their details, after a run that listed new files without.
    virtual void ReReadLists() = 0;
};

struct RunFrontEnd {
    UserAnswers& Answers;
    StatusLine& Status;
    ProgressDisplay& Progress;
    ListSelection& Lists;
    DirectoryWalk& Tree;
};

// The stop command's question while a file is being encrypted or decrypted.
inline constexpr const char* StopQuestion =
    "你真的要取消這個程序?                    "; // do you really want to cancel this process?
// The tree run's question whether the subdirectories are included.
inline constexpr const char* RecurseQuestion = "遞迴次目錄?            "; // recurse?
// The status line of a tree run between folders.
inline constexpr const char* ProcessingFoundMessage =
    "處理尋找的檔案...             "; // processing the found files

class TQV_FileRuns {
public:
    struct Parts {
        TQV_FileOps& Ops;
        TQV_PasswordPrompts& Prompts;
        TQV_PwdTable& Passwords; // the stored-password database
        TQV_Pwd& Pwd;            // the current password
        TQV_PwdExpiry& Expiry;
        TQV_PrgState& State;
        const TQV_Settings& Settings;
        TQV_DirCryptor& Work;
    };

    TQV_FileRuns(Parts parts, RunFrontEnd frontEnd);
    TQV_FileRuns(const TQV_FileRuns&) = delete;
    TQV_FileRuns& operator=(const TQV_FileRuns&) = delete;

    // The Encrypt and Decrypt commands on the selection of the plain or the crypted list;
    // refused with the please-wait message while other work is going on.
    void EncrFileList();
    void DecrFileList();
    void FileList(Direction direction);

    // The selected entries of the direction's list, each after its password: a stored one when
    // decrypting, else the dialog's (which may reuse a held one). Cancel skips a file, Cancel all
    // ends the run, and so does a stop. On its own it is a whole run with its bookkeeping
    // (stop button, progress bars, passwords' retention); inside a tree run it leaves that to
    // the tree run.
    void ProcessFileList(Direction direction);
    // Told of each file a list run has decrypted: the outcome, and whether its password came
    // from the database. The current password is the one the file was decrypted with. False
    // ends the run after this file.
    using Decrypted = std::function<bool(const CryptOutcome& outcome, bool fromDatabase)>;
    // A decrypting list run that tells decrypted of each file it decrypted.
    void ProcessFileList(Direction direction, const Decrypted& decrypted);

    // Encrypt all or Decrypt all from the directory tree: asks whether the subdirectories are
    // included, then runs over the folder the tree shows and, on Yes, every folder below it,
    // depth-first in the order of their sorted names. Symbolic links to folders and pseudo file
    // systems are not entered; a folder that cannot be entered is skipped and named at the end.
    void DoForAll(Direction direction);
    // One folder of a tree run, the one the tree shows: its files, then with recurse each
    // subdirectory with everything below it, until a stop.
    void ProcessDirectory(Direction direction, bool recurse);

    // The stop button: while a file is being encrypted or decrypted only after the question,
    // otherwise at once. The run ends after the file in hand.
    void StopProcess();

private:
    void Walk(Direction direction, bool recurse, const std::string& directory);
    // The retention rule at a run's start and end: a password typed for the run alone, or one
    // that has expired, is not kept.
    void StartPasswords();
    void EndPasswords();
    // The end of a run for the window: bars hidden, stop button and expire buttons.
    void EndForWindow();

    Parts p_;
    RunFrontEnd ui_;
    // A stored password was handed to the current password during this run.
    bool storedPasswordUsed_ = false;
    std::vector<std::string> skipped_; // folders of this tree run that could not be entered
};

} // namespace qv
