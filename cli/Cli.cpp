#include "Cli.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "PasswordInput.h"
#include "Paths.h"
#include "ProcessGuard.h"
#include "Progress.h"
#include "Pwd.h"
#include "Signals.h"
#include "Wipe.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace qv::cli {

namespace {

constexpr const char* Program = "quorvane-cli";

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
  2    the command line or the password was not usable; no file was touched
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
    std::vector<std::string> files;
};

void Report(const std::string& subject, const std::string& message) {
    std::fprintf(stderr, "%s: %s%s%s\n", Program, subject.c_str(), subject.empty() ? "" : ": ",
                 message.c_str());
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

    auto setPassword = [&](PasswordSource source, const std::string& value) {
        if (o.passwordGiven) {
            error = "give the password one way only";
            return false;
        }
        o.passwordGiven = true;
        o.password = {source, value};
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
        const bool takesValue = name == "-m" || name == "--method" || name == "--password-file" ||
                                name == "--password-fd" || name == "--password-env";
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
        } else if (name == "--password-file") {
            if (!setPassword(PasswordSource::File, value))
                return false;
        } else if (name == "--password-fd") {
            if (!setPassword(PasswordSource::Descriptor, value))
                return false;
        } else if (name == "--password-env") {
            if (!setPassword(PasswordSource::Environment, value))
                return false;
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
            error =
                "unknown option " + name +
                (name.rfind("--pass", 0) == 0 ? " (a password is never taken from the command line)"
                                              : "");
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
    if (o.command == "info" && (o.passwordGiven || o.keep || o.force)) {
        error = "info takes no password and changes no file";
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

class Runner {
public:
    Runner(const Options& o, TQV_Pwd& pwd) : o_(o), pwd_(pwd) {
        pwd_.AbortRequested = &stop_;
        pwd_.ChunkDone = [this] {
            if (StopSignal() != 0)
                stop_ = true;
            bar_.Update();
        };
    }

    bool Encrypt(const std::string& path) {
        const std::string target = path + CryptExtension;
        if (const std::string problem = Refusal(path, target); !problem.empty())
            return Fail(path, problem);
        unsigned mode = 0600;
        const std::int32_t code =
            RunEngine(path, mode, [&] { return pwd_.EncryptFile(path, o_.method); });
        if (code != CryptOk)
            return Fail(path, ResultText(code, true));
        SetPermissions(target, mode);
        if (o_.verbose)
            std::printf("encrypted %s -> %s\n", path.c_str(), target.c_str());
        if (!o_.keep && WipeFile(path) != 0) {
            SetPermissions(path, mode);
            return Fail(path, "encrypted to " + target +
                                  ", but the plain file could not be wiped; it is still there");
        }
        return true;
    }

    bool Decrypt(const std::string& path) {
        const std::string name = FileNamePart(path);
        if (name.size() <= 4 || AsciiLower(ExtensionOf(name)) != CryptExtension)
            return Fail(path, "not a crypted file name: it must end in .cry");
        const std::string derived = DerivedPlainPath(path);
        if (const std::string problem = Refusal(path, derived); !problem.empty())
            return Fail(path, problem);
        unsigned mode = 0600;
        std::string storedName;
        const std::int32_t code =
            RunEngine(path, mode, [&] { return pwd_.DecryptFile(path, storedName); });
        if (code != CryptOk)
            return Fail(path, ResultText(code, false));
        const std::string plain =
            storedName.empty() ? derived : JoinPath(DirectoryPart(derived), storedName);
        SetPermissions(plain, mode);
        if (o_.verbose)
            std::printf("decrypted %s -> %s\n", path.c_str(), plain.c_str());
        if (o_.keep) {
            SetPermissions(path, mode);
        } else if (unlink(path.c_str()) != 0) {
            SetPermissions(path, mode);
            return Fail(path, "decrypted to " + plain +
                                  ", but the crypted file could not be "
                                  "deleted");
        } else {
            SyncDirectoryOf(path);
        }
        return true;
    }

private:
    // Why path cannot be processed as a file, or nothing. A link is refused: the output would
    // land beside the link, and wiping it would empty the file it points to.
    static std::string NotAFile(const std::string& path) {
        if (IsSymbolicLink(path))
            return "a symbolic link; give the file it points to";
        if (!IsRegularFile(path))
            return PathExists(path) ? "not a regular file" : "no such file";
        return {};
    }

    // Why path is not processed (it is no file, or output exists without --force), or nothing.
    std::string Refusal(const std::string& path, const std::string& output) const {
        if (std::string problem = NotAFile(path); !problem.empty())
            return problem;
        if (PathExists(output) && !o_.force)
            return output + " already exists; --force replaces it";
        return {};
    }

    // Runs the engine on path with the progress bar. The engine opens its input for writing
    // too, so the read-only bit is cleared first; mode receives the bits path had, which go to
    // the output, and path gets them back when the engine failed.
    template <typename Engine>
    std::int32_t RunEngine(const std::string& path, unsigned& mode, Engine engine) {
        GetPermissions(path, mode);
        SetArchiveOnly(path);
        bar_.Start(path);
        const std::int32_t code = engine();
        bar_.Clear();
        if (code != CryptOk)
            SetPermissions(path, mode);
        return code;
    }

    bool Fail(const std::string& path, const std::string& message) {
        bar_.Clear();
        Report(path, message);
        return false;
    }

    const Options& o_;
    TQV_Pwd& pwd_;
    ProgressBar bar_;
    bool stop_ = false;
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
        stored = "\"" + Printable(name) + "\" (not used: not a plain file name)";
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

    TQV_Pwd pwd;
    {
        SecureBytes password;
        if (!ReadPassword(o.password, RulesFor(o), password, error)) {
            if (StopSignal() != 0)
                return Stopped(StopSignal());
            Report("", error);
            return 2;
        }
        pwd.SetTypedPassword(password.data(), password.size());
        pwd.HasPassword = true;
    }

    Runner runner(o, pwd);
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
