// Files handed to their applications: plain files simply opened or printed, crypted files
// decrypted first and watched in the table of open files, so that each is encrypted again (and
// so wiped) once its application has ended and no process holds it open any more.
#pragma once

#include "FileOps.h"
#include "FileRuns.h"
#include "SecureMemory.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qv {

class TQV_DirCryptor;
class TQV_PrgState;
class TQV_Pwd;
class TQV_PwdTable;
class UserAnswers;
struct OpenFileInfoR;
struct TQV_Settings;

// Written to the status line while an application is being started.
inline constexpr const char* RunningAppMessage =
    "執行聯合運用軟體..."; // running the associated application
// The error when no application could take a file; "%s" takes its full path.
inline constexpr const char* CannotHandOverMessage =
    "無法將它傳至這個操作的介面來為個別運用之軟體,為這個檔案 %s ."; // cannot hand the file over
// Told while a closed file waits because another process still has it open.
inline constexpr const char* StillHeldMessage =
    "The file %s is still open in another program; it will be encrypted again when that "
    "program has closed it.";
// Told when a selection had to stop short because the table is full.
inline constexpr const char* TableFullMessage =
    "20 decrypted files are open in their applications; close one before opening another.";

// How the desktop starts applications for files.
class AppLauncher {
public:
    virtual ~AppLauncher() = default;
    // Hands the file at path, in directory, to the application for verb ("open" or "print").
    // Returns the process it started, a child of this process that the caller reaps, or -1 with
    // the reason in error.
    virtual pid_t Launch(const std::string& verb, const std::string& path,
                         const std::string& directory, std::string& error) = 0;
};

// The watcher's timer, which calls NotifyOpenFiles every 200 ms while it runs.
class WatchTimer {
public:
    virtual ~WatchTimer() = default;
    virtual void StartWatching() = 0;
    virtual void StopWatching() = 0;
};

struct OpenFilesFrontEnd {
    UserAnswers& Answers;
    StatusLine& Status;
    ProgressDisplay& Progress;
    ListSelection& Lists;
    WatchTimer& Timer;
};

class TQV_OpenFiles {
public:
    struct Parts {
        TQV_FileOps& Ops;
        TQV_FileRuns& Runs;
        TQV_PwdTable& Passwords; // the stored-password database
        TQV_Pwd& Pwd;            // the current password
        TQV_PrgState& State;     // holds the table
        const TQV_Settings& Settings;
        TQV_DirCryptor& Work;
    };

    TQV_OpenFiles(Parts parts, OpenFilesFrontEnd frontEnd);
    TQV_OpenFiles(const TQV_OpenFiles&) = delete;
    TQV_OpenFiles& operator=(const TQV_OpenFiles&) = delete;

    // Without a launcher every start fails.
    AppLauncher* Launcher = nullptr;

    // Starts the application for file with the status messages around it; the process, or -1.
    pid_t OpenAssociatedApp(const std::string& file, const std::string& directory,
                            const std::string& verb);

    // Open and Print on the plain list: each selected file handed to its application, not
    // watched.
    void ProcessCmd(const std::string& verb);
    // Hands file to its application without watching it (the help file); false when no
    // application took it.
    bool OpenUnwatched(const std::string& file, const std::string& directory,
                       const std::string& verb);
    // Starts the program argv[0] with its arguments without watching it (the browser); false
    // when it could not be started.
    bool StartUnwatched(const std::vector<std::string>& argv);
    // Open and Print on the crypted list: refused with the please-wait message while other work
    // runs; otherwise the selection is decrypted by a list run, as many files as the table has
    // room for, and each decrypted file is handed to its application and watched.
    void ProcessDecrCmd(const std::string& verb);
    // One file that has just been decrypted with the current password (the command line's
    // "/open" and "/print"): plainPath is the plain file's full path.
    void ProcessDecrCmd(const std::string& verb, const std::string& plainPath, bool fromDatabase);

    // Enters an opened file into the first free slot with the password it is to be encrypted
    // with again (masked, passwordLength bytes) and starts the watcher. False when the table is
    // full.
    bool CreateFileObject(const std::string& path, pid_t process, const SecureBytes& password,
                          std::int32_t passwordLength, bool fromDatabase);

    // One tick of the watcher: notes which applications have ended; unless other work is going
    // on, encrypts again each file whose application has ended and that no process holds open
    // any more; stops the timer once nothing is left to watch.
    void NotifyOpenFiles();

    std::int32_t Count() const;
    bool Full() const;

private:
    struct Opened {
        std::string Path;
        SecureBytes Password;
        std::int32_t PasswordLength = 0;
        bool FromDatabase = false;
    };
    Opened CurrentPassword(const std::string& path, bool fromDatabase) const;
    // Step 3 of opening crypted files: each decrypted file handed over and watched, or encrypted
    // again at once when no application took it.
    void OpenDecrypted(const std::string& verb, std::vector<Opened>& files);
    // A closed file: its slot freed and the file encrypted again with its password.
    void Reencrypt(OpenFileInfoR& slot);
    // Encrypts the plain file at path again with the masked password of length bytes, filing
    // the password in the database again when refile says so.
    void EncryptAgain(const std::string& path, const SecureBytes& masked, std::int32_t length,
                      bool refile);
    void UpdateTimer();

    Parts p_;
    OpenFilesFrontEnd ui_;
    std::vector<pid_t> unwatched_; // started for plain files; reaped when they end
    bool watching_ = false;        // a tick is running
    int heldWait_ = 0;             // ticks until files still held open are looked at again
};

} // namespace qv
