// Crypted files opened in real applications through the desktop's default application and the
// CUPS client: a desktop entry of a temporary XDG data folder, made the default for plain text,
// starts a script that records what it was given; a fake lp early in PATH does the same.
#include "CommandLine.h"
#include "CryptFile.h"
#include "DesktopLauncher.h"
#include "FileListView.h"
#include "FileSystem.h"
#include "OpenFiles.h"
#include "PrgState.h"
#include "Pwd.h"
#include "RegistryEdit.h"
#include "RegistryKeys.h"
#include "ShellFixture.h"
#include "ui_MainWin.h"

#include "FileListModel.h"
#include <QAction>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace qv;
using namespace qvtest;

namespace {

constexpr const char* Password = "secret-12";

void WriteScript(const std::string& path, const std::string& text) {
    WriteText(path, "#!/bin/sh\n" + text);
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    if (!PathExists(path))
        return lines;
    std::istringstream in(ReadText(path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// name.cry in folder, encrypted with Password, and no plain name.
void WriteCryptedFile(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    WriteText(path, "content of " + name);
    TQV_Pwd holder;
    holder.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(Password), std::strlen(Password));
    ASSERT_EQ(holder.EncryptFile(path, MethodIdea), CryptOk);
    ASSERT_EQ(unlink(path.c_str()), 0);
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The desktop as the tests need it: a viewer made the default application for plain text, and
// a fake lp first in PATH. Both write what they were given into the log.
class FakeDesktop {
public:
    explicit FakeDesktop(const std::string& root) : log(root + "/launches.log") {
        const std::string data = root + "/xdg-data", config = root + "/xdg-config",
                          bin = root + "/bin";
        for (const std::string& folder : {data, data + "/applications", config, bin})
            mkdir(folder.c_str(), 0755);
        // The viewer stays open as long as the file's name says: "short" ones 0.3 s, others
        // until the test ends them; "handed" ones pass the file on to a process of their own
        // that keeps it open for 1 s, and end at once. Its output goes nowhere, so that no
        // process left behind holds the test's output open.
        WriteScript(bin + "/viewer", "exec >/dev/null 2>&1\n"
                                     "echo \"open $1\" >> '" +
                                         log +
                                         "'\n"
                                         "case \"$1\" in\n"
                                         "  *handed*) exec 3<\"$1\"; sleep 1 & ;;\n"
                                         "  *short*) sleep 0.3 ;;\n"
                                         "  *) exec sleep 30 ;;\n"
                                         "esac\n"
                                         "echo \"end $1\" >> '" +
                                         log + "'\n");
        WriteScript(bin + "/lp", "echo \"lp $*\" >> '" + log + "'\n");
        WriteText(data + "/applications/quorvane-test-viewer.desktop",
                  "[Desktop Entry]\nType=Application\nName=Test viewer\nExec=" + bin +
                      "/viewer %f\nMimeType=text/plain;\n");
        WriteText(config + "/mimeapps.list",
                  "[Default Applications]\ntext/plain=quorvane-test-viewer.desktop\n");
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_CONFIG_DIRS", config.c_str(), 1);
        // The system's folder for the file types; its applications are never the default.
        setenv("XDG_DATA_DIRS", (data + ":/usr/share").c_str(), 1);
        setenv("PATH", (bin + ":" + std::getenv("PATH")).c_str(), 1);
    }

    std::vector<std::string> Lines() const { return ::Lines(log); }
    void ClearLog() const { unlink(log.c_str()); }

    std::string log;
};

// GIO reads the XDG folders once per process, so every test of a process shares one desktop.
const FakeDesktop& Desktop() {
    static const TempDir root;
    static const FakeDesktop desktop(root.Path());
    return desktop;
}

class OpenInApplicationTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        win->SetLauncher(&launcher);
        Desktop().ClearLog();
        win->Pwd().OnePassword = true;
        HoldPassword(Password);
        win->Pwd().PasswordExpired = false;
    }

    void TearDown() override {
        // The applications still open end with the test.
        for (const OpenFileInfoR& slot : win->PrgState().OpFiles.Slots)
            if (slot.Used && slot.Process > 0 && kill(slot.Process, SIGKILL) == 0)
                waitpid(slot.Process, nullptr, 0);
        WindowTest::TearDown();
    }

    void WriteCrypted(const std::string& name) { WriteCryptedFile(work, name); }

    void SelectCrypted(const std::vector<std::string>& names) {
        win->ReReadLists();
        FileListView* list = win->CryptedList();
        list->Selection()->clearSelection();
        for (const std::string& name : names) {
            const QString caption =
                QString::fromStdString(win->Settings().ShowCry ? name + ".cry" : name);
            const QModelIndexList found = list->Model()->match(
                list->Model()->index(0, 0), Qt::DisplayRole, caption, -1, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name;
            list->Selection()->select(found.first(),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    const FakeDesktop& desktop = Desktop();
    DesktopLauncher launcher;
};

} // namespace

TEST_F(OpenInApplicationTest, ThreeFilesOpenAndTheOneWhoseApplicationEndsIsEncryptedAgainAtOnce) {
    for (const bool showCry : {true, false}) {
        SCOPED_TRACE(showCry ? "ShowCry on" : "ShowCry off");
        win->Settings().ShowCry = showCry;
        const std::string prefix = showCry ? "on-" : "off-";
        const std::string a = prefix + "a.txt", b = prefix + "b-short.txt", c = prefix + "c.txt";
        for (const std::string& name : {a, b, c})
            WriteCrypted(name);
        SelectCrypted({a, b, c});

        win->Ui().Open2->trigger();

        // Each application got the plain file's path, without ".cry".
        for (const std::string& name : {a, b, c}) {
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return Has(desktop.Lines(), "open " + work + "/" + name); }, 5000))
                << name;
            EXPECT_EQ(ReadText(work + "/" + name), "content of " + name);
        }
        EXPECT_EQ(win->OpenFiles().Count(), 3);
        EXPECT_TRUE(win->NotifyOpenFiles_Timer->isActive());

        // The second application ends first: its file, and only it, is encrypted again.
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return Has(desktop.Lines(), "end " + work + "/" + b); }, 5000));
        QElapsedTimer sinceEnd;
        sinceEnd.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return PathExists(work + "/" + b + ".cry"); }, 2000));
        std::printf("[ figures  ] encrypted again %lld ms after its application ended\n",
                    static_cast<long long>(sinceEnd.elapsed()));
        EXPECT_FALSE(PathExists(work + "/" + b));
        EXPECT_TRUE(PathExists(work + "/" + a));
        EXPECT_TRUE(PathExists(work + "/" + c));
        EXPECT_EQ(win->OpenFiles().Count(), 2);

        for (const OpenFileInfoR& slot : win->PrgState().OpFiles.Slots)
            if (slot.Used)
                kill(slot.Process, SIGTERM);
        ASSERT_TRUE(QTest::qWaitFor([&] { return win->OpenFiles().Count() == 0; }, 5000));
        EXPECT_TRUE(PathExists(work + "/" + a + ".cry"));
        EXPECT_TRUE(PathExists(work + "/" + c + ".cry"));
        EXPECT_FALSE(win->NotifyOpenFiles_Timer->isActive());
    }
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(OpenInApplicationTest, AFileHandedToAnotherProcessWaitsUntilThatProcessLetsItGo) {
    WriteCrypted("handed.txt");
    SelectCrypted({"handed.txt"});
    win->Ui().Open2->trigger();
    const std::string path = work + "/handed.txt";
    ASSERT_TRUE(QTest::qWaitFor([&] { return Has(desktop.Lines(), "end " + path); }, 5000));
    // The started application has ended, but its child still reads the file.
    QTest::qWait(500);
    EXPECT_TRUE(PathExists(path));
    EXPECT_EQ(win->OpenFiles().Count(), 1);
    EXPECT_EQ(win->Ui().StatusBar3->PanelText(0).toStdString(), FillIn(StillHeldMessage, path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return PathExists(path + ".cry"); }, 5000));
    EXPECT_FALSE(PathExists(path));
}

TEST_F(OpenInApplicationTest, PrintingHandsThePlainFileToLpAndEncryptsItAgainWhenLpEnds) {
    WriteCrypted("letter.txt");
    SelectCrypted({"letter.txt"});
    win->Ui().Print2->trigger();
    const std::string path = work + "/letter.txt";
    ASSERT_TRUE(QTest::qWaitFor([&] { return PathExists(path + ".cry"); }, 3000));
    EXPECT_EQ(desktop.Lines(), std::vector<std::string>{"lp -- " + path});
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(win->OpenFiles().Count(), 0);
}

TEST_F(OpenInApplicationTest, OpenOnThePlainListStartsTheApplicationWithoutWatching) {
    WriteText(work + "/short-note.txt", "a note");
    win->ReReadLists();
    SelectOnly(win->SourceList(), "short-note.txt");
    win->Ui().Open1->trigger();
    const std::string path = work + "/short-note.txt";
    ASSERT_TRUE(QTest::qWaitFor([&] { return Has(desktop.Lines(), "end " + path); }, 5000));
    EXPECT_EQ(desktop.Lines().front(), "open " + path);
    EXPECT_EQ(win->OpenFiles().Count(), 0);
    QTest::qWait(300);
    EXPECT_EQ(ReadText(path), "a note");
    // The ended application is reaped, and then there is nothing left to watch.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !win->NotifyOpenFiles_Timer->isActive(); }, 2000));
}

namespace {

// The program started with arguments, as the file manager or a terminal starts it.
class CommandLineStartTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        Desktop().ClearLog();
        // One password for the whole program, so that "/pass:" spares the dialogs.
        WriteRegistry(WithValue(FirstText(), keys::Options, "OnePassword", "dword:00000001"));
    }

    void WriteCrypted(const std::string& name) { WriteCryptedFile(work, name); }

    // Starts the program's windows with the arguments and shows the main window.
    void StartWith(std::vector<std::string> arguments) {
        forms = Start();
        forms->MainWin->SetLauncher(&launcher);
        forms->MainWin->SetArguments(CommandArguments(std::move(arguments), work));
        ShowAndActivate(*forms->MainWin);
    }

    DesktopLauncher launcher;
    std::unique_ptr<Forms> forms;
};

} // namespace

TEST_F(CommandLineStartTest, TheProgramEndsAfterItsArgumentsAndKeepsItsMethod) {
    StartWith({"/pass:" + std::string(Password), "/DES", "report.txt"});
    EXPECT_FALSE(forms->MainWin->isVisible());
    EXPECT_EQ(FileMethodName(work + "/report.txt.cry"), "DES");
    EXPECT_FALSE(PathExists(work + "/report.txt"));
    EXPECT_TRUE(answers.shown.empty());
    forms.reset();
    // The method the settings had before the switch is the one written back.
    EXPECT_NE(ReadRegistry().find("\"Method\"=dword:00000001"), std::string::npos);
}

TEST_F(CommandLineStartTest, AFileOpenInItsApplicationKeepsTheProgramRunning) {
    WriteCrypted("short-memo.txt");
    StartWith({"/pass:" + std::string(Password), "/open", "short-memo.txt.cry"});
    TMainWin& win = *forms->MainWin;
    EXPECT_TRUE(win.isVisible());
    const std::string path = work + "/short-memo.txt";
    ASSERT_TRUE(QTest::qWaitFor([&] { return PathExists(path + ".cry"); }, 5000));
    EXPECT_TRUE(Has(Desktop().Lines(), "open " + path));
    EXPECT_FALSE(PathExists(path));
    // The program stays; the user closes it.
    EXPECT_TRUE(win.isVisible());
}

TEST_F(CommandLineStartTest, ThePasswordOfTheCommandLineIsGoneFromTheProcessList) {
    WriteCrypted("short-diary.txt");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QString::fromStdString(work));
    program.start(QV_PROGRAM, {"/pass:" + QString(Password), "/open", "short-diary.txt.cry"});
    ASSERT_TRUE(program.waitForStarted(5000));
    const std::string path = work + "/short-diary.txt";
    // Once the file is open the arguments have long been read, and the program stays.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Has(Desktop().Lines(), "open " + path); }, 10000));
    const std::string cmdline =
        ReadText("/proc/" + std::to_string(program.processId()) + "/cmdline");
    EXPECT_NE(cmdline.find("/pass:"), std::string::npos);
    EXPECT_NE(cmdline.find("short-diary.txt.cry"), std::string::npos);
    EXPECT_EQ(cmdline.find(Password), std::string::npos);
    // The application ends, and the program encrypts the file again by itself.
    EXPECT_TRUE(QTest::qWaitFor([&] { return PathExists(path + ".cry"); }, 5000));
    program.kill();
    program.waitForFinished(5000);
}
