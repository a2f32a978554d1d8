// The preferences, the tip of the day and the about box as the user meets them: opened from the
// menus of the real window, played with mouse and keyboard.
#include "AboutInfo.h"
#include "MasterPass.h"
#include "PrgState.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "RegistryEdit.h"
#include "RegistryKeys.h"
#include "ShellFixture.h"
#include "TAbout.h"
#include "TPreferences.h"
#include "TTIP_Form.h"
#include "Tips.h"
#include "ui_MainWin.h"

#include "FileSystem.h"
#include "HelpViewer.h"

#include <QAction>
#include <QTest>
#include <QTextBrowser>

#include <set>
#include <sys/stat.h>

using namespace qv;
using namespace qvtest;

namespace {

class DialogsTest : public WindowTest {
protected:
    TPreferences& Preferences() { return *forms->Preferences; }
    TTIP_Form& Tip() { return *forms->TIP_Form; }
    TAbout& About() { return *forms->About; }

    std::string TipText() { return Tip().Ui().Tip_Memo->toPlainText().toStdString(); }
};

// Types into the field and moves the focus on, which is when the field takes its value. The
// focus moves with its events only in the active window.
void TypeAndLeave(QSpinBox* spin, const char* text, QWidget* next) {
    spin->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(spin->window(), 5000));
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, text);
    next->setFocus();
    QCoreApplication::processEvents();
}

} // namespace

TEST_F(DialogsTest, TheTwoPasswordChoicesExcludeEachOtherAndThePanelsFollowTheirBoxes) {
    win->Pwd().OnePassword = false;
    win->Settings().OnePerList = true;
    win->PwdTable().MasterPass.Store = false;
    Ui::TPreferences& ui = Preferences().Ui();
    const WhenShown play(&Preferences(), [&] {
        EXPECT_TRUE(ui.OnePerList_CheckBox->isChecked());
        EXPECT_FALSE(ui.Panel1->isVisible());
        EXPECT_FALSE(ui.StorePanel->isVisible());

        QTest::mouseClick(ui.OnePwd_CheckBox, Qt::LeftButton);
        EXPECT_FALSE(ui.OnePerList_CheckBox->isChecked());
        EXPECT_FALSE(ui.OnePerList_CheckBox->isVisible());
        EXPECT_TRUE(ui.Panel1->isVisible());

        ui.Store_CheckBox->setFocus();
        QTest::keyClick(ui.Store_CheckBox, Qt::Key_Space);
        EXPECT_TRUE(ui.StorePanel->isVisible());
        QTest::mouseClick(ui.MasterPwdExpires_CheckBox, Qt::LeftButton);
        EXPECT_EQ(ui.Panel3->isVisible(), ui.MasterPwdExpires_CheckBox->isChecked());

        TypeAndLeave(ui.ExpTime_SpinEdit, "900", ui.Path_Edit);
        EXPECT_EQ(ui.ExpTime_SpinEdit->value(), 600);
        TypeAndLeave(ui.MasterPwdExpTime_SpinEdit, "abc", ui.Path_Edit);
        EXPECT_EQ(ui.MasterPwdExpTime_SpinEdit->value(), 0);
        TypeAndLeave(ui.MasterPwdExpTime_SpinEdit, "45", ui.Path_Edit);
        QTest::mouseClick(ui.Button1, Qt::LeftButton);
        EXPECT_EQ(ui.MasterPwdExpTime_SpinEdit->value(), 0);
        QTest::mouseClick(ui.Ok_Button, Qt::LeftButton);
    });
    win->Ui().Options2->trigger();
    EXPECT_TRUE(win->Pwd().OnePassword);
    EXPECT_FALSE(win->Settings().OnePerList);
    EXPECT_EQ(win->Pwd().ExpireMinutes, 600);
    EXPECT_TRUE(win->PwdTable().MasterPass.Store);
    EXPECT_EQ(win->PwdTable().MasterPass.ExpireMinutes, 0);
}

TEST_F(DialogsTest, BrowseSetsThePathAtOnceAndOkChangesTheMethodAndTheLists) {
    std::string offered;
    Preferences().ChooseFile = [&](const std::string& start) {
        offered = start;
        return work + "/passwords.key";
    };
    win->PwdTable().MasterPass.Store = true;
    win->PwdTable().MasterPass.Dir.clear();
    Ui::TPreferences& ui = Preferences().Ui();
    {
        const WhenShown play(&Preferences(), [&] {
            EXPECT_EQ(ui.Path_Edit->text().toStdString(), DefaultDatabasePath());
            QTest::mouseClick(ui.Browse, Qt::LeftButton);
            EXPECT_EQ(ui.Path_Edit->text().toStdString(), work + "/passwords.key");
            QTest::keyClick(&Preferences(), Qt::Key_Escape);
        });
        win->Ui().Options2->trigger();
    }
    EXPECT_EQ(offered, DefaultDatabasePath());
    EXPECT_EQ(win->PwdTable().MasterPass.Dir, work + "/passwords.key");

    // OK: the crypted list drops ".cry" and the method follows its button.
    HoldPassword("secret-12");
    ASSERT_TRUE(win->Settings().ShowCry);
    {
        const WhenShown play(&Preferences(), [&] {
            QTest::mouseClick(ui.ShowCry_CheckBox, Qt::LeftButton);
            QTest::mouseClick(ui.TDES_RadioButton, Qt::LeftButton);
            QTest::mouseClick(ui.Ok_Button, Qt::LeftButton);
        });
        win->Ui().Options2->trigger();
    }
    EXPECT_EQ(Captions(win->CryptedList()), std::vector<std::string>{"budget.xls"});
    EXPECT_EQ(win->Settings().Method, MethodTripleDes);
    EXPECT_TRUE(win->Ui().TDES_Button->isChecked());
    EXPECT_FALSE(win->Pwd().HasPassword);
    EXPECT_FALSE(Preferences().isVisible());
}

TEST_F(DialogsTest, TheTipOfTheDayNeverRepeatsItselfAndOnlyOkWritesItsBox) {
    win->Settings().ShowTIP = true;
    std::set<std::string> seen;
    {
        const WhenShown play(&Tip(), [&] {
            EXPECT_NE(TipText(), Tips[0].Text);
            std::string last = TipText();
            seen.insert(last);
            for (int press = 0; press < 1000; ++press) {
                QTest::mouseClick(Tip().Ui().Button3, Qt::LeftButton);
                ASSERT_NE(TipText(), last);
                last = TipText();
                seen.insert(last);
            }
            QTest::mouseClick(Tip().Ui().Show_CheckBox, Qt::LeftButton);
            QTest::keyClick(&Tip(), Qt::Key_Escape);
        });
        win->Ui().Tips1->trigger();
    }
    EXPECT_EQ(seen.size(), TipCount);
    EXPECT_TRUE(win->Settings().ShowTIP); // closed without OK

    {
        const WhenShown play(&Tip(), [&] {
            EXPECT_TRUE(Tip().Ui().Show_CheckBox->isChecked());
            QTest::mouseClick(Tip().Ui().Show_CheckBox, Qt::LeftButton);
            QTest::mouseClick(Tip().Ui().Ok_Button, Qt::LeftButton);
        });
        win->Ui().Tips1->trigger();
    }
    EXPECT_FALSE(win->Settings().ShowTIP);
}

TEST_F(DialogsTest, MoreInfoOpensTheHelpAtTheTipsTopicAndTheHelpTakesInput) {
    mkdir((dir / "share").c_str(), 0755);
    WriteText(dir / "share/Quorvane.html",
              "<html><body><h1 id=\"topic-10\">Ten</h1><h1 id=\"topic-20\">Twenty</h1>"
              "<h1 id=\"topic-50\">Fifty</h1><h1 id=\"topic-60\">Sixty</h1>"
              "<h1 id=\"topic-70\">Seventy</h1></body></html>");
    HelpViewer* help = nullptr;
    const WhenShown play(&Tip(), [&] {
        QTest::mouseClick(Tip().Ui().Button2, Qt::LeftButton);
        help = win->findChild<HelpViewer*>();
        ASSERT_NE(help, nullptr);
        EXPECT_TRUE(help->isVisible());
        // Shown from the modal tip, the help window is not blocked by it.
        EXPECT_EQ(QApplication::activeModalWidget(), help);
        help->close();
        QTest::mouseClick(Tip().Ui().Ok_Button, Qt::LeftButton);
    });
    win->Ui().Tips1->trigger();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->Browser()->source().toString().endsWith("Quorvane.html"));
}

TEST_F(DialogsTest, TheTipComesAtStartWhenWanted) {
    forms.reset(); // writes its settings
    WriteRegistry(WithValue(FirstText(), keys::Options, "ShowTIP", "dword:00000001"));
    forms = Start();
    win = forms->MainWin.get();
    const WhenShown play(&Tip(), [&] { QTest::mouseClick(Tip().Ui().Ok_Button, Qt::LeftButton); });
    ShowAndActivate(*win);
    EXPECT_TRUE(win->Settings().ShowTIP);
}

TEST_F(DialogsTest, TheAboutBoxShowsTheSystemAndOpensItsLinkInTheRegisteredBrowser) {
    // A browser that records the address it was given. It writes the record under another
    // name first, so the test never reads the file between its creation and its text.
    const std::string browser = dir / "browser";
    const std::string opened = dir / "opened";
    WriteText(browser, "#!/bin/sh\necho \"$1\" > '" + opened + ".part' && mv '" + opened +
                           ".part' '" + opened + "'\n");
    ASSERT_EQ(chmod(browser.c_str(), 0755), 0);
    WriteRegistry(WithValue(ReadRegistry(), keys::BrowserCommand, "", "\"" + browser + " %1\""));
    Ui::TAbout& ui = About().Ui();
    const WhenShown play(&About(), [&] {
        EXPECT_EQ(ui.OSVersion_Label->text().toStdString(), OsVersionText(KernelRelease()));
        EXPECT_EQ(ui.PhysMem_Label->text().toStdString(), MemoryText(TotalMemory()));
        EXPECT_EQ(ui.Http_Label->text().toStdString(), LinkAddress("", win->Settings().HelpFile));
        QTest::mouseClick(ui.Http_Label, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return PathExists(dir / "opened"); }, 3000));
        QTest::mouseClick(ui.Ok_Button, Qt::LeftButton);
    });
    win->Ui().About1->trigger();
    EXPECT_EQ(ReadText(dir / "opened"), LinkAddress("", win->Settings().HelpFile) + "\n");
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(DialogsTest, WithoutTheBrowserKeyTheLinkSaysSo) {
    WriteRegistry(WithoutKey(ReadRegistry(), keys::BrowserCommand));
    const WhenShown play(&About(), [&] {
        QTest::mouseClick(About().Ui().Http_Label, Qt::LeftButton);
        QTest::keyClick(&About(), Qt::Key_Escape);
    });
    win->Ui().About1->trigger();
    EXPECT_EQ(answers.Texts(), std::vector<std::string>{NoBrowserMessage});
}
