#include "DirectoryTree.h"
#include "DriveBox.h"
#include "FileSystem.h"
#include "ShellFixture.h"
#include "TComboChange.h"
#include "WindowFrame.h"
#include "ui_MainWin.h"
#include "ui_TComboChange.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace qv;
using namespace qvtest;

TEST(ComboChange, StaysOpenUntilTheChosenDriveIsReady) {
    ScriptedDrives drives;
    drives.notReady = {"/"};
    TComboChange dialog(drives);
    auto& ui = dialog.Ui();
    EXPECT_EQ(dialog.windowTitle(), "錯誤 !");
    EXPECT_EQ(ui.Label1->text(), "裝置還沒有準備好.");
    EXPECT_EQ(ui.Another_Label->text(), "請指定另外的");
    EXPECT_TRUE(ui.Ok_Button->isDefault());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    dialog.show();
    EXPECT_EQ(ui.DriveComboBox1->currentIndex(), 0);
    EXPECT_EQ(dialog.ChosenDrive(), "/");

    QTest::mouseClick(ui.Ok_Button, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(drives.asked, std::vector<std::string>{"/"});
    // Neither Escape nor the window's close request ends it.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());

    drives.notReady.clear();
    QTest::mouseClick(ui.Ok_Button, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ComboChange, LaysItselfOutAroundItsTexts) {
    ScriptedDrives drives;
    TComboChange dialog(drives);
    dialog.show();
    const auto& ui = dialog.Ui();
    const QRect box = ui.DriveComboBox1->geometry();
    EXPECT_EQ(box.left(), ui.Another_Label->x() + ui.Another_Label->width() + 30);
    EXPECT_EQ(dialog.width(), ClientWidthFor(box.right() + 1 + 45));
    const QRect ok = ui.Ok_Button->geometry();
    EXPECT_EQ(dialog.height(), ClientHeightFor(ok.bottom() + 1 + 50));
    EXPECT_LE(std::abs(ok.center().x() - ui.Panel1->geometry().center().x()), 1);
    EXPECT_GT(ok.top(), box.bottom());
    EXPECT_GT(ui.Another_Label->y(), ui.Label1->geometry().bottom());
}

TEST_F(ShellTest, ADriveThatIsNotReadyAsksForAnotherOne) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    DriveBox* box = win.Ui().DriveComboBox1;
    const int last = box->count() - 1;
    const std::string chosen = box->DriveAt(last).toStdString();
    drives.notReady = {chosen, "/"};

    bool stayedOpen = false;
    QTimer::singleShot(0, forms->ComboChange.get(), [&] {
        TComboChange& dialog = *forms->ComboChange;
        QTest::mouseClick(dialog.Ui().Ok_Button, Qt::LeftButton); // "/" is not ready either
        stayedOpen = dialog.isVisible();
        drives.notReady.erase("/");
        QTest::mouseClick(dialog.Ui().Ok_Button, Qt::LeftButton);
    });
    win.DriveComboBox1Click(last);

    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(forms->ComboChange->isVisible());
    EXPECT_EQ(box->CurrentDrive(), "/");
    EXPECT_EQ(win.Ui().User_DirectoryListBox->Drive(), "/");
    EXPECT_EQ(win.Ui().User_DirectoryListBox->Directory(), "/");
    EXPECT_EQ(CurrentDirectory(), "/");
    EXPECT_EQ(drives.asked.front(), chosen);
}

TEST_F(ShellTest, AReadyDriveMovesTheTreeThere) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    DriveBox* box = win.Ui().DriveComboBox1;
    box->SetDrives({"/", QString::fromStdString(work)});
    win.DriveComboBox1Click(1);
    EXPECT_EQ(win.Ui().User_DirectoryListBox->Drive().toStdString(), work);
    EXPECT_EQ(CurrentDirectory(), work);
    EXPECT_FALSE(forms->ComboChange->isVisible());
    EXPECT_TRUE(answers.shown.empty());
}
