#include "Cli.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "ListEntries.h"
#include "OneFile.h"
#include "PasswordInput.h"
#include "Paths.h"
#include "ProcessGuard.h"
#include "Progress.h"
#include "Pwd.h"
#include "Report.h"
#include "Signals.h"
#include "StoredPasswords.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace qv::cli {

namespace {

constexpr const char* HelpText = R"(Usage: quorvane-cli encrypt [OPTIONS] FILE...
       quorvane-cli decrypt [OPTIONS] FILE.cry...
       quorvane-cli info FILE.cry...

Encrypts and decrypts whole files with a password, in Quorvane's crypted-file format
(".cry"), without a display.

Commands:
  encrypt   Write FILE.cry next to each FILE, then wipe FILE: it is overwritten once
            with random bytes and erased.
  decrypt   Write the plain file next to each FILE.cry, under the name stored in the
            crypted file when that is a plain file name not yet taken there (else
            under FILE.cry without ".cry"), then delete FILE.cry.
  info      Show the method, the plain size and the stored name of each crypted
            file. Needs no password.

Options:
  -m, --method METHOD     des, 3xdes or idea (encrypt only; default 3xdes).
  -k, --keep              Keep the source: do not wipe FILE after encrypting, do
                          not delete FILE.cry after decrypting.
  -f, --force             Replace an existing FILE.cry (encrypt) or plain file
                          (decrypt). Without it such a file is left alone and
                          reported as a failure. A stored name never replaces a file.
  -v, --verbose           Name every file written, on standard output.
      --password-file FILE
                          Read the password from FILE.
      --password-fd N     Read the password from file descriptor N (to its end).
      --password-env NAME Take the password from the environment variable NAME.
      --store             Use the database of stored passwords (below).
      --db FILE           The database to use with --store. Without it: the one the
                          desktop program is set to use ("Dir" in its settings),
                          else ~/xwords.001.
      --master-password-file FILE
      --master-password-fd N
      --master-password-env NAME
                          Read the database's master password from FILE, from file
                          descriptor N or from the environment variable NAME.
  -h, --help              Show this text.

The password:
  Without a password option it is typed at the terminal (/dev/tty) without echo,
  twice when encrypting. It is never taken from the command line, where other
  users of the machine could read it. From a file, a descriptor or a variable the
  bytes are taken as they are, except that one trailing newline ("\n" or "\r\n")
  is not part of the password. One password serves every file of the command.
  Letter case matters. Lengths in bytes:
    encrypting  DES 6 to 8, IDEA 6 to 16, 3xDES 6 to 24
    decrypting  6 to 24 (a longer password than the method's key takes counts
                only as far as the key reaches)

Stored passwords (--store):
  The database keeps each file's password under the file's full path,
  enciphered under a master password. It is the desktop program's database: a
  password stored by either program serves the other.
  encrypt --store  files each file's password once its FILE.cry is written,
                   before the plain file is wiped. A file whose password cannot
                   be filed fails: its plain file stays, and a FILE.cry that was
                   not there before is taken away again.
  decrypt --store  decrypts each file that has a stored password with it and
                   removes it from the database once the plain file is on
                   disk (also with --keep): a stored password serves once.
                   The other files take the password as usual; without a
                   password option it is typed at the terminal when the first
                   of them comes, so nothing is asked when every file has one.
                   A stored password that does not open its file (wrong, or
                   the file is damaged) is gone from the database afterwards;
                   when the file fails for any other reason (no room, Ctrl+C,
                   the command killed, ...) the password stays.
  The master password has 6 to 16 bytes. At a terminal it is typed twice
  while the database does not exist yet; encrypt --store then creates it,
  readable by its owner only. From a file, a descriptor or a variable it is
  taken as it is (one trailing newline is not part of it), and for a new
  database that text becomes its master password. A wrong master password, or
  a database that is damaged or is not one, ends the command before any file is
  touched. decrypt --store without a database needs no master password, says
  so, and decrypts with the password given.
  A file's full path is its folder as the shell names it ($PWD; symbolic links
  are not followed) joined with its name, so decrypt a file under the path it
  was encrypted with: a file that was moved or renamed is not found. A FILE.cry
  is found under FILE's path. Paths are compared without regard to letter case,
  so two files whose paths differ only in case share one entry.

Progress:
  While a file is processed, a bar with the throughput is shown on standard error
  when that is a terminal; nothing of the kind otherwise.

Failures:
  Each failure names the file and the reason on standard error; the remaining
  files are still processed. A failed file loses nothing: the source stays as it
  was, no partial output is left behind, and an existing file of the output's name
  is never harmed. Ctrl+C stops the file in hand the same way and ends the command.

Exit status:
  0    every file succeeded
  1    at least one file failed
  2    the command line, the password, the master password or the database
       was not usable; no file was touched
  128+N  stopped by signal N (130 for Ctrl+C)
)";

struct Options {
    std::string command;
    std::int32_t method = MethodTripleDes;
    bool methodGiven = false;
    bool keep = false;
    bool force = false;
    bool verbose = false;
    bool help = false;
    bool passwordGiven = false;
    PasswordRequest password;
    bool store = false;
    std::string database; // --db, "" for the default
    bool masterPasswordGiven = false;
    PasswordRequest masterPassword;
    std::vector<std::string> files;
};

bool MethodFromName(const std::string& name, std::int32_t& method) {
    const std::string lower = AsciiLower(name);
    if (lower == "des")
        method = MethodDes;
    else if (lower == "3xdes")
        method = MethodTripleDes;
    else if (lower == "idea")
        method = MethodIdea;
    else
        return false;
    return true;
}

// Whether name is one of the options that say where a password comes from, --password-file,
// --password-fd and --password-env, or the same three with --master-password- for the master
// password.
bool SourceOption(const std::string& name, bool& master, PasswordSource& source) {
    constexpr std::string_view MasterPrefix = "--master-";
    master = name.rfind(MasterPrefix, 0) == 0;
    const std::string option = master ? "--" + name.substr(MasterPrefix.size()) : name;
    if (option == "--password-file")
        source = PasswordSource::File;
    else if (option == "--password-fd")
        source = PasswordSource::Descriptor;
    else if (option == "--password-env")
        source = PasswordSource::Environment;
    else
        return false;
    return true;
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        error = "a command is needed: encrypt, decrypt or info";
        return false;
    }
    std::size_t i = 0;
    if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        o.help = true;
        return true;
    }
    if (args[0] != "encrypt" && args[0] != "decrypt" && args[0] != "info") {
        error = "unknown command \"" + args[0] + "\"; the commands are encrypt, decrypt and info";
        return false;
    }
    o.command = args[i++];

    // --password-file FILE and the like, and --master-password-file FILE and the like.
    auto setSource = [&](bool master, PasswordSource source, const std::string& value) {
        bool& given = master ? o.masterPasswordGiven : o.passwordGiven;
        if (given) {
            error =
                master ? "give the master password one way only" : "give the password one way only";
            return false;
        }
        given = true;
        (master ? o.masterPassword : o.password) = {source, value};
        return true;
    };
    bool onlyFiles = false;
    for (; i < args.size(); ++i) {
        std::string arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        // "--name=value" and "--name value", "-m value" and "-mvalue".
        std::string name = arg, value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                hasValue = true;
            }
        } else if (arg.size() > 2 && arg[1] == 'm') {
            name = "-m";
            value = arg.substr(2);
            hasValue = true;
        }
        bool master = false;
        PasswordSource source = PasswordSource::Terminal;
        const bool sourceOption = SourceOption(name, master, source);
        const bool takesValue =
            name == "-m" || name == "--method" || name == "--db" || sourceOption;
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        } else if (!takesValue && hasValue) {
            error = "option " + name + " takes no value";
            return false;
        }

        if (name == "-h" || name == "--help") {
            o.help = true;
        } else if (name == "-m" || name == "--method") {
            if (!MethodFromName(value, o.method)) {
                error = "unknown method \"" + value + "\"; the methods are des, 3xdes and idea";
                return false;
            }
            o.methodGiven = true;
        } else if (sourceOption) {
            if (!setSource(master, source, value))
                return false;
        } else if (name == "--store") {
            o.store = true;
        } else if (name == "--db") {
            if (value.empty()) {
                error = "--db needs the path of a file";
                return false;
            }
            o.database = value;
        } else if (name == "--keep") {
            o.keep = true;
        } else if (name == "--force") {
            o.force = true;
        } else if (name == "--verbose") {
            o.verbose = true;
        } else if (name[1] != '-' && name.find_first_not_of("kfv", 1) == std::string::npos) {
            // Short switches, alone or together: -k, -kfv
            for (std::size_t k = 1; k < name.size(); ++k)
                (name[k] == 'k' ? o.keep : name[k] == 'f' ? o.force : o.verbose) = true;
        } else {
            const bool password = name.rfind("--pass", 0) == 0 || name.rfind("--master", 0) == 0;
            error = "unknown option " + name +
                    (password ? " (a password is never taken from the command line)" : "");
            return false;
        }
    }
    if (o.help)
        return true;
    if (o.files.empty()) {
        error = "no file given";
        return false;
    }
    if (o.methodGiven && o.command != "encrypt") {
        error = "--method applies to encrypt only; a crypted file names its own method";
        return false;
    }
    if (o.command == "info" && (o.passwordGiven || o.keep || o.force || o.store ||
                                !o.database.empty() || o.masterPasswordGiven)) {
        error = "info takes no password and changes no file";
        return false;
    }
    if (!o.store && (!o.database.empty() || o.masterPasswordGiven)) {
        error = "--db and the master password options belong with --store";
        return false;
    }
    // A descriptor is read to its end and a variable is taken out of the environment once read,
    // so neither can give both passwords.
    if (o.passwordGiven && o.masterPasswordGiven && o.password.source == o.masterPassword.source &&
        o.password.source != PasswordSource::File &&
        o.password.argument == o.masterPassword.argument) {
        error =
            "the password and the master password cannot come from the same " +
            std::string(o.password.source == PasswordSource::Descriptor ? "file descriptor"
                                                                        : "environment variable");
        return false;
    }
    return true;
}

std::string ResultText(std::int32_t code, bool encrypting) {
    switch (code) {
    case CryptCannotOpenInput:
        return "cannot open the file for reading and writing";
    case CryptCannotCreateOutput:
        return "cannot create the output file in its folder";
    case CryptReadFailed:
        return encrypting ? "reading the file failed, or it changed while it was read"
                          : "the crypted file is cut short or cannot be read";
    case CryptWrongPassword:
        return "wrong password, or the file is damaged";
    case CryptNoMemory:
        return "out of memory";
    case CryptNotCrypted:
        return "not a crypted file (its header names no known method)";
    case CryptStopped:
        return "stopped; nothing was changed";
    case CryptWriteFailed:
        return "writing the output failed (is the disk full?); nothing was changed";
    case CryptTooLarge:
        return "too large for the crypted-file format, which holds at most " +
               std::to_string(MaxPlainSize) + " bytes";
    case CryptBadMethod:
        return "unknown method";
    default:
        return "failed with code " + std::to_string(code);
    }
}

// A name as text for a message: bytes outside printable ASCII as \xNN.
std::string Printable(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || b == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// The password given for the command: read before the first file, or, when decrypting with
// stored passwords, when the first file without a stored one comes. It is asked for once: a
// failure is remembered and serves every later file.
class GivenPassword {
public:
    GivenPassword(TQV_Pwd& pwd, const PasswordRequest& request, PasswordRules rules)
        : pwd_(pwd), request_(request), rules_(std::move(rules)) {}

    // Makes pwd hold the password; false, with the reason in error, when there is none.
    bool Obtain(std::string& error) {
        if (!tried_) {
            tried_ = true;
            SecureBytes password;
            if (ReadPassword(request_, rules_, password, error_)) {
                pwd_.SetTypedPassword(password.data(), password.size());
                pwd_.HasPassword = true;
            }
        }
        error = error_;
        return pwd_.HasPassword;
    }

private:
    TQV_Pwd& pwd_;
    const PasswordRequest& request_;
    PasswordRules rules_;
    bool tried_ = false;
    std::string error_;
};

// Runs the shared one-file operations for the command's files: answers their questions from the
// options, gets each file's password (from the database first, when decrypting with --store),
// shows the progress bar, files passwords, and turns every outcome into a line on standard error.
class Runner : public CryptFileSteps {
public:
    // pwd holds the password given; stored receives a password taken from the database, which
    // is null without --store.
    Runner(const Options& o, GivenPassword& given, TQV_Pwd& pwd, TQV_Pwd& stored,
           StoredPasswords* database)
        : o_(o), given_(given), pwd_(pwd), stored_(stored), database_(database) {
        for (TQV_Pwd* holder : {&pwd_, &stored_}) {
            holder->AbortRequested = &stop_;
            holder->Progress = &blocks_;
            holder->ChunkDone = [this] {
                if (StopSignal() != 0)
                    stop_ = true;
                bar_.Update();
            };
        }
    }

    bool Encrypt(const std::string& path) {
        Begin(path, Direction::Encrypt);
        const std::string target = path + CryptExtension;
        const CryptOutcome outcome = EncryptOne(
            path, o_.method, o_.keep ? SourceDisposal::Keep : SourceDisposal::Wipe, *this);
        if (outcome.Status != CryptStatus::Done)
            return Failed(outcome, target);
        if (o_.verbose)
            std::printf("encrypted %s -> %s%s\n", path.c_str(), target.c_str(),
                        database_ ? " (password stored)" : "");
        if (!o_.keep && !outcome.SourceErased)
            return Fail(path, "encrypted to " + target +
                                  ", but the plain file could not be wiped; it is still there" +
                                  (outcome.WipeBlockedBy.empty()
                                       ? std::string()
                                       : ": " + WipeBlockedReason(outcome.WipeBlockedBy)));
        return true;
    }

    bool Decrypt(const std::string& path) {
        Begin(path, Direction::Decrypt);
        const std::string derived = DerivedPlainPath(path);
        const CryptOutcome outcome =
            DecryptOne(path, o_.keep ? SourceDisposal::Keep : SourceDisposal::Delete, *this);
        if (outcome.Status != CryptStatus::Done)
            return Failed(outcome, derived);
        const std::string plain = outcome.StoredName.empty()
                                      ? derived
                                      : JoinPath(DirectoryPart(derived), outcome.StoredName);
        if (o_.verbose)
            std::printf("decrypted %s -> %s%s\n", path.c_str(), plain.c_str(),
                        file_.fromDatabase ? " (stored password)" : "");
        if (!o_.keep && !outcome.SourceErased)
            return Fail(path, "decrypted to " + plain +
                                  ", but the crypted file could not be "
                                  "deleted");
        return true;
    }

    // An existing output is replaced only with --force.
    bool ReplaceExisting(const std::string&) override { return o_.force; }

    // The password given, or when decrypting with --store the file's stored password. A
    // crypted file's password is stored under its plain file's full path: its own path without
    // ".cry".
    TQV_Pwd* PasswordFor(const std::string& sourcePath) override {
        if (database_ && file_.direction == Direction::Decrypt) {
            file_.key = DerivedPlainPath(sourcePath);
            file_.fromDatabase = database_->Fetch(file_.path, file_.key);
            if (file_.fromDatabase)
                return &stored_;
        }
        if (!given_.Obtain(file_.error)) {
            file_.silent = StopSignal() != 0;
            if (database_ && file_.direction == Direction::Decrypt)
                file_.error = "no password is stored for it, and " + file_.error;
            return nullptr;
        }
        return &pwd_;
    }

    std::int32_t RunEngine(const std::function<std::int32_t()>& engine) override {
        bar_.Start(file_.path);
        const std::int32_t code = engine();
        bar_.Clear();
        return code;
    }

    // Decrypting with --store, a stored password leaves the database once the plain file is on
    // disk, or once it proved not to open the file; a decryption cut short keeps it. A database
    // that cannot be rewritten has said so; the file is decrypted all the same.
    void PasswordServed(const std::string&) override {
        if (file_.fromDatabase)
            database_->Consume(file_.path, file_.key);
    }

    // Encrypting with --store, the password is filed once FILE.cry is written and before the
    // plain file is wiped, and only for a file that is really encrypted: filing first would
    // replace the entry of an older FILE.cry even when this encryption then fails.
    bool OutputWritten(const std::string& outputPath, bool replaced) override {
        if (!database_ || file_.direction != Direction::Encrypt)
            return true;
        if (database_->Store(file_.path, AbsolutePath(file_.path)))
            return true;
        const std::string target = file_.path + CryptExtension;
        if (!replaced && unlink(outputPath.c_str()) == 0) {
            SyncDirectoryOf(outputPath);
            file_.error = "not encrypted, as its password could not be stored; nothing was changed";
        } else {
            file_.error = "encrypted to " + target +
                          ", but its password could not be stored; the plain file was kept";
        }
        return false;
    }

private:
    // What the steps learn about the file in hand.
    struct FileInHand {
        std::string path; // as given
        Direction direction = Direction::Encrypt;
        std::string error;         // why there is no password, or why the output was withdrawn
        bool silent = false;       // stopped at the password prompt: nothing more to say
        bool fromDatabase = false; // decrypting with the file's stored password
        std::string key;           // its key in the database
    };

    void Begin(const std::string& path, Direction direction) {
        file_ = FileInHand();
        file_.path = path;
        file_.direction = direction;
    }

    // The line for an operation that did not finish; output is the output's path as given.
    bool Failed(const CryptOutcome& outcome, const std::string& output) {
        const std::string& path = file_.path;
        const bool encrypting = file_.direction == Direction::Encrypt;
        switch (outcome.Status) {
        case CryptStatus::SourceMissing:
            return Fail(path, "no such file");
        case CryptStatus::NotAFile:
            // The output would land beside a link, and wiping the link would empty the file it
            // points to.
            return Fail(path, IsSymbolicLink(outcome.SourcePath)
                                  ? "a symbolic link; give the file it points to"
                                  : "not a regular file");
        case CryptStatus::NotCryptedName:
            return Fail(path, "not a crypted file name: it must end in .cry");
        case CryptStatus::Declined:
            return Fail(path, output + " already exists; --force replaces it");
        case CryptStatus::NoPassword:
            return file_.silent ? false : Fail(path, file_.error);
        case CryptStatus::Withdrawn:
            return Fail(path, file_.error);
        case CryptStatus::Failed:
            if (file_.fromDatabase)
                return FailWithStoredPassword(path, outcome.Code);
            return Fail(path, ResultText(outcome.Code, encrypting));
        case CryptStatus::Done:
            break;
        }
        return true;
    }

    bool Fail(const std::string& path, const std::string& message) {
        bar_.Clear();
        Report(path, message);
        return false;
    }

    // A decryption with a stored password failed. One that does not open the file has left the
    // database; after any other failure (no room, a stop, a file that vanished) it is still
    // there for the next try.
    bool FailWithStoredPassword(const std::string& path, std::int32_t code) {
        if (code == CryptWrongPassword)
            return Fail(path, "its stored password does not open it (wrong password, or the file "
                              "is damaged); that password is no longer in the database");
        return Fail(path, ResultText(code, false) + "; its stored password stays in the database");
    }

    const Options& o_;
    GivenPassword& given_;
    TQV_Pwd& pwd_;
    TQV_Pwd& stored_;
    StoredPasswords* database_;
    CryptProgress blocks_;
    ProgressBar bar_{blocks_};
    bool stop_ = false;
    FileInHand file_;
};

bool Info(const std::string& path, bool first) {
    CryptHeader header;
    const std::int32_t code = InspectCryptFile(path, header);
    switch (code) {
    case CryptOk:
        break;
    case CryptCannotOpenInput:
        Report(path, PathExists(path) ? "cannot be read as a file" : "no such file");
        return false;
    case CryptReadFailed:
        Report(path, "not a crypted file: it ends inside the header");
        return false;
    case CryptWrongPassword:
        Report(path, "damaged: the plain size in the header does not fit the data");
        return false;
    default:
        Report(path, ResultText(code, false));
        return false;
    }
    std::string stored;
    if (header.HeaderBytes == ShortHeaderBytes) {
        stored = "(none: this older format stores no name)";
    } else if (header.NameLength == 0) {
        stored = "(none)";
    } else if (header.NameLength > MaxStoredNameLength) {
        stored = "(none: the name field is damaged)";
    } else if (const std::string name = header.StoredName(); !IsPlainFileName(name)) {
        // Appended rather than `"\"" + text`, whose inlined insertion at the front GCC 12
        // wrongly warns about (-Wrestrict).
        stored.assign(1, '"');
        stored += Printable(name);
        stored += "\" (not used: not a plain file name)";
    } else {
        stored = Printable(name);
    }
    std::printf("%s%s\n  method:      %s (%s)\n  plain size:  %d bytes\n  stored name: %s\n",
                first ? "" : "\n", path.c_str(), MethodName(header.Method).c_str(),
                MagicOfMethod(header.Method), header.PlainSize, stored.c_str());
    return true;
}

PasswordRules RulesFor(const Options& o) {
    PasswordRules rules;
    if (o.command == "encrypt") {
        rules.maximum = KeyBytesOfMethod(o.method);
        rules.confirm = true;
        rules.description =
            MethodName(o.method) + ", 6 to " + std::to_string(rules.maximum) + " characters";
    } else {
        rules.maximum = 24;
        rules.description = "6 to 24 characters";
    }
    return rules;
}

int Stopped(int signal) {
    Report("", "interrupted; the remaining files were not processed");
    return 128 + signal;
}

} // namespace

int RunCli(int argc, char** argv) {
    // A core dump, or another process of the user looking in, would find the password.
    DisableCoreDumps();
    // A file-size limit fails the file in hand like a full disk; it does not kill the command.
    SurviveFileSizeLimit();

    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) {
        Report("", error);
        std::fprintf(stderr, "Try '%s --help' for more information.\n", Program);
        return 2;
    }
    if (o.help) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    InstallStopHandlers();

    if (o.command == "info") {
        bool allOk = true;
        for (std::size_t i = 0; i < o.files.size(); ++i)
            allOk = Info(o.files[i], i == 0) && allOk;
        return allOk ? 0 : 1;
    }

    TQV_Pwd pwd;    // the password given for the command
    TQV_Pwd stored; // decrypting: the password taken from the database for the file in hand
    std::optional<StoredPasswords> database;
    if (o.store) {
        const std::string path =
            o.database.empty() ? DefaultDatabaseLocation() : AbsolutePath(o.database);
        database.emplace(o.command == "encrypt" ? pwd : stored, path);
        if (o.command == "decrypt" && !database->Exists()) {
            // Nothing to take from it and nothing to put into it: no master password is asked.
            Report(path, "there is no database of stored passwords; the files are decrypted "
                         "with the password given");
            database.reset();
        } else if (!database->Open(o.masterPassword, error)) {
            if (StopSignal() != 0)
                return Stopped(StopSignal());
            Report("", error);
            return 2;
        }
    }

    GivenPassword given(pwd, o.password, RulesFor(o));
    // Decrypting with stored passwords, the terminal is asked only for a file without one;
    // any other source is read now, so that a password that cannot be used touches no file.
    const bool askWhenNeeded = database && o.command == "decrypt" && !o.passwordGiven;
    if (!askWhenNeeded && !given.Obtain(error)) {
        if (StopSignal() != 0)
            return Stopped(StopSignal());
        Report("", error);
        return 2;
    }

    Runner runner(o, given, pwd, stored, database ? &*database : nullptr);
    bool allOk = true;
    for (const std::string& file : o.files) {
        if (StopSignal() != 0)
            break;
        allOk = (o.command == "encrypt" ? runner.Encrypt(file) : runner.Decrypt(file)) && allOk;
    }
    std::fflush(stdout);
    if (StopSignal() != 0)
        return Stopped(StopSignal());
    return allOk ? 0 : 1;
}

} // namespace qv::cli
