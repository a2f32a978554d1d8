// The stored-password database: the password of each file encrypted with the store choice on,
// kept in one file enciphered with IDEA under the master password, and handed back once, when
// that file is decrypted.
//
// File layout (all integers little-endian):
//   offset 0   4 bytes  "PT98"
//   offset 4   4 bytes  L, the length of the entry text (int32)
//   offset 8   4 bytes  UpdateCrc from 0 over all P padded plain bytes
//   offset 12  2 bytes  low 16 bits of UpdateCrc from 0 over the first n bytes of the key
//   offset 14  P bytes  the padded entry text, IDEA in CBC mode from an all-zero chaining value
// The entry text is every entry followed by CR LF; it is padded with 1 to 8 zero bytes to
// P = L + 8 - L mod 8. The 16-byte key is ExpandKey of the masked master password with
// n = its length, at most 16. An empty database is a 22-byte file.
#pragma once

#include "MasterPass.h"
#include "Pwd.h"
#include "PwdEntryList.h"
#include "SecureMemory.h"
#include "UserAnswers.h"

#include <cstdint>
#include <string>

namespace qv {

// Result codes of ReadDatabase and WriteDatabase.
enum DatabaseResult : std::int32_t {
    DatabaseOk = 0,
    DatabaseCannotOpen = -2,   // the file cannot be opened for reading (it does not exist, ...)
    DatabaseCannotCreate = -9, // the file cannot be created for writing
    DatabaseReadFailed = -10,  // reading the header or the data failed, or it is cut short
    DatabaseWrongKey = -11,    // wrong (or no) master password, or the data is damaged
    DatabaseNoMemory = -12,    // no memory for the buffers
    DatabaseNotPt98 = -13,     // the file does not begin with "PT98"
    DatabaseWriteFailed = -15, // writing failed (disk full or similar); the old file is kept
};

// The one message of the database, shown in an error box whenever a store or a retrieve fails.
inline constexpr const char* DatabaseErrorMessage =
    "Error occured while accessing database of passwords.";
// Shown when a password cannot be kept because its entry would not read back as one line.
inline constexpr const char* StoreRefusedMessage =
    "The password cannot be stored: it is empty, or the file's path or the password contains a "
    "line break or a zero byte.";

// The database file is processed in chunks of this many bytes.
inline constexpr std::size_t DatabaseChunkSize = 10240;

class TQV_PwdTable;

// How the master-password dialog was closed.
enum class MasterPwdAnswer {
    Ok,     // Confirm, after SubmitMasterPassword accepted the typed password
    Later,  // "do not use for now" (and Esc): the next store or retrieve asks again
    NotUse, // "do not use at all": the database is switched off
};

// The dialog that asks for the master password, or any other source of it (the command line
// reads it from the terminal, a file, a descriptor or the environment).
class MasterPasswordPrompt {
public:
    virtual ~MasterPasswordPrompt() = default;
    // Shows the dialog modally with both password boxes empty and returns how it was closed.
    // Its Confirm button hands the two typed texts to table.SubmitMasterPassword: an empty
    // answer closes the dialog with Ok, any other answer is shown in an error box with a single
    // OK button and the dialog stays open with its boxes as they were. A source that offers
    // only one box (the command line) asks twice while !table.MasterPass.DatabaseExists(), and
    // else passes the one text as both.
    virtual MasterPwdAnswer Ask(TQV_PwdTable& table) = 0;
};

// One instance for the run. Between operations Entries is empty: every store or retrieve reads
// the whole file, changes the list, rewrites the file and wipes the list again. Everything runs
// on the calling thread; the class is not re-entrant (MasterPass.ChunkDone must not start
// another store or retrieve).
//
// Typical use by the batch logic:
//   encrypting, when SavePassword is on, once the crypted file is written:
//                table.StorePassword(JoinPath(dir, plainName));
//   decrypting:  if (!table.RetrievePassword(JoinPath(dir, plainName))) PromptToDecrypt(...);
//
// Wiring in the desktop program's main window:
//   - MasterPass.Store, Dir, Expires and ExpireMinutes are loaded from the settings at start and
//     saved at exit; when Store is on, PromptForMasterPassword is called once at start-up.
//   - Prompt = the master-password dialog; MasterPass.ChunkDone = let window messages through.
//   - MasterPass.Events = the main window: StartMasterPwdTimer and StopMasterPwdTimer start and
//     stop MasterPwd_Timer (TQV_MasterPass::TimerIntervalMs), EnableMasterPwdExpireButton sets
//     MasterPwdExpire_Button, DatabaseSwitchedOff clears the program state's SavePassword.
//   - MasterPwd_TimerTimer calls MasterPass.Tick(); SetMasterPwdExpired (the button, a change of
//     the database settings) calls MasterPass.SetExpired().
// Without a window (the command line): MasterPass.Store = true and Dir as chosen, then either a
// Prompt that reads the password where it comes from and hands it to SubmitMasterPassword, or
// directly: SubmitMasterPassword(typed, confirmation) == "" and then MasterPass.Accept().
class TQV_PwdTable {
public:
    // currentPassword is the holder of the current password: a store files its password, a
    // successful retrieve replaces it. answers shows the database's error messages.
    TQV_PwdTable(TQV_Pwd& currentPassword, UserAnswers& answers);
    TQV_PwdTable(const TQV_PwdTable&) = delete;
    TQV_PwdTable& operator=(const TQV_PwdTable&) = delete;
    ~TQV_PwdTable();

    PwdEntryList Entries;                   // empty except during one operation
    TQV_MasterPass MasterPass;              // master password and database settings
    MasterPasswordPrompt* Prompt = nullptr; // without one, the master password is never asked

    // Files the current password under key (the plain file's full path), replacing the entry
    // of that key. Does nothing while MasterPass.Store is off, or when no master password is
    // held and the prompt gives none. Failures show DatabaseErrorMessage; a file that cannot be
    // read or deciphered is never overwritten. An entry that would not read back as one line
    // (CR, LF or a zero byte in the key or the password, or an empty password) is refused with
    // StoreRefusedMessage.
    void StorePassword(const std::string& key);
    // The same for the password of holder.
    void StorePassword(const std::string& key, const TQV_Pwd& holder);
    // When an entry for key exists: hands its password to the current-password holder (masked,
    // HasPassword untouched), removes the entry and returns true, also when the rewrite then
    // fails. Returns false at once while MasterPass.Store is off, and when no entry exists or
    // the database cannot be read (with DatabaseErrorMessage unless there is no file).
    bool RetrievePassword(const std::string& key);

    // The two halves of RetrievePassword, for callers that decrypt in between, so that a
    // decryption cut short (a kill, a full disk, a stop) never costs the file its password.
    // FetchPassword: when an entry for key exists, hands its password to the current-password
    // holder (masked, HasPassword untouched) and returns true; the entry stays. The same
    // conditions and messages as RetrievePassword otherwise.
    bool FetchPassword(const std::string& key);
    // ConsumePassword: the password of key has served (its file is decrypted and on disk, or it
    // proved not to open the file) and its entry goes, but only while the entry still holds the
    // password the holder has now: a password stored anew in the meantime stays. Reads and
    // rewrites the database, asking for the master password when none is held any more. False
    // when the database could not be read or rewritten (after DatabaseErrorMessage).
    bool ConsumePassword(const std::string& key);

    // Opens and checks the file (magic and key check). With loadEntries it also deciphers the
    // data, checks its checksum and adds the entries to Entries. A DatabaseResult.
    [[nodiscard]] std::int32_t ReadDatabase(bool loadEntries);
    // Rewrites the file from Entries: a complete new file, owner-only (mode 0600), flushed to
    // disk and moved into place; on failure the previous file is left as it was. A
    // DatabaseResult.
    [[nodiscard]] std::int32_t WriteDatabase();
    // Zeroes every entry, then empties Entries.
    void ClearEntries();

    // Asks Prompt for the master password and records the outcome: Ok holds the accepted
    // password (TQV_MasterPass::Accept: the expire button and the timer through
    // MasterPass.Events); Later forgets any held one; NotUse also switches Store off and tells
    // MasterPass.Events (DatabaseSwitchedOff). Without a Prompt nothing changes.
    void PromptForMasterPassword();
    // The Confirm button of the master-password dialog, given the bytes of its two boxes:
    // CheckMasterPasswordText, then the password is taken as the master password (masked) and
    // tested against the database with ReadDatabase(false). Returns "" when it is accepted, which
    // is every result but a wrong key check (also when there is no database yet), else the
    // message to show. HasPassword is set by PromptForMasterPassword once the dialog closes.
    std::string SubmitMasterPassword(const SecureBytes& first, const SecureBytes& second);

    // Zeroes a memory image in pieces of DatabaseChunkSize bytes from its start, then empties it.
    static void WipeStream(SecureBytes& image) noexcept;

private:
    enum class Loaded { Entries, NoFile, Failed };

    // Asks for the master password when none is held; true when one is held afterwards.
    bool HoldsMasterPassword();

    // ClearEntries and ReadDatabase(true); a failure other than a missing file wipes the entries
    // and shows the message.
    Loaded LoadForChange();
    // WriteDatabase, then ClearEntries; a failure shows the message and gives false.
    bool WriteAndClear();
    // Loads the database and hands key's password to the holder; with remove the entry goes
    // and the database is rewritten. The entries are cleared in every case.
    bool TakeEntry(const std::string& key, bool remove);
    // The 16-byte key from the master password and its 16-bit check; false when no master
    // password is held in a usable form.
    bool DeriveKey(SecureArray<std::uint8_t, 16>& key, std::uint16_t& check);

    TQV_Pwd& current_;
    UserAnswers& answers_;
    bool submitted_ = false; // SubmitMasterPassword accepted a password during this prompt
};

} // namespace qv
