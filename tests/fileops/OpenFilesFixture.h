// Files handed to applications in tests: real processes stand in for the applications, so the
// watcher sees them run, end and hold files open as it would in the desktop.
#pragma once

#include "OpenFiles.h"
#include "Processes.h"
#include "RunsFixture.h"

#include <csignal>
#include <functional>
#include <sys/wait.h>

namespace qvtest {

// Starts a real process for every file: by default one that runs until it is ended.
class ProcessLauncher : public qv::AppLauncher {
public:
    struct Launched {
        std::string verb;
        std::string path;
        std::string directory;
        pid_t process;
    };
    std::vector<Launched> launched;
    // The program started for a path; an empty result makes the start fail.
    std::function<std::vector<std::string>(const std::string& path)> program =
        [](const std::string&) {
            return std::vector<std::string>{"sleep", "60"};
        };

    pid_t Launch(const std::string& verb, const std::string& path, const std::string& directory,
                 std::string& error) override {
        const std::vector<std::string> argv = program(path);
        const pid_t process = argv.empty() ? -1 : qv::StartProgram(argv);
        if (process < 0)
            error = "no application";
        launched.push_back({verb, path, directory, process});
        return process;
    }

    // The process started for path, or -1.
    pid_t ProcessOf(const std::string& path) const {
        for (const Launched& launch : launched)
            if (launch.path == path)
                return launch.process;
        return -1;
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const Launched& launch : launched)
            paths.push_back(launch.path);
        return paths;
    }

    ~ProcessLauncher() override {
        for (const Launched& launch : launched)
            if (launch.process > 0 && kill(launch.process, SIGKILL) == 0)
                waitpid(launch.process, nullptr, 0);
    }
};

// Ends an application as its user would close it, and waits until it has ended without reaping
// it: the watcher finds out for itself.
inline void EndApplication(pid_t process) {
    ASSERT_GT(process, 0);
    ASSERT_EQ(kill(process, SIGTERM), 0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOWAIT), 0);
}

class RecordingTimer : public qv::WatchTimer {
public:
    bool running = false;
    int starts = 0;
    void StartWatching() override {
        running = true;
        ++starts;
    }
    void StopWatching() override { running = false; }
};

class OpenFilesTest : public RunsTest {
protected:
    void SetUp() override {
        RunsTest::SetUp();
        open.Launcher = &launcher;
    }

    // count crypted files f100.txt.cry, f101.txt.cry, ... with the password Typed; their
    // captions.
    Names WriteCryptedFiles(int count) {
        Names captions;
        for (int i = 0; i < count; ++i) {
            const std::string name = "f" + std::to_string(100 + i) + ".txt";
            WriteCrypted(name, Typed);
            captions.push_back(name + ".cry");
        }
        return captions;
    }

    // What the crypted file at path decrypts to with password, or the engine's code; the file
    // is left as it was.
    static std::string DecryptedWith(const std::string& cryptedPath, const std::string& password) {
        TempDir scratch;
        const std::string copy = scratch / "copy.cry";
        WriteBytes(copy, ReadBytes(cryptedPath));
        qv::TQV_Pwd holder;
        holder.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                                password.size());
        std::string stored;
        const std::int32_t code = holder.DecryptFile(copy, stored);
        if (code != qv::CryptOk)
            return "(code " + std::to_string(code) + ")";
        return ReadText(scratch / (stored.empty() ? "copy" : stored));
    }

    ProcessLauncher launcher;
    RecordingTimer timer;
    qv::TQV_OpenFiles open{
        qv::TQV_OpenFiles::Parts{ops, runs, table, pwd, state, settings, workList},
        qv::OpenFilesFrontEnd{answers, window, window, window, timer}};
};

} // namespace qvtest
