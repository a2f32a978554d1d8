// quorvane-tree-bench: a run over many small files through the desktop program's tree run, next
// to the same files through quorvane-cli. It makes a tree of 1,000 files of 4 KiB in 50 folders,
// encrypts and decrypts it with Encrypt all and Decrypt all of the main window (offscreen, the
// password held as if typed once for the program), then the same with quorvane-cli, and prints
// the times and the window's ratio to the command line's, the best of five rounds each.
//   quorvane-tree-bench [FOLDER]      (default: /var/tmp, a disk-backed folder)
#include "Drives.h"
#include "FileRuns.h"
#include "FirstSettings.h"
#include "Forms.h"
#include "PrgState.h"
#include "Pwd.h"
#include "UserAnswers.h"

#include <QApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int Folders = 50;
constexpr int FilesPerFolder = 20;
constexpr std::size_t FileBytes = 4096;
constexpr const char* Password = "bench-pass-1";

// The tree run's question is answered Yes (the subfolders too); anything else is printed.
class BenchAnswers : public qv::UserAnswers {
public:
    qv::Button Ask(qv::MessageKind, const std::string& text, unsigned buttons) override {
        if (text == qv::RecurseQuestion)
            return qv::ButtonYes;
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++unexpected;
        return buttons & qv::ButtonCancel ? qv::ButtonCancel : qv::ButtonOk;
    }
    int unexpected = 0;
};

std::vector<fs::path> MakeTree(const fs::path& root) {
    std::mt19937 random(7);
    std::vector<fs::path> files;
    std::string content(FileBytes, '\0');
    for (int f = 0; f < Folders; ++f) {
        const fs::path folder = root / ("folder" + std::to_string(100 + f));
        fs::create_directories(folder);
        for (int i = 0; i < FilesPerFolder; ++i) {
            for (char& c : content)
                c = static_cast<char>(random());
            files.push_back(folder / ("file" + std::to_string(100 + i) + ".dat"));
            std::ofstream(files.back(), std::ios::binary) << content;
        }
    }
    return files;
}

std::string Digest(const std::vector<fs::path>& files) {
    std::uint64_t sum = 1469598103934665603ULL;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        for (char c; in.get(c);)
            sum = (sum ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        sum = (sum ^ 0xff) * 1099511628211ULL; // a missing file changes the sum as well
    }
    return std::to_string(sum);
}

int CountFiles(const fs::path& root, const std::string& extension) {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().extension() == extension)
            ++count;
    return count;
}

double Seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs quorvane-cli with the arguments; false when it did not end with status 0.
bool RunCli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QV_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> Paths(const std::vector<fs::path>& files, const std::string& suffix) {
    std::vector<std::string> paths;
    for (const fs::path& file : files)
        paths.push_back(file.string() + suffix);
    return paths;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::path("/var/tmp");
    const fs::path work = base / ("quorvane-tree-bench." + std::to_string(getpid()));
    fs::create_directories(work);
    const fs::path desktopTree = work / "window";
    const fs::path cliTree = work / "cli";
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QUORVANE_REGISTRY", (work / "registry.reg").c_str(), 1);
    setenv("QV_BENCH_PASSWORD", Password, 1);
    QApplication app(argc, argv);
    qv::RegistryFile registry = qv::FirstRegistry(work.string(), "");
    registry.SetPath((work / "registry.reg").string());
    std::string error;
    if (qv::WriteFirstRegistry(registry, &error) == qv::FirstWriteResult::Failed) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    // The same files on both sides.
    const std::vector<fs::path> windowFiles = MakeTree(desktopTree);
    const std::vector<fs::path> cliFiles = MakeTree(cliTree);
    const std::string before = Digest(windowFiles);
    // The new files reach the disk before anything is timed, so that neither side's flushes wait
    // for the other's files.
    sync();
    std::printf("%d files of %zu bytes in %d folders, in %s\n", Folders * FilesPerFolder, FileBytes,
                Folders, work.c_str());

    BenchAnswers answers;
    const qv::DriveCheck drives;
    qv::Forms forms(answers, drives);
    qv::TMainWin& win = *forms.MainWin;
    win.Settings().ShowTIP = false;
    win.show();
    // The start-up choice of the method expires any password held before it.
    while (!win.Startup().Ran())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    win.Settings().Method = qv::MethodIdea;
    qv::TQV_Pwd& pwd = win.Pwd();
    pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(Password),
                         std::char_traits<char>::length(Password));
    pwd.HasPassword = true;
    pwd.OnePassword = true;
    pwd.PasswordExpired = false;
    win.PrgState().ListsUnread = false;
    std::string reason;
    if (!win.EnterDirectory(desktopTree.string(), reason)) {
        std::fprintf(stderr, "cannot enter %s: %s\n", desktopTree.c_str(), reason.c_str());
        return 1;
    }
    QCoreApplication::processEvents();

    std::vector<std::string> encrypt = {"encrypt", "--method", "idea", "--password-env",
                                        "QV_BENCH_PASSWORD"};
    for (const std::string& path : Paths(cliFiles, ""))
        encrypt.push_back(path);
    std::vector<std::string> decrypt = {"decrypt", "--password-env", "QV_BENCH_PASSWORD"};
    for (const std::string& path : Paths(cliFiles, ".cry"))
        decrypt.push_back(path);

    // Rounds take turns, so that a slow spell of the disk does not fall on one side only; the
    // best round of each side counts.
    struct Times {
        double encrypt = 1e9;
        double decrypt = 1e9;
    } window, cli;
    bool ok = true;
    constexpr int Rounds = 5;
    std::printf("%-34s %9s %9s %9s\n", "", "encrypt", "decrypt", "both");
    for (int round = 1; round <= Rounds; ++round) {
        sync();
        auto start = std::chrono::steady_clock::now();
        win.DoForAll(qv::Direction::Encrypt);
        const double windowEncrypt = Seconds(start);
        ok = ok && CountFiles(desktopTree, ".cry") == Folders * FilesPerFolder;
        sync();
        start = std::chrono::steady_clock::now();
        win.DoForAll(qv::Direction::Decrypt);
        const double windowDecrypt = Seconds(start);
        ok = ok && Digest(windowFiles) == before && CountFiles(desktopTree, ".cry") == 0 &&
             answers.unexpected == 0;

        sync();
        start = std::chrono::steady_clock::now();
        ok = RunCli(encrypt) && ok;
        const double cliEncrypt = Seconds(start);
        sync();
        start = std::chrono::steady_clock::now();
        ok = RunCli(decrypt) && ok;
        const double cliDecrypt = Seconds(start);
        ok = ok && Digest(cliFiles) == before;

        std::printf("round %d %-26s %8.2fs %8.2fs %8.2fs\n", round, "window", windowEncrypt,
                    windowDecrypt, windowEncrypt + windowDecrypt);
        std::printf("round %d %-26s %8.2fs %8.2fs %8.2fs\n", round, "quorvane-cli", cliEncrypt,
                    cliDecrypt, cliEncrypt + cliDecrypt);
        window = {std::min(window.encrypt, windowEncrypt), std::min(window.decrypt, windowDecrypt)};
        cli = {std::min(cli.encrypt, cliEncrypt), std::min(cli.decrypt, cliDecrypt)};
    }
    std::printf("%-34s %8.2fs %8.2fs %8.2fs\n", "best: window, Encrypt/Decrypt all", window.encrypt,
                window.decrypt, window.encrypt + window.decrypt);
    std::printf("%-34s %8.2fs %8.2fs %8.2fs\n", "best: quorvane-cli", cli.encrypt, cli.decrypt,
                cli.encrypt + cli.decrypt);
    std::printf("ratio window / quorvane-cli: %.2f (encrypt %.2f, decrypt %.2f)%s\n",
                (window.encrypt + window.decrypt) / (cli.encrypt + cli.decrypt),
                window.encrypt / cli.encrypt, window.decrypt / cli.decrypt,
                ok ? "" : "  (a run FAILED: the figures do not count)");
    fs::remove_all(work);
    return ok ? 0 : 1;
}
