// The main window's work on files: single files moving between the real lists, the Delete
// command with its dialog, the current password's timer, and the master-password dialog at
// start-up.
#include "DirCryptor.h"
#include "FileListView.h"
#include "FileSystem.h"
#include "PanelBar.h"
#include "PrgState.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "ShellFixture.h"
#include "TDelDialog.h"
#include "TMasterPwd_Form.h"
#include "WindowFrame.h"
#include "ui_MainWin.h"

#include "FileListModel.h"
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTest>
#include <QTimer>

using namespace qv;
using namespace qvtest;

namespace {

using Captions_ = std::vector<std::string>;

class MainWinFilesTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        HoldPassword("secret-12");
    }

    // The work list as a list command sets it: the folder the lists show.
    void CollectIn() { win->DirCryptor().CollectSelection({}, win->ShownDirectory()); }
};

} // namespace

TEST_F(MainWinFilesTest, AFileMovesToTheCryptedListAndBackUnderTheCaptionOfShowCry) {
    for (const bool showCry : {true, false}) {
        SCOPED_TRACE(showCry ? "ShowCry on" : "ShowCry off");
        win->Settings().ShowCry = showCry;
        win->ReadFLists();
        const std::string budget = showCry ? "budget.xls.cry" : "budget.xls";
        const std::string report = showCry ? "report.txt.cry" : "report.txt";
        CollectIn();

        win->EncrFile("report.txt");
        EXPECT_EQ(Captions(win->SourceList()), Captions_{".profile"});
        EXPECT_EQ(Captions(win->CryptedList()), (Captions_{budget, report}));

        win->DecrFile(report);
        EXPECT_EQ(Captions(win->SourceList()), (Captions_{".profile", "report.txt"}));
        EXPECT_EQ(Captions(win->CryptedList()), Captions_{budget});
        EXPECT_EQ(ReadText(work + "/report.txt"), "quarterly figures");
    }
    EXPECT_TRUE(answers.shown.empty());
    EXPECT_EQ(win->Ui().StatusBar3->PanelText(0), "Idle.");
}

TEST_F(MainWinFilesTest, AReplacedCryptedFileIsListedOnce) {
    WriteText(work + "/report.txt.cry", "an older crypted file");
    win->ReadFLists();
    CollectIn();
    answers.next = {ButtonOk};
    win->EncrFile("report.txt");
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(Captions(win->CryptedList()), (Captions_{"budget.xls.cry", "report.txt.cry"}));
    EXPECT_EQ(Captions(win->SourceList()), Captions_{".profile"});
}

TEST_F(MainWinFilesTest, TheDelKeyAndTheContextMenuDeleteAfterTheDialog) {
    TDelDialog& dialog = *forms->DelDialog;
    SelectOnly(win->SourceList(), "report.txt");
    {
        const WhenShown user(&dialog, [&] {
            EXPECT_EQ(dialog.Ui().FName_Label->text().toStdString(), work + "/report.txt?");
            // Sized to its buttons: 35 pixels right of the last one, 45 below it; the
            // buttons stand below the whole path.
            const QRect last = dialog.Ui().CancelAll_Button->geometry();
            EXPECT_EQ(dialog.width(), ClientWidthFor(last.right() + 1 + 35));
            EXPECT_EQ(dialog.height(), ClientHeightFor(last.bottom() + 1 + 45));
            EXPECT_GT(last.top(), dialog.Ui().FName_Label->geometry().bottom());
            EXPECT_TRUE(dialog.Ui().Button1->isDefault());
            QTest::keyClick(&dialog, Qt::Key_Return); // Delete, the default button
        });
        QTest::keyClick(win->SourceList()->CurrentView(), Qt::Key_Delete);
    }
    EXPECT_FALSE(PathExists(work + "/report.txt"));
    EXPECT_EQ(Captions(win->SourceList()), Captions_{".profile"});
    EXPECT_FALSE(win->Ui().StopProcess_Button->isEnabled());

    // The crypted list's entry without ".cry": the dialog names the file with it.
    win->Settings().ShowCry = false;
    win->ReadFLists();
    SelectOnly(win->CryptedList(), "budget.xls");
    {
        const WhenShown user(&dialog, [&] {
            EXPECT_EQ(dialog.Ui().FName_Label->text().toStdString(), work + "/budget.xls.cry?");
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        win->Ui().Delete2->trigger();
    }
    EXPECT_TRUE(PathExists(work + "/budget.xls.cry"));
    {
        const WhenShown user(&dialog, [&] { dialog.Ui().Button3->click(); }); // Delete all
        win->Ui().Delete2->trigger();
    }
    EXPECT_FALSE(PathExists(work + "/budget.xls.cry"));
    EXPECT_TRUE(Captions(win->CryptedList()).empty());
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(MainWinFilesTest, DeleteWhileAFileIsEncryptedOnlyAsksToWait) {
    PanelRecorder status(win->Ui().StatusBar3, 0);
    SelectOnly(win->SourceList(), "report.txt");
    win->PrgState().BusyFlags = EncryptingFile;
    QTest::keyClick(win->SourceList()->CurrentView(), Qt::Key_Delete);
    win->PrgState().BusyFlags = 0;
    EXPECT_EQ(status.texts.back(), PleaseWaitMessage);
    EXPECT_FALSE(forms->DelDialog->isVisible());
    EXPECT_TRUE(PathExists(work + "/report.txt"));
}

TEST_F(MainWinFilesTest, TheCurrentPasswordsTimerAndButtonBelongToTheWindow) {
    TQV_Pwd& pwd = win->Pwd();
    pwd.OnePassword = true;
    pwd.ExpireMinutes = 1;
    win->PwdExpiry().Accept();
    EXPECT_TRUE(win->PwdTimer->isActive());
    EXPECT_TRUE(win->Ui().PwdExpire_Button->isEnabled());
    for (int tick = 0; tick < 60; ++tick)
        win->PwdTimerTimer();
    EXPECT_FALSE(pwd.PasswordExpired);
    win->PwdTimerTimer(); // the 61st
    EXPECT_TRUE(pwd.PasswordExpired);
    EXPECT_FALSE(win->PwdTimer->isActive());
    EXPECT_FALSE(win->Ui().PwdExpire_Button->isEnabled());

    // "Expire" 0: the button alone expires it.
    pwd.ExpireMinutes = 0;
    win->PwdExpiry().Accept();
    EXPECT_FALSE(win->PwdTimer->isActive());
    EXPECT_TRUE(win->Ui().PwdExpire_Button->isEnabled());
    win->Ui().PwdExpire_Button->trigger();
    EXPECT_TRUE(pwd.PasswordExpired);
    EXPECT_FALSE(win->Ui().PwdExpire_Button->isEnabled());

    // A click on the method button already pressed expires a fresh password too.
    win->PwdExpiry().Accept();
    QTest::mouseClick(win->Ui().IDEA_Button, Qt::LeftButton);
    QTest::mouseClick(win->Ui().IDEA_Button, Qt::LeftButton);
    EXPECT_TRUE(pwd.PasswordExpired);
    EXPECT_EQ(win->Ui().StatusBar3->PanelText(0).toStdString(),
              "Since your default encryption method has changed, you will be prompted to "
              "assign a new password.");

    win->DropExpiredPasswords();
    EXPECT_FALSE(pwd.HasPassword);
}

TEST_F(ShellTest, WithTheDatabaseInUseTheStartAsksForTheMasterPassword) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    win.PwdTable().MasterPass.Store = true;
    win.PwdTable().MasterPass.Dir = dir / "xwords.001";
    win.PrgState().SavePassword = true;
    TMasterPwd_Form& dialog = *forms->MasterPwd_Form;
    {
        const WhenShown user(&dialog, [&] {
            EXPECT_EQ(dialog.focusWidget(), dialog.Ui().MaskEdit1);
            dialog.Ui().NotUse_Button->click();
        });
        ShowAndActivate(win);
    }
    EXPECT_FALSE(win.PwdTable().MasterPass.Store);
    EXPECT_FALSE(win.PrgState().SavePassword);
    EXPECT_FALSE(win.PwdTable().MasterPass.HasPassword);
}
