#include "Cli.h"

#include "CryptFile.h"
#include "FileBatch.h"
#include "FileListBox.h"
#include "FileSystem.h"
#include "FolderWalk.h"
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

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::cli {

namespace {

constexpr const char* HelpText = R"(Usage: quorvane-cli encrypt [OPTIONS] FILE...
       quorvane-cli decrypt [OPTIONS] FILE.cry...
       quorvane-cli test [OPTIONS] FILE.cry...
       quorvane-cli info FILE.cry...

Encrypts and decrypts whole files with a password, in Quorvane's crypted-file format
(".cry"), without a display.

Commands:
  encrypt   Write FILE.cry next to each FILE, then wipe FILE: it is overwritten once
            with random bytes and erased.
  decrypt   Write the plain file next to each FILE.cry, under the name stored in the
            crypted file when that is a plain file name not yet taken there (else
            under FILE.cry without ".cry"), then delete FILE.cry.
  test      Check that the password opens each crypted file and that its data
            match the checksum in its header, writing nothing: for old archives
            and backups.
  info      Show the method, the plain size and the stored name of each crypted
            file. Needs no password.

Options:
  -m, --method METHOD     des, 3xdes or idea (encrypt only; default 3xdes).
  -k, --keep              Keep the source: do not wipe FILE after encrypting, do
                          not delete FILE.cry after decrypting.
  -f, --force             Replace an existing FILE.cry (encrypt) or plain file
                          (decrypt). Without it such a file is left alone and
                          reported as a failure. A stored name never replaces a file.
  -r, --recursive         Also take folders: each folder named is walked, its own
                          files first, then each subfolder with everything below
                          it, in the order of their names (letters without regard
                          to case). encrypt takes every file whose name does not
                          end in .cry (in any letter case), decrypt and test every
                          .cry file. Symbolic links are not followed and pseudo
                          file systems (/proc, /sys, ...) not entered; a folder
                          that cannot be read is reported and skipped, and the
                          command ends with status 1.
  -j, --jobs N            Work with N workers at once (default: the number of
                          processors). A worker takes one file after the
                          other; encrypting small files, it enciphers up to
                          256 of them side by side, which is faster than one
                          at a time and gives the same crypted files.
  -v, --verbose           Name every file written (test: every file that opens),
                          on standard output.
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
    decrypting and testing  6 to 24 (a longer password than the method's key
                takes counts only as far as the key reaches)

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
  When standard error is a terminal, one line there shows how many files are
  done of how many, the megabytes done of all, the throughput and the time
  left; nothing of the kind otherwise.

Safety on disk:
  The files are worked on in batches. The outputs of a batch are written and
  made durable together (one flush of each file system), and only then are the
  plain files of the batch wiped (encrypt) or the crypted files deleted
  (decrypt); the overwrites of the wipe are flushed together as well. A crash
  or a power cut at any moment leaves every file in at least one complete copy.

Failures:
  Each failure names the file and the reason on standard error; the remaining
  files are still processed. A failed file loses nothing: the source stays as it
  was, no partial output is left behind, and an existing file of the output's name
  is never harmed. Ctrl+C stops the files in hand the same way; the files already
  written are finished (made durable, then their sources wiped or deleted), and
  the command ends.

Exit status:
  0    every file succeeded (test: every file opens with the password and its
       data match their checksum)
  1    at least one file failed, or a folder could not be read
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
    bool recursive = false;
    unsigned jobs = 0; // 0: one for each processor
    bool help = false;
    bool passwordGiven = false;
    PasswordRequest password;
    bool store = false;
    std::string database; // --db, "" for the default
    bool masterPasswordGiven = false;
    PasswordRequest masterPassword;
    std::vector<std::string> files;
};

// More workers than this only queue for the disk.
constexpr unsigned MaxJobs = 256;

bool JobsFromText(const std::string& text, unsigned& jobs) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned n = static_cast<unsigned>(std::stoul(text));
    if (n < 1 || n > MaxJobs)
        return false;
    jobs = n;
    return true;
}

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
        error = "a command is needed: encrypt, decrypt, test or info";
        return false;
    }
    std::size_t i = 0;
    if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        o.help = true;
        return true;
    }
    if (args[0] != "encrypt" && args[0] != "decrypt" && args[0] != "test" && args[0] != "info") {
        error =
            "unknown command \"" + args[0] + "\"; the commands are encrypt, decrypt, test and info";
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
        } else if (arg.size() > 2 && (arg[1] == 'm' || arg[1] == 'j')) {
            name = arg.substr(0, 2);
            value = arg.substr(2);
            hasValue = true;
        }
        bool master = false;
        PasswordSource source = PasswordSource::Terminal;
        const bool sourceOption = SourceOption(name, master, source);
        const bool takesValue = name == "-m" || name == "--method" || name == "-j" ||
                                name == "--jobs" || name == "--db" || sourceOption;
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
        } else if (name == "--recursive") {
            o.recursive = true;
        } else if (name == "-j" || name == "--jobs") {
            if (!JobsFromText(value, o.jobs)) {
                error = "--jobs needs a number of files from 1 to " + std::to_string(MaxJobs);
                return false;
            }
        } else if (name[1] != '-' && name.find_first_not_of("kfvr", 1) == std::string::npos) {
            // Short switches, alone or together: -k, -kfv, -rv
            for (std::size_t k = 1; k < name.size(); ++k)
                (name[k] == 'k'   ? o.keep
                 : name[k] == 'f' ? o.force
                 : name[k] == 'r' ? o.recursive
                                  : o.verbose) = true;
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
    if (o.command == "info" &&
        (o.passwordGiven || o.keep || o.force || o.store || !o.database.empty() ||
         o.masterPasswordGiven || o.recursive || o.jobs != 0)) {
        error = "info takes no password and changes no file";
        return false;
    }
    if (o.command == "test" &&
        (o.keep || o.force || o.store || !o.database.empty() || o.masterPasswordGiven)) {
        error = "test changes no file and takes the password given; --keep, --force and "
                "--store do not apply";
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
// failure is remembered and serves every later file. The workers ask for it at once; the
// first one reads it while the others wait.
class GivenPassword {
public:
    GivenPassword(TQV_Pwd& pwd, const PasswordRequest& request, PasswordRules rules,
                  RunProgress& progress)
        : pwd_(pwd), request_(request), rules_(std::move(rules)), progress_(progress) {}

    // Makes pwd hold the password; false, with the reason in error, when there is none.
    bool Obtain(std::string& error) {
        const std::lock_guard lock(mutex_);
        if (!tried_) {
            tried_ = true;
            // Nothing is drawn over the prompt while the password is typed.
            const auto quiet = progress_.Pause();
            SecureBytes password;
            if (ReadPassword(request_, rules_, password, error_)) {
                pwd_.SetTypedPassword(password.data(), password.size());
                pwd_.HasPassword = true;
            }
        }
        error = error_;
        return pwd_.HasPassword;
    }

    // Gives holder the password obtained.
    void CopyTo(TQV_Pwd& holder) {
        const std::lock_guard lock(mutex_);
        CopyPassword(pwd_, holder);
    }

    static void CopyPassword(const TQV_Pwd& from, TQV_Pwd& to) {
        const SecureBytes typed = from.TypedPassword();
        to.SetTypedPassword(typed.data(), typed.size());
        to.HasPassword = from.HasPassword;
    }

private:
    std::mutex mutex_;
    TQV_Pwd& pwd_;
    const PasswordRequest& request_;
    PasswordRules rules_;
    RunProgress& progress_;
    bool tried_ = false;
    std::string error_;
};

// What the files of one command share: the options, the password given, the database and the
// progress line.
struct Command {
    const Options& o;
    Direction direction;
    bool testing; // the test command: decipher and check, write nothing
    GivenPassword& given;
    TQV_Pwd& stored; // the database's holder of a password taken from it
    StoredPasswords* database;
    std::mutex databaseLock;
    RunProgress& progress;
};

// The engine's holders of one worker, which works on one file at a time.
struct Worker {
    TQV_Pwd pwd;    // the password given
    TQV_Pwd stored; // decrypting with --store: the stored password of the file in hand
    bool stop = false;
    unsigned number = 0;
};

// One file of the command: answers the one-file operation's questions from the options, gets
// the file's password (from the database first, when decrypting with --store), files
// passwords, and turns the outcome into a line on standard error.
class FileJob : public CryptFileSteps {
public:
    FileJob(Command& command, Worker& worker, std::string path, std::size_t index)
        : c_(command), worker_(worker), path_(std::move(path)), index_(index) {}

    // The progress line counts the file as done once the engine is through with it; its batch
    // finishes it later.
    std::int32_t RunEngine(const std::function<std::int32_t()>& engine) override {
        const std::int32_t code = engine();
        // The file's blocks now count as a whole file. Only the worker's own thread touches its
        // counter: by the time the batch finishes this file, the worker may be on another.
        c_.progress.Blocks(worker_.number).Start(0);
        Counted();
        return code;
    }

    // Counts the file in the progress line, once.
    void Counted() {
        if (counted_)
            return;
        counted_ = true;
        c_.progress.FileDone(index_);
        c_.progress.Update();
    }

    // An existing output is replaced only with --force.
    bool ReplaceExisting(const std::string&) override { return c_.o.force; }

    // The password given, or when decrypting with --store the file's stored password. A
    // crypted file's password is stored under its plain file's full path: its own path without
    // ".cry".
    TQV_Pwd* PasswordFor(const std::string& sourcePath) override {
        if (c_.database && c_.direction == Direction::Decrypt) {
            key_ = DerivedPlainPath(sourcePath);
            const std::lock_guard lock(c_.databaseLock);
            fromDatabase_ = c_.database->Fetch(path_, key_);
            if (fromDatabase_) {
                GivenPassword::CopyPassword(c_.stored, worker_.stored);
                return &worker_.stored;
            }
        }
        if (!c_.given.Obtain(error_)) {
            silent_ = StopSignal() != 0;
            if (c_.database && c_.direction == Direction::Decrypt)
                error_ = "no password is stored for it, and " + error_;
            return nullptr;
        }
        if (!worker_.pwd.HasPassword)
            c_.given.CopyTo(worker_.pwd);
        return &worker_.pwd;
    }

    // Decrypting with --store, a stored password leaves the database once the plain file is on
    // disk, or once it proved not to open the file; a decryption cut short keeps it. A database
    // that cannot be rewritten has said so; the file is decrypted all the same.
    void PasswordServed(const std::string&) override {
        if (!fromDatabase_)
            return;
        const std::lock_guard lock(c_.databaseLock);
        c_.database->Consume(path_, key_);
    }

    // Encrypting with --store, the password is filed once FILE.cry is written and on disk and
    // before the plain file is wiped, and only for a file that is really encrypted: filing
    // first would replace the entry of an older FILE.cry even when this encryption then fails.
    bool OutputWritten(const std::string& outputPath, bool replaced) override {
        if (!c_.database || c_.direction != Direction::Encrypt)
            return true;
        {
            const std::lock_guard lock(c_.databaseLock);
            if (c_.database->Store(path_, AbsolutePath(path_)))
                return true;
        }
        const std::string target = path_ + CryptExtension;
        if (!replaced && unlink(outputPath.c_str()) == 0) {
            SyncDirectoryOf(outputPath);
            error_ = "not encrypted, as its password could not be stored; nothing was changed";
        } else {
            error_ = "encrypted to " + target +
                     ", but its password could not be stored; the plain file was kept";
        }
        return false;
    }

    // The test command: the file is deciphered and checked, nothing is written.
    CryptOutcome Test() {
        CryptOutcome outcome;
        outcome.SourcePath = AbsolutePath(path_);
        if (!PathExists(outcome.SourcePath)) {
            outcome.Status = CryptStatus::SourceMissing;
        } else if (IsSymbolicLink(outcome.SourcePath) || !IsRegularFile(outcome.SourcePath)) {
            outcome.Status = CryptStatus::NotAFile;
        } else if (TQV_Pwd* holder = PasswordFor(outcome.SourcePath); !holder) {
            outcome.Status = CryptStatus::NoPassword;
        } else {
            outcome.Code = RunEngine([&] { return holder->TestFile(outcome.SourcePath); });
            outcome.Status = outcome.Code == CryptOk ? CryptStatus::Done : CryptStatus::Failed;
        }
        return outcome;
    }

    // Says what became of the file; true when it succeeded.
    bool Conclude(const CryptOutcome& outcome) {
        if (c_.testing)
            return ConcludeTest(outcome);
        const bool encrypting = c_.direction == Direction::Encrypt;
        const std::string derived = DerivedPlainPath(path_);
        const std::string output = encrypting ? path_ + CryptExtension : derived;
        if (outcome.Status != CryptStatus::Done)
            return Failed(outcome, output);
        if (encrypting) {
            if (c_.o.verbose)
                Say("encrypted " + path_ + " -> " + output +
                    (c_.database ? " (password stored)" : ""));
            if (c_.o.keep)
                return true;
            if (outcome.WipeNotFlushed)
                return Fail("encrypted to " + output +
                            "; the plain file is erased, but its overwrite may not have reached "
                            "the disk (the disk reported an error)");
            if (!outcome.SourceErased)
                return Fail("encrypted to " + output +
                            ", but the plain file could not be wiped; it is still there" +
                            (outcome.WipeBlockedBy.empty()
                                 ? std::string()
                                 : ": " + WipeBlockedReason(outcome.WipeBlockedBy)));
            return true;
        }
        const std::string plain = outcome.StoredName.empty()
                                      ? derived
                                      : JoinPath(DirectoryPart(derived), outcome.StoredName);
        if (c_.o.verbose)
            Say("decrypted " + path_ + " -> " + plain +
                (fromDatabase_ ? " (stored password)" : ""));
        if (!c_.o.keep && !outcome.SourceErased)
            return Fail("decrypted to " + plain + ", but the crypted file could not be deleted");
        return true;
    }

private:
    bool ConcludeTest(const CryptOutcome& outcome) {
        if (outcome.Status == CryptStatus::Done) {
            if (c_.o.verbose)
                Say("ok " + path_);
            return true;
        }
        if (outcome.Status == CryptStatus::Failed && outcome.Code == CryptWrongPassword)
            return Fail("wrong password, or the file is damaged (its data do not match their "
                        "checksum)");
        return Failed(outcome, "");
    }

    // The line for an operation that did not finish; output is the output's path as given.
    bool Failed(const CryptOutcome& outcome, const std::string& output) {
        const bool encrypting = c_.direction == Direction::Encrypt;
        switch (outcome.Status) {
        case CryptStatus::SourceMissing:
            return Fail("no such file");
        case CryptStatus::NotAFile:
            // The output would land beside a link, and wiping the link would empty the file it
            // points to.
            return Fail(IsSymbolicLink(outcome.SourcePath)
                            ? "a symbolic link; give the file it points to"
                            : "not a regular file");
        case CryptStatus::NotCryptedName:
            return Fail("not a crypted file name: it must end in .cry");
        case CryptStatus::Declined:
            return Fail(output + " already exists; --force replaces it");
        case CryptStatus::NoPassword:
            return silent_ ? false : Fail(error_);
        case CryptStatus::Withdrawn:
            return Fail(error_);
        case CryptStatus::Failed:
            // Interrupted in the middle, the file is as untouched as the files never started;
            // the closing line of the command speaks for them all.
            if (outcome.Code == CryptStopped && StopSignal() != 0)
                return false;
            if (fromDatabase_)
                return FailWithStoredPassword(outcome.Code);
            return Fail(ResultText(outcome.Code, encrypting));
        case CryptStatus::Done:
            break;
        }
        return true;
    }

    bool Fail(const std::string& message) {
        Report(path_, message);
        return false;
    }

    void Say(const std::string& line) { WriteLines(STDOUT_FILENO, line + "\n"); }

    // A decryption with a stored password failed. One that does not open the file has left the
    // database; after any other failure (no room, a stop, a file that vanished) it is still
    // there for the next try.
    bool FailWithStoredPassword(std::int32_t code) {
        if (code == CryptWrongPassword)
            return Fail("its stored password does not open it (wrong password, or the file "
                        "is damaged); that password is no longer in the database");
        return Fail(ResultText(code, false) + "; its stored password stays in the database");
    }

    Command& c_;
    Worker& worker_;
    std::string path_;          // as given
    std::string error_;         // why there is no password, or why the output was withdrawn
    bool silent_ = false;       // stopped at the password prompt: nothing more to say
    bool fromDatabase_ = false; // decrypting with the file's stored password
    std::string key_;           // its key in the database
    std::size_t index_;         // in the command's list of files
    bool counted_ = false;      // in the progress line
};

// The command's files through the shared batch run: a job for each file, the workers' holders
// tied to the stop signal and the progress line.
class Runner : public BatchFront {
public:
    Runner(Command& command, const std::vector<std::string>& files, unsigned jobs)
        : c_(command), files_(files), workers_(jobs), jobs_(files.size()) {
        c_.progress.SetWorkers(jobs);
        for (unsigned w = 0; w < jobs; ++w) {
            Worker& worker = workers_[w];
            worker.number = w;
            for (TQV_Pwd* holder : {&worker.pwd, &worker.stored}) {
                holder->AbortRequested = &worker.stop;
                holder->Progress = &c_.progress.Blocks(w);
                holder->ChunkDone = [this, &worker] {
                    if (StopSignal() != 0)
                        worker.stop = true;
                    c_.progress.Update();
                };
            }
        }
    }

    CryptFileSteps& StepsFor(std::size_t index, unsigned worker) override {
        jobs_[index] = std::make_unique<FileJob>(c_, workers_[worker], files_[index], index);
        return *jobs_[index];
    }

    void Finished(std::size_t index, const CryptOutcome& outcome) override {
        allOk_ = jobs_[index]->Conclude(outcome) && allOk_;
        jobs_[index]->Counted();
        jobs_[index].reset();
    }

    bool Stopped() override { return StopSignal() != 0; }

    // The test command: each worker takes the next file, nothing is written, so there is
    // nothing to flush.
    void Test(unsigned jobs) {
        std::atomic<std::size_t> next{0};
        std::mutex finishing;
        auto work = [&](unsigned w) {
            for (std::size_t index; !Stopped() && (index = next++) < files_.size();) {
                FileJob& job = static_cast<FileJob&>(StepsFor(index, w));
                const CryptOutcome outcome = job.Test();
                const std::lock_guard lock(finishing);
                Finished(index, outcome);
            }
        };
        RunOnThreads(jobs, work);
    }

    bool AllOk() const { return allOk_; }

private:
    Command& c_;
    const std::vector<std::string>& files_;
    std::vector<Worker> workers_;
    std::vector<std::unique_ptr<FileJob>> jobs_;
    bool allOk_ = true;
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

// The files of a folder that a command takes: encrypt every regular file whose name does not
// end in ".cry", decrypt and test every ".cry" file. Links are not followed, to files either.
class FileCollector : public FolderVisitor {
public:
    FileCollector(bool crypted, std::vector<std::string>& files)
        : crypted_(crypted), files_(files) {}

    void Files(const std::string& folder) override {
        TQV_FileListBox list(TQV_FileListBox::Kind::Files);
        std::string error;
        if (!list.Read(folder, &error)) {
            Skipped(folder, error);
            return;
        }
        for (const std::string& name : list.Items()) {
            const std::string path = JoinPath(folder, name);
            if (IsCryptedFileName(name) == crypted_ && !IsSymbolicLink(path))
                files_.push_back(path);
        }
    }
    // A folder is entered when its names can be read and its files reached.
    bool Enter(const std::string& folder, std::string& reason) override {
        if (access(folder.c_str(), R_OK | X_OK) == 0)
            return true;
        reason = std::strerror(errno);
        return false;
    }
    void Skipped(const std::string& folder, const std::string& reason) override {
        Report(folder, "this folder cannot be read (" + reason + "); its files were not processed");
        complete_ = false;
    }
    bool Stopped() override { return StopSignal() != 0; }

    // Every folder could be read.
    bool Complete() const { return complete_; }

private:
    bool crypted_;
    std::vector<std::string>& files_;
    bool complete_ = true;
};

// The files of the command: each name given, and with --recursive each folder given walked.
// False when a folder could not be read.
bool CollectFiles(const Options& o, std::vector<std::string>& files) {
    FileCollector collector(o.command != "encrypt", files);
    for (const std::string& name : o.files) {
        if (!o.recursive || !IsDirectory(name) || IsSymbolicLink(name)) {
            files.push_back(name);
            continue;
        }
        std::string reason;
        if (collector.Enter(name, reason))
            WalkFolders(name, true, collector);
        else
            collector.Skipped(name, reason);
        if (StopSignal() != 0)
            break;
    }
    return collector.Complete();
}

unsigned DefaultJobs() {
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    return processors > 0 ? static_cast<unsigned>(std::min<long>(processors, MaxJobs)) : 1;
}

std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
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
    // A batch of files holds its outputs and wipes open until they are flushed; a low limit
    // only makes the batches smaller.
    RaiseOpenFileLimit();

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

    // The files named, and with --recursive the files in the folders named.
    std::vector<std::string> files;
    const bool walked = CollectFiles(o, files);
    if (StopSignal() != 0)
        return Stopped(StopSignal());
    if (files.empty())
        return walked ? 0 : 1;

    RunProgress progress;
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

    GivenPassword given(pwd, o.password, RulesFor(o), progress);
    // Decrypting with stored passwords, the terminal is asked only for a file without one;
    // any other source is read now, so that a password that cannot be used touches no file.
    const bool askWhenNeeded = database && o.command == "decrypt" && !o.passwordGiven;
    if (!askWhenNeeded && !given.Obtain(error)) {
        if (StopSignal() != 0)
            return Stopped(StopSignal());
        Report("", error);
        return 2;
    }

    const Direction direction = o.command == "encrypt" ? Direction::Encrypt : Direction::Decrypt;
    Command command{o,     direction, o.command == "test",
                    given, stored,    database ? &*database : nullptr,
                    {},    progress};
    const unsigned jobs = std::min<std::size_t>(o.jobs != 0 ? o.jobs : DefaultJobs(),
                                                std::max<std::size_t>(files.size(), 1));
    std::vector<std::int64_t> sizes;
    for (const std::string& file : files)
        sizes.push_back(FileSize(file));
    progress.Start(sizes, files.size() == 1 ? files[0] : std::string());
    Runner runner(command, files, jobs);
    if (command.testing) {
        runner.Test(jobs);
    } else {
        BatchSettings settings;
        settings.direction = direction;
        settings.method = o.method;
        settings.disposal = o.keep                            ? SourceDisposal::Keep
                            : direction == Direction::Encrypt ? SourceDisposal::Wipe
                                                              : SourceDisposal::Delete;
        settings.jobs = jobs;
        RunBatches(files, settings, runner);
    }
    progress.Finish();
    std::fflush(stdout);
    if (StopSignal() != 0)
        return Stopped(StopSignal());
    return runner.AllOk() && walked ? 0 : 1;
}

} // namespace qv::cli
