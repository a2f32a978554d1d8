// The desktop program's command line: file names and switches, processed once at start-up.
// Each plain file named is encrypted, each crypted file named is decrypted and, after "/open" or
// "/print", handed to its application; switches choose the method for the following files and
// give the password, the master password and the use of the database of stored passwords.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class TQV_DirCryptor;
class TQV_FileOps;
class TQV_OpenFiles;
class TQV_PasswordPrompts;
class TQV_PrgState;
class TQV_Pwd;
class TQV_PwdExpiry;
class TQV_PwdTable;
class UserAnswers;
struct TQV_Settings;

// The arguments after the program's name, as the shell split them, and the folder the program
// was started in, against which relative names are taken. The texts are zeroed when it goes.
class CommandArguments {
public:
    CommandArguments() = default;
    CommandArguments(std::vector<std::string> items, std::string baseDirectory,
                     std::vector<const char*> origins = {});
    CommandArguments(const CommandArguments&) = delete;
    CommandArguments& operator=(const CommandArguments&) = delete;
    CommandArguments(CommandArguments&&) = default;
    CommandArguments& operator=(CommandArguments&&);
    ~CommandArguments();

    const std::vector<std::string>& Items() const { return items_; }
    // Keeps the arguments still in argv[1...] after a library took its own options out of the
    // array argv they were taken from.
    void KeepThoseIn(int argc, char** argv);
    const std::string& BaseDirectory() const { return baseDirectory_; }

private:
    void Wipe();

    std::vector<std::string> items_;
    std::vector<const char*> origins_; // each item's text in the original argv
    std::string baseDirectory_;
};

// Takes argv[1...] and the current folder, then overwrites the password text of every "/pass:"
// and "/masterpass:" argument in argv itself with zero bytes, so that the process list of the
// system no longer shows it.
CommandArguments TakeArguments(int argc, char** argv);

// path with its last component as the directory search reports it: unchanged when a file of
// exactly that name exists; for a name with wildcard characters ("*", "?", "[") that matches no
// file exactly, the first matching name in sorted order; otherwise unchanged.
std::string ResolveLongName(const std::string& path);

class TQV_CommandLine {
public:
    struct Parts {
        TQV_FileOps& Ops;
        TQV_OpenFiles& OpenFiles;
        TQV_PasswordPrompts& Prompts;
        TQV_PwdTable& Passwords; // the stored-password database and the master password
        TQV_Pwd& Pwd;            // the current password
        TQV_PwdExpiry& Expiry;
        TQV_PrgState& State;
        TQV_Settings& Settings; // Method changes for the run and is put back after it
        TQV_DirCryptor& Work;
    };

    TQV_CommandLine(Parts parts, UserAnswers& answers);
    TQV_CommandLine(const TQV_CommandLine&) = delete;
    TQV_CommandLine& operator=(const TQV_CommandLine&) = delete;

    // Works through the arguments in their order. Returns false when there were none; true
    // when there were, and the program is to end unless a decrypted file is open in an
    // application. A folder of an argument that cannot be entered ends the processing with an
    // error naming it. Method and the use of the database are as before afterwards.
    bool ProcessParameters(const CommandArguments& arguments);

private:
    // The password text of argument from start on becomes holder's password.
    void TakePassword(TQV_Pwd& holder, const std::string& argument, std::size_t start);
    // One file argument, with the pending command ("" or "/open", "/print", ...). False when
    // its folder cannot be entered.
    bool ProcessFile(const std::string& argument, const std::string& baseDirectory,
                     const std::string& pending);
    void Encrypt(const std::string& directory, const std::string& name);
    void Decrypt(const std::string& directory, std::string name, const std::string& pending);

    Parts p_;
    UserAnswers& answers_;
};

} // namespace qv
