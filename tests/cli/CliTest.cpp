// quorvane-cli as a script sees it: the built program run in a temporary folder.
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

using qvtest::PatternBytes;
using qvtest::ReadBytes;
using qvtest::ReadText;
using qvtest::TempDir;
using qvtest::WriteBytes;
using qvtest::WriteText;

namespace {

using Names = std::vector<std::string>;

struct Result {
    int status = -1; // exit status, or 128 + signal
    std::string out, err;
};

struct Run {
    std::vector<std::string> args;
    std::map<std::string, std::string> env; // added to the environment
    std::string passwordOnFd;               // written to a pipe that the program gets as fd 5
    bool withoutTerminal = true;            // in a session of its own, without /dev/tty
};

std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    static const std::string program = QV_CLI_PATH;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int StatusOf(int wstatus) {
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

Result RunCli(const Run& run) {
    int out[2], err[2], pw[2];
    if (pipe(out) != 0 || pipe(err) != 0 || pipe(pw) != 0)
        throw std::runtime_error("pipe");
    const auto argv = Argv(run.args);
    const pid_t pid = fork();
    if (pid == 0) {
        if (run.withoutTerminal)
            setsid();
        dup2(out[1], 1);
        dup2(err[1], 2);
        dup2(pw[0], 5);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        for (const int fd : {out[0], out[1], err[0], err[1], pw[0], pw[1], devNull})
            if (fd > 5)
                close(fd);
        for (const auto& [name, value] : run.env)
            setenv(name.c_str(), value.c_str(), 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    close(pw[0]);
    if (!run.passwordOnFd.empty())
        (void)!write(pw[1], run.passwordOnFd.data(), run.passwordOnFd.size());
    close(pw[1]);
    Result result;
    // Small outputs: reading one pipe to its end before the other cannot block the program.
    result.err = Drain(err[0]);
    result.out = Drain(out[0]);
    close(out[0]);
    close(err[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = StatusOf(wstatus);
    return result;
}

// The three ways of handing over a password without the command line.
struct Source {
    const char* name;
    std::vector<std::string> options;
    std::map<std::string, std::string> env;
    std::string fd;
};

Source ByEnvironment(const std::string& password) {
    return {"environment",
            {"--password-env", "QV_TEST_PASSWORD"},
            {{"QV_TEST_PASSWORD", password}},
            ""};
}

Source ByFile(const TempDir& dir, const std::string& content) {
    WriteText(dir / "password.txt", content);
    return {"file", {"--password-file", dir / "password.txt"}, {}, ""};
}

Source ByDescriptor(const std::string& content) {
    return {"descriptor", {"--password-fd", "5"}, {}, content};
}

Result RunWith(const Source& source, std::vector<std::string> args) {
    Run run;
    run.args = std::move(args);
    run.args.insert(run.args.begin() + 1, source.options.begin(), source.options.end());
    run.env = source.env;
    run.passwordOnFd = source.fd;
    return RunCli(run);
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(Cli, RoundTripWithEachPasswordSourceAndMethod) {
    struct Case {
        const char* method;
        std::string password;
    };
    for (const Case& c : {Case{"des", "secret12"}, Case{"idea", "a longer secret"},
                          Case{"3xdes", "twenty-four characters!!"}}) {
        TempDir dir, secrets;
        const std::vector<Source> sources = {ByEnvironment(c.password),
                                             ByFile(secrets, c.password + "\n"),
                                             ByDescriptor(c.password + "\r\n")};
        for (const Source& source : sources) {
            SCOPED_TRACE(std::string(c.method) + " by " + source.name);
            const auto big = PatternBytes(300000, 1);
            WriteBytes(dir / "big.bin", big);
            WriteText(dir / "note.txt", "a short note\n");
            chmod((dir / "note.txt").c_str(), 0640);

            Result r = RunWith(
                source, {"encrypt", "--method", c.method, dir / "big.bin", dir / "note.txt"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "") << "no progress bar when standard error is no terminal";
            EXPECT_EQ(dir.Names(), (Names{"big.bin.cry", "note.txt.cry"}));
            EXPECT_EQ(ModeOf(dir / "note.txt.cry"), 0640u);

            // Another source with the same password: the newline is not part of it anywhere.
            const Source other = source.name == std::string("environment")
                                     ? ByDescriptor(c.password + "\n")
                                     : ByEnvironment(c.password);
            r = RunWith(other, {"decrypt", dir / "big.bin.cry", dir / "note.txt.cry"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(dir.Names(), (Names{"big.bin", "note.txt"}));
            EXPECT_EQ(ReadBytes(dir / "big.bin"), big);
            EXPECT_EQ(ReadText(dir / "note.txt"), "a short note\n");
            EXPECT_EQ(ModeOf(dir / "note.txt"), 0640u);
            std::remove((dir / "big.bin").c_str());
            std::remove((dir / "note.txt").c_str());
        }
    }
}

TEST(Cli, KeepLeavesTheSourceAndVerboseNamesTheOutput) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    const Source pw = ByEnvironment("secret");
    Result r = RunWith(pw, {"encrypt", "--keep", "-v", dir / "a.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "encrypted " + (dir / "a.txt") + " -> " + (dir / "a.txt.cry") + "\n");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "a.txt.cry"}));

    std::remove((dir / "a.txt").c_str());
    ASSERT_EQ(rename((dir / "a.txt.cry").c_str(), (dir / "renamed.cry").c_str()), 0);
    r = RunWith(pw, {"decrypt", "-kv", dir / "renamed.cry"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The name stored in the crypted file comes back.
    EXPECT_EQ(r.out, "decrypted " + (dir / "renamed.cry") + " -> " + (dir / "a.txt") + "\n");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "renamed.cry"}));
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
}

TEST(Cli, WrongPasswordLeavesEverythingAsItWas) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    ASSERT_EQ(RunWith(ByEnvironment("secret"), {"encrypt", dir / "a.txt"}).status, 0);
    const auto crypted = ReadBytes(dir / "a.txt.cry");

    const Result r = RunWith(ByEnvironment("Secret"), {"decrypt", dir / "a.txt.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt.cry") +
                         ": wrong password, or the file is damaged\n");
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
    EXPECT_EQ(ReadBytes(dir / "a.txt.cry"), crypted);
}

TEST(Cli, OneFailingFileDoesNotStopTheOthers) {
    TempDir dir;
    WriteText(dir / "a.txt", "first");
    WriteText(dir / "c.txt", "third");
    ASSERT_EQ(symlink("c.txt", (dir / "link.txt").c_str()), 0);
    const Source pw = ByEnvironment("secret");
    Result r = RunWith(
        pw, {"encrypt", dir / "a.txt", dir / "missing.txt", dir / "link.txt", dir / "c.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "missing.txt") + ": no such file\nquorvane-cli: " +
                         (dir / "link.txt") + ": a symbolic link; give the file it points to\n");
    ASSERT_EQ(unlink((dir / "link.txt").c_str()), 0);
    EXPECT_EQ(dir.Names(), (Names{"a.txt.cry", "c.txt.cry"}));

    // A damaged crypted file among good ones.
    auto damaged = ReadBytes(dir / "a.txt.cry");
    damaged.resize(20);
    WriteBytes(dir / "b.txt.cry", damaged);
    r = RunWith(pw, {"decrypt", dir / "a.txt.cry", dir / "b.txt.cry", dir / "c.txt.cry",
                     dir / "plain.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "b.txt.cry") +
                         ": the crypted file is cut short or cannot be read\n"
                         "quorvane-cli: " +
                         (dir / "plain.txt") + ": not a crypted file name: it must end in .cry\n");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "b.txt.cry", "c.txt"}));
    EXPECT_EQ(ReadText(dir / "a.txt"), "first");
    EXPECT_EQ(ReadText(dir / "c.txt"), "third");
}

TEST(Cli, AnExistingOutputIsReplacedOnlyWithForce) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    WriteText(dir / "a.txt.cry", "an older crypted file");
    const Source pw = ByEnvironment("secret");
    Result r = RunWith(pw, {"encrypt", dir / "a.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt") + ": " + (dir / "a.txt.cry") +
                         " already exists; --force replaces it\n");
    EXPECT_EQ(ReadText(dir / "a.txt.cry"), "an older crypted file");
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");

    ASSERT_EQ(RunWith(pw, {"encrypt", "--force", "--keep", dir / "a.txt"}).status, 0);
    r = RunWith(pw, {"decrypt", dir / "a.txt.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
    ASSERT_EQ(RunWith(pw, {"decrypt", "-f", dir / "a.txt.cry"}).status, 0);
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
}

TEST(Cli, PasswordsOfTheWrongLengthTouchNothing) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    struct Case {
        std::vector<std::string> args;
        std::string password;
        const char* message;
    };
    const Case cases[] = {
        {{"encrypt", "-m", "des", dir / "a.txt"}, "nine char", "Too many characters in password."},
        {{"encrypt", "-m", "idea", dir / "a.txt"}, std::string(17, 'x'), "Too many"},
        {{"encrypt", dir / "a.txt"}, std::string(25, 'x'), "Too many"},
        {{"encrypt", dir / "a.txt"}, "five\n", "Too few characters in password."},
        {{"decrypt", dir / "a.txt.cry"}, std::string(25, 'x'), "Too many"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        const Result r = RunWith(ByEnvironment(c.password), c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(dir.Names(), Names{"a.txt"});
    }
    // 24 characters open any crypted file, whatever its method takes.
    const std::string longest(24, 'p');
    ASSERT_EQ(RunWith(ByEnvironment(longest.substr(0, 8)), {"encrypt", "-m", "des", dir / "a.txt"})
                  .status,
              0);
    EXPECT_EQ(RunWith(ByEnvironment(longest), {"decrypt", dir / "a.txt.cry"}).status, 0);
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
}

TEST(Cli, InfoNeedsNoPassword) {
    TempDir dir;
    WriteText(dir / "report.doc", std::string(1000, 'r'));
    ASSERT_EQ(
        RunWith(ByEnvironment("secret"), {"encrypt", "-m", "idea", dir / "report.doc"}).status, 0);
    WriteText(dir / "broken.cry", "QV9");
    const Result r = RunCli({{"info", dir / "report.doc.cry", dir / "broken.cry"}, {}, "", true});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, (dir / "report.doc.cry") +
                         "\n  method:      IDEA (QV98)\n  plain size:  1000 bytes\n"
                         "  stored name: report.doc\n");
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "broken.cry") +
                         ": not a crypted file: it ends inside the "
                         "header\n");
}

TEST(Cli, UsageErrorsAndHelp) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{}, "a command is needed"},
        {{"shred", "x"}, "unknown command"},
        {{"encrypt", "--password", "secret", "x"}, "never taken from the command line"},
        {{"encrypt", "-m", "rot13", "x"}, "unknown method"},
        {{"decrypt", "-m", "des", "x.cry"}, "--method applies to encrypt only"},
        {{"encrypt"}, "no file given"},
        {{"info", "--keep", "x.cry"}, "info takes no password"},
        {{"encrypt", "--password-env", "A", "--password-fd", "5", "x"}, "one way only"},
        {{"encrypt", "--password-fd", "five", "x"}, "needs a file descriptor number"},
        {{"encrypt", "--password-env", "QV_UNSET_VARIABLE", "x"}, "is not set"},
        {{"encrypt", "--password-file", "/nonexistent/pw", "x"}, "cannot read"},
        {{"encrypt", "x"}, "no terminal to type the password at"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Result r = RunCli({c.args, {}, "", true});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const Result help = RunCli({{"--help"}, {}, "", true});
    EXPECT_EQ(help.status, 0);
    for (const char* word :
         {"encrypt", "decrypt", "info", "--method", "--keep", "--force", "--verbose",
          "--password-file", "--password-fd", "--password-env", "trailing newline", "Exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

namespace {

// The program on a pseudo-terminal, as a person at a terminal runs it.
class Terminal {
public:
    explicit Terminal(const std::vector<std::string>& args) {
        const auto argv = Argv(args);
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            close(master_);
    }

    // Reads until text appears (or five seconds pass); everything read is kept in Seen.
    bool WaitFor(const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (seen_.find(text, from_) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end || !ReadSome(100))
                return false;
        }
        from_ = seen_.find(text, from_) + text.size();
        return true;
    }
    void Type(const std::string& text) { (void)!write(master_, text.data(), text.size()); }

    // The exit status once the program has ended; a program still running after 20 seconds
    // is killed, and the test fails instead of hanging.
    int Finish() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int wstatus = 0;
        while (waitpid(pid_, &wstatus, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &wstatus, 0);
                pid_ = -1;
                ADD_FAILURE() << "the program did not end";
                return -1;
            }
            ReadSome(100);
        }
        while (ReadSome(0)) {
        }
        pid_ = -1;
        return StatusOf(wstatus);
    }
    const std::string& Seen() const { return seen_; }

private:
    bool ReadSome(int timeoutMs) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return false; // EIO once the program has ended
        seen_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    std::string seen_;
    std::size_t from_ = 0;
};

} // namespace

TEST(Cli, TerminalPromptsTwiceWithoutEchoAndShowsProgress) {
    TempDir dir;
    const auto plain = PatternBytes(3 * 1024 * 1024, 2);
    WriteBytes(dir / "big.bin", plain);
    {
        Terminal t({"encrypt", "-m", "idea", dir / "big.bin"});
        ASSERT_TRUE(t.WaitFor("Password (IDEA, 6 to 16 characters): ")) << t.Seen();
        t.Type("short\n");
        ASSERT_TRUE(t.WaitFor("Too few characters in password.")) << t.Seen();
        ASSERT_TRUE(t.WaitFor("Password (IDEA, 6 to 16 characters): ")) << t.Seen();
        t.Type("typed secret\n");
        ASSERT_TRUE(t.WaitFor("The same password again: ")) << t.Seen();
        t.Type("typed secreT\n");
        ASSERT_TRUE(t.WaitFor("The two passwords differ.")) << t.Seen();
        ASSERT_TRUE(t.WaitFor("Password (IDEA")) << t.Seen();
        t.Type("typed secret\n");
        ASSERT_TRUE(t.WaitFor("The same password again: ")) << t.Seen();
        t.Type("typed secret\n");
        EXPECT_EQ(t.Finish(), 0) << t.Seen();
        EXPECT_EQ(t.Seen().find("secret"), std::string::npos) << "the password was echoed";
        EXPECT_NE(t.Seen().find("big.bin ["), std::string::npos) << "a progress bar: " << t.Seen();
        EXPECT_NE(t.Seen().find("MB/s"), std::string::npos);
    }
    EXPECT_EQ(dir.Names(), Names{"big.bin.cry"});
    {
        Terminal t({"decrypt", dir / "big.bin.cry"});
        ASSERT_TRUE(t.WaitFor("Password (6 to 24 characters): ")) << t.Seen();
        t.Type("typed secret\n");
        EXPECT_EQ(t.Finish(), 0) << t.Seen();
        EXPECT_EQ(t.Seen().find("The same password"), std::string::npos) << "asked once";
    }
    EXPECT_EQ(ReadBytes(dir / "big.bin"), plain);
}

TEST(Cli, InterruptAtThePromptEndsWithoutTouchingFiles) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    Terminal t({"encrypt", dir / "a.txt"});
    ASSERT_TRUE(t.WaitFor("Password")) << t.Seen();
    t.Type("\x03"); // Ctrl+C
    EXPECT_EQ(t.Finish(), 130) << t.Seen();
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
}
