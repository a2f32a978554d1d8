// Running the built quorvane-cli as a script or a person at a terminal would: with its own
// output pipes, password pipes, environment, current directory and limits.
#pragma once

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace clitest {

using qvtest::ModeOf;
using qvtest::TempDir;
using qvtest::WriteText;

using Names = std::vector<std::string>;

struct Result {
    int status = -1; // exit status, or 128 + signal
    std::string out, err;
};

// One run of the program: its arguments and what it finds around it.
struct Invocation {
    std::vector<std::string> args;
    std::map<std::string, std::string> env; // added to the environment
    std::string passwordOnFd;               // written to a pipe that the program gets as fd 5
    bool withoutTerminal = true;            // in a session of its own, without /dev/tty
    std::string masterOnFd;                 // written to a pipe that the program gets as fd 6
    std::string directory;                  // the current directory and $PWD, when not ""
    rlim_t fileSizeLimit = RLIM_INFINITY;   // the largest file the program may write
    uid_t user = 0;                         // when not 0, the program runs as this user
    // Called with the program's process once it is started, before its output is read (the
    // program must not fill a pipe meanwhile).
    std::function<void(pid_t)> whileRunning;
};

// A home folder of the test program's own, with no settings in it, so that no test ever reads
// or writes the user's database or registry.
inline const qvtest::TempDir& IsolatedHome() {
    static const qvtest::TempDir home;
    return home;
}

// In the program's process before it starts: the isolated home and registry, then env.
inline void SetEnvironment(const std::map<std::string, std::string>& env) {
    setenv("HOME", IsolatedHome().Path().c_str(), 1);
    setenv("QUORVANE_REGISTRY", (IsolatedHome() / "registry.reg").c_str(), 1);
    for (const auto& [name, value] : env)
        setenv(name.c_str(), value.c_str(), 1);
}

inline std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

inline std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    static const std::string program = QV_CLI_PATH;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

inline int StatusOf(int wstatus) {
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

inline Result RunCli(const Invocation& run) {
    int out[2], err[2], pw[2], master[2];
    if (pipe(out) != 0 || pipe(err) != 0 || pipe(pw) != 0 || pipe(master) != 0)
        throw std::runtime_error("pipe");
    const auto argv = Argv(run.args);
    IsolatedHome();
    const pid_t pid = fork();
    if (pid == 0) {
        if (run.withoutTerminal)
            setsid();
        dup2(out[1], 1);
        dup2(err[1], 2);
        dup2(pw[0], 5);
        dup2(master[0], 6);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        for (const int fd :
             {out[0], out[1], err[0], err[1], pw[0], pw[1], master[0], master[1], devNull})
            if (fd > 6)
                close(fd);
        SetEnvironment(run.env);
        if (!run.directory.empty() &&
            (chdir(run.directory.c_str()) != 0 || setenv("PWD", run.directory.c_str(), 1) != 0))
            _exit(126);
        if (run.fileSizeLimit != RLIM_INFINITY) {
            // The program starts with SIGXFSZ as a shell gives it, killing the process: it must
            // turn a write beyond the limit into a failed write itself.
            signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{run.fileSizeLimit, run.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (run.user != 0 && (setgid(run.user) != 0 || setuid(run.user) != 0))
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    close(pw[0]);
    close(master[0]);
    if (!run.passwordOnFd.empty())
        (void)!write(pw[1], run.passwordOnFd.data(), run.passwordOnFd.size());
    close(pw[1]);
    if (!run.masterOnFd.empty())
        (void)!write(master[1], run.masterOnFd.data(), run.masterOnFd.size());
    close(master[1]);
    if (run.whileRunning)
        run.whileRunning(pid);
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

// The program with these arguments and nothing else: no password on any descriptor.
inline Result RunArgs(std::vector<std::string> args) {
    Invocation run;
    run.args = std::move(args);
    return RunCli(run);
}

// The three ways of handing over a password without the command line.
struct Source {
    const char* name;
    std::vector<std::string> options;
    std::map<std::string, std::string> env;
    std::string fd;
};

inline Source ByEnvironment(const std::string& password) {
    return {"environment",
            {"--password-env", "QV_TEST_PASSWORD"},
            {{"QV_TEST_PASSWORD", password}},
            ""};
}

inline Source ByFile(const TempDir& dir, const std::string& content) {
    WriteText(dir / "password.txt", content);
    return {"file", {"--password-file", dir / "password.txt"}, {}, ""};
}

inline Source ByDescriptor(const std::string& content) {
    return {"descriptor", {"--password-fd", "5"}, {}, content};
}

inline Result RunWith(const Source& source, std::vector<std::string> args) {
    Invocation run;
    run.args = std::move(args);
    run.args.insert(run.args.begin() + 1, source.options.begin(), source.options.end());
    run.env = source.env;
    run.passwordOnFd = source.fd;
    return RunCli(run);
}

// The program on a pseudo-terminal, as a person at a terminal runs it.
class Terminal {
public:
    explicit Terminal(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {}) {
        const auto argv = Argv(args);
        IsolatedHome();
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            SetEnvironment(env);
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

} // namespace clitest
