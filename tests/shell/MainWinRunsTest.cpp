// The main window's runs: every command that starts one, the real password dialog during a list
// run, the tree's context menu and the stop button.
#include "DirectoryTree.h"
#include "FileListView.h"
#include "FileRuns.h"
#include "FileSystem.h"
#include "PrgState.h"
#include "Pwd.h"
#include "ShellFixture.h"
#include "TEncrypt.h"
#include "ui_MainWin.h"

#include "FileListModel.h"
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QTest>

#include <sys/stat.h>

using namespace qv;
using namespace qvtest;

namespace {

class MainWinRunsTest : public WindowTest {
protected:
    // A password held for the whole program, so that no dialog comes.
    void HoldPassword() {
        WindowTest::HoldPassword("secret-12");
        win->Pwd().OnePassword = true;
        // Start-up's choice of the method expired the password held then.
        win->Pwd().PasswordExpired = false;
    }
};

} // namespace

TEST_F(MainWinRunsTest, EveryCommandOfTheToolBarMenusAndGesturesRunsTheSelection) {
    HoldPassword();
    Ui::TMainWin& ui = win->Ui();
    FileListView* plain = win->SourceList();
    FileListView* crypted = win->CryptedList();
    const std::pair<const char*, std::function<void()>> encrypt[] = {
        {"tool bar", [&] { ui.Encrypt_Button->trigger(); }},
        {"File menu", [&] { ui.Encrypt_MenuItem->trigger(); }},
        {"context menu", [&] { ui.Encrypt1->trigger(); }},
        {"double click", [&] { emit plain->DoubleClicked(); }},
        {"drop on the crypted list", [&] { crypted->DropFrom(plain->CurrentView()); }},
    };
    const std::pair<const char*, std::function<void()>> decrypt[] = {
        {"tool bar", [&] { ui.Decrypt_Button->trigger(); }},
        {"File menu", [&] { ui.Decrypt_MenuItem->trigger(); }},
        {"context menu", [&] { ui.Decrypt1->trigger(); }},
        {"double click", [&] { emit crypted->DoubleClicked(); }},
        {"drop on the plain list", [&] { plain->DropFrom(crypted->CurrentView()); }},
    };
    const std::string cryptedCaption = win->Settings().ShowCry ? "report.txt.cry" : "report.txt";
    for (std::size_t i = 0; i < std::size(encrypt); ++i) {
        SCOPED_TRACE(std::string("encrypt from the ") + encrypt[i].first + ", decrypt from the " +
                     decrypt[i].first);
        SelectOnly(plain, "report.txt");
        encrypt[i].second();
        EXPECT_TRUE(PathExists(work + "/report.txt.cry"));
        EXPECT_FALSE(PathExists(work + "/report.txt"));

        SelectOnly(crypted, cryptedCaption);
        decrypt[i].second();
        EXPECT_EQ(ReadText(work + "/report.txt"), "quarterly figures");
        EXPECT_FALSE(PathExists(work + "/report.txt.cry"));
    }
    EXPECT_TRUE(answers.shown.empty());
    EXPECT_FALSE(ui.StopProcess_Button->isEnabled());
}

TEST_F(MainWinRunsTest, ARunAsksInTheRealDialogWithCancelAllOfferedAndTidiesUpAfterwards) {
    Ui::TMainWin& ui = win->Ui();
    TEncrypt& dialog = *forms->Encrypt;
    SelectOnly(win->SourceList(), "report.txt");
    bool stopDuringRun = false;
    bool cancelAllDuringRun = false;
    WhenShown play(&dialog, [&] {
        stopDuringRun = ui.StopProcess_Button->isEnabled();
        cancelAllDuringRun = dialog.Ui().CancelAll->isVisible();
        EXPECT_EQ(dialog.Ui().FName_Label->toolTip().toStdString(), work + "/report.txt");
        QTest::keyClicks(dialog.Ui().MaskEdit1, "typed-pass");
        QTest::keyClick(dialog.Ui().MaskEdit1, Qt::Key_Return);
        QTest::keyClicks(dialog.Ui().MaskEdit2, "typed-pass");
        QTest::keyClick(dialog.Ui().MaskEdit2, Qt::Key_Return);
    });
    ui.Encrypt_Button->trigger();
    EXPECT_TRUE(PathExists(work + "/report.txt.cry"));
    EXPECT_TRUE(stopDuringRun);
    EXPECT_TRUE(cancelAllDuringRun);
    EXPECT_FALSE(dialog.Ui().CancelAll->isVisibleTo(&dialog));
    EXPECT_FALSE(ui.StopProcess_Button->isEnabled());
    EXPECT_FALSE(ui.ProgressBar1->isVisible());
    EXPECT_FALSE(win->PrgState().ListsRaised);
    // Typed for this run only: the next run asks again.
    EXPECT_FALSE(win->Pwd().HasPassword);
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(MainWinRunsTest, EncryptAllFromTheTreeRunsOverTheFolderShownWithTheTreeDisabled) {
    HoldPassword();
    Ui::TMainWin& ui = win->Ui();
    WriteText(work + "/Letters/to-bank.txt", "dear sir");
    bool treeDuringRun = true;
    win->Pwd().ChunkDone = [&] { treeDuringRun = ui.User_DirectoryListBox->isEnabled(); };
    answers.next = {ButtonYes};

    ui.EncriptAll1->trigger();

    EXPECT_TRUE(PathExists(work + "/report.txt.cry"));
    EXPECT_TRUE(PathExists(work + "/.profile.cry"));
    EXPECT_TRUE(PathExists(work + "/Letters/to-bank.txt.cry"));
    EXPECT_FALSE(treeDuringRun);
    EXPECT_TRUE(ui.User_DirectoryListBox->isEnabled());
    EXPECT_TRUE(ui.DriveComboBox1->isEnabled());
    EXPECT_EQ(ui.User_DirectoryListBox->Directory().toStdString(), work);
    // The lists show the folder again, with the details the run left out.
    EXPECT_EQ(Captions(win->SourceList()), std::vector<std::string>{});
    EXPECT_EQ(win->CryptedList()->Model()->rowCount(), 3);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].text, RecurseQuestion);

    // Decrypt all from the same menu.
    answers.next = {ButtonYes};
    ui.Decriptall1->trigger();
    EXPECT_EQ(ReadText(work + "/Letters/to-bank.txt"), "dear sir");
    EXPECT_EQ(ReadText(work + "/report.txt"), "quarterly figures");
}

TEST_F(MainWinRunsTest, TheStopButtonAsksOnlyWhileAFileIsInTheEngine) {
    Ui::TMainWin& ui = win->Ui();
    ui.StopProcess_Button->setEnabled(true);
    TQV_PrgState& state = win->PrgState();

    state.BusyFlags = ProcessingTree;
    ui.StopProcess_Button->trigger();
    EXPECT_TRUE(state.AbortRequested);
    EXPECT_TRUE(answers.shown.empty());

    state.AbortRequested = false;
    state.BusyFlags = ProcessingTree | DecryptingFile;
    answers.next = {ButtonCancel};
    ui.StopProcess_Button->trigger();
    EXPECT_FALSE(state.AbortRequested);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].text, StopQuestion);
    state.BusyFlags = 0;
}

TEST_F(MainWinRunsTest, TheTreeStillSeesNewFoldersAfterARun) {
    HoldPassword();
    DirectoryTree* tree = win->Ui().User_DirectoryListBox;
    QFileSystemModel* model = tree->FileSystem();
    // Whether the model lists the folder among the work folder's children; asking for its
    // index by path would read it in on the spot.
    const QModelIndex parent = model->index(QString::fromStdString(work));
    auto listed = [&](const std::string& name) {
        for (int row = 0; row < model->rowCount(parent); ++row)
            if (model->fileName(model->index(row, 0, parent)).toStdString() == name)
                return true;
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed("Letters"); }, 5000));
    answers.next = {ButtonNo};
    win->Ui().EncriptAll1->trigger();
    ASSERT_TRUE(PathExists(work + "/report.txt.cry"));

    ASSERT_EQ(mkdir((work + "/Made-later").c_str(), 0755), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed("Made-later"); }, 5000));
}
