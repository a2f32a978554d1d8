// The master password: the holder that keeps it while the run goes on, its expiry, and the
// checks a typed master password must pass.
#pragma once

#include "Pwd.h"
#include "SecureMemory.h"

#include <cstddef>
#include <string>

namespace qv {

// The messages of the master-password dialog. The trailing blanks belong to the texts.
inline constexpr const char* MasterPwdTooShortMessage =
    "太少密碼的字元符號輸入.        "; // too few password characters entered
inline constexpr const char* MasterPwdTooLongMessage =
    "太多密碼的字元符號輸入.         "; // too many password characters entered
inline constexpr const char* MasterPwdMismatchMessage =
    "證實失敗了.         "; // confirmation failed
inline constexpr const char* MasterPwdWrongMessage =
    "不正確無效的密碼."; // incorrect, invalid password

// A typed master password has 6 to 16 bytes (a character outside ASCII counts with the bytes of
// its UTF-8 form); letter case is significant.
inline constexpr std::size_t MasterPwdMinLength = 6;
inline constexpr std::size_t MasterPwdMaxLength = 16;

// The checks of the dialog's Confirm button that need no database: the length of the first box,
// then whether the two boxes hold the same bytes. Returns the message to show, or "" when the
// password is well formed.
std::string CheckMasterPasswordText(const SecureBytes& first, const SecureBytes& second);

// What the owner of the master-password timer and of the button that expires the master
// password does when the master password changes state. The desktop program's main window
// implements it with its 1000 ms MasterPwd_Timer and its MasterPwdExpire_Button; a program
// without them (the command line) leaves TQV_MasterPass::Events null.
class MasterPassEvents {
public:
    virtual ~MasterPassEvents() = default;
    // Start the one-second timer that calls TQV_MasterPass::Tick (restarting it when it runs).
    virtual void StartMasterPwdTimer() = 0;
    virtual void StopMasterPwdTimer() = 0;
    virtual void EnableMasterPwdExpireButton(bool enabled) = 0;
    // The user chose not to use the database at all: Store is now off, and the caller must
    // switch off its own "store each encryption password" flag (SavePassword) too.
    virtual void DatabaseSwitchedOff() = 0;
};

// Holds the master password (masked in Password, like every password the program holds) and
// the settings of the stored-password database. Owned by TQV_PwdTable.
//
// Inherited fields as the master password uses them: HasPassword (a master password is held),
// Expires (it expires), ExpireMinutes (its lifetime; 0 means only the button or a change of the
// database settings expires it), ExpiryTicks (one-second ticks since it was accepted) and
// PasswordExpired. ChunkDone, when set, is called after every 10240-byte chunk the database
// reads, so that the desktop program can let its window messages through.
class TQV_MasterPass : public TQV_Pwd {
public:
    static constexpr int TimerIntervalMs = 1000;

    bool Store = false; // the stored-password database is in use
    std::string Dir;    // full path of the database file; empty means DefaultDatabasePath()

    MasterPassEvents* Events = nullptr; // may stay null

    // The file the database lives in: Dir, or the default path when Dir is empty.
    std::string DatabasePath() const;
    // Whether something is at DatabasePath(). A new master password is typed twice while there
    // is no database yet, since nothing else can catch a typing error in it.
    bool DatabaseExists() const;

    // A master password has been accepted (the dialog closed with OK): it is held from now on and
    // is not expired. With Expires on the expire button is enabled, and with a lifetime above 0
    // minutes the tick count starts from 0 and the timer is started.
    void Accept();
    // One tick of the one-second timer: the master password expires on the tick at which the
    // count reaches 60 x ExpireMinutes.
    void Tick();
    // Expires the master password now (timer, button, or a change of the database settings):
    // the timer stops and the button is disabled. HasPassword stays as it is; the batch logic
    // forgets an expired master password at its next boundary.
    void SetExpired();
};

// $HOME/xwords.001; without HOME, the home folder of the user's account (getpwuid).
std::string DefaultDatabasePath();

} // namespace qv
