// quorvane-cli's side of the stored-password database: where the database is, the master
// password from the terminal or another source, and the store and retrieve of one file's
// password, with every failure said on standard error.
#pragma once

#include "PasswordInput.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "UserAnswers.h"

#include <string>
#include <utility>

namespace qv::cli {

// The database used when --db does not name one: the "Dir" value of the registry file when the
// file can be read and the value is a text that is not empty, else $HOME/xwords.001. The
// registry is only read, never written. Made absolute (AbsolutePath).
std::string DefaultDatabaseLocation();

// The database's messages on standard error, each naming the file in hand; every question
// answers its first button, as nobody is there to choose another.
class ReportedAnswers : public UserAnswers {
public:
    explicit ReportedAnswers(std::string database) : database_(std::move(database)) {}

    std::string subject; // the file in hand, named before each message

    Button Ask(MessageKind kind, const std::string& text, unsigned buttons) override;
    // How many messages have been shown so far.
    unsigned Shown() const { return shown_; }

private:
    std::string database_;
    unsigned shown_ = 0;
};

// The database of one command. Open it first; Store and Retrieve work on the password held by
// the TQV_Pwd given to the constructor.
class StoredPasswords {
public:
    StoredPasswords(TQV_Pwd& holder, std::string path);

    const std::string& Path() const { return path_; }
    bool Exists() const { return table_.MasterPass.DatabaseExists(); }

    // Reads the master password from where request says, by the master-password dialog's rules:
    // 6 to 16 characters, and at a terminal typed twice while there is no database yet (from a
    // file, a descriptor or a variable the one text is taken, and becomes the master password
    // of the database the first store creates). An existing database must be one, must open
    // with this master password and must read back whole; a new one needs an existing folder.
    // False, with the reason in error, when any of that fails: nothing has been changed then.
    bool Open(const PasswordRequest& request, std::string& error);

    // Files the holder's password under key (a plain file's full path), replacing the key's
    // entry. False, after the reason was said under subject's name, when it was not filed.
    bool Store(const std::string& subject, const std::string& key);
    // When key has an entry: hands its password to the holder and returns true; the entry stays
    // until Consume. False when there is none, or the database cannot be read (said under
    // subject).
    bool Fetch(const std::string& subject, const std::string& key);
    // The password fetched for key has served (its file is decrypted and on disk, or the
    // password does not open it): its entry goes. False, after the reason was said under
    // subject's name, when the database could not be rewritten.
    bool Consume(const std::string& subject, const std::string& key);

private:
    std::string path_;
    ReportedAnswers answers_;
    TQV_PwdTable table_;
};

} // namespace qv::cli
