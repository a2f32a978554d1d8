// quorvane-tree-bench: a run over many small files through the desktop program's tree run, next
// to the same files through quorvane-cli. It makes a tree of 1,000 files of 4 KiB in 50 folders,
// encrypts and decrypts it with Encrypt all and Decrypt all of the main window (offscreen, the
// password held as if typed once for the program), then the same with quorvane-cli, and prints
// the times and the window's ratio to the command line's.
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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
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

    const std::vector<fs::path> windowFiles = MakeTree(desktopTree);
    const std::vector<fs::path> cliFiles = MakeTree(cliTree);
    const std::string before = Digest(windowFiles);
    std::printf("%d files of %zu bytes in %d folders, in %s\n", Folders * FilesPerFolder, FileBytes,
                Folders, work.c_str());

    BenchAnswers answers;
    const qv::DriveCheck drives;
    double windowEncrypt = 0;
    double windowDecrypt = 0;
    bool windowOk = false;
    {
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

        auto start = std::chrono::steady_clock::now();
        win.DoForAll(qv::Direction::Encrypt);
        windowEncrypt = Seconds(start);
        const int crypted = CountFiles(desktopTree, ".cry");
        start = std::chrono::steady_clock::now();
        win.DoForAll(qv::Direction::Decrypt);
        windowDecrypt = Seconds(start);
        windowOk = crypted == Folders * FilesPerFolder && Digest(windowFiles) == before &&
                   CountFiles(desktopTree, ".cry") == 0 && answers.unexpected == 0;
    }

    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> encrypt = {"encrypt", "--method", "idea", "--password-env",
                                        "QV_BENCH_PASSWORD"};
    const std::vector<std::string> plainPaths = Paths(cliFiles, "");
    encrypt.insert(encrypt.end(), plainPaths.begin(), plainPaths.end());
    bool cliOk = RunCli(encrypt);
    const double cliEncrypt = Seconds(start);
    start = std::chrono::steady_clock::now();
    std::vector<std::string> decrypt = {"decrypt", "--password-env", "QV_BENCH_PASSWORD"};
    const std::vector<std::string> cryptedPaths = Paths(cliFiles, ".cry");
    decrypt.insert(decrypt.end(), cryptedPaths.begin(), cryptedPaths.end());
    cliOk = RunCli(decrypt) && cliOk;
    const double cliDecrypt = Seconds(start);
    cliOk = cliOk && Digest(cliFiles) == Digest(windowFiles);

    std::printf("%-34s %9s %9s %9s\n", "", "encrypt", "decrypt", "both");
    std::printf("%-34s %8.2fs %8.2fs %8.2fs%s\n", "window: Encrypt all, Decrypt all", windowEncrypt,
                windowDecrypt, windowEncrypt + windowDecrypt, windowOk ? "" : "  (FAILED)");
    std::printf("%-34s %8.2fs %8.2fs %8.2fs%s\n", "quorvane-cli encrypt, decrypt", cliEncrypt,
                cliDecrypt, cliEncrypt + cliDecrypt, cliOk ? "" : "  (FAILED)");
    std::printf("ratio window / quorvane-cli: %.2f (encrypt %.2f, decrypt %.2f)\n",
                (windowEncrypt + windowDecrypt) / (cliEncrypt + cliDecrypt),
                windowEncrypt / cliEncrypt, windowDecrypt / cliDecrypt);
    fs::remove_all(work);
    return windowOk && cliOk ? 0 : 1;
}
