#include "BandBar.h"
#include "DirCryptor.h"
#include "DirectoryTree.h"
#include "DriveBox.h"
#include "FileListView.h"
#include "FileSystem.h"
#include "PanelBar.h"
#include "PrgState.h"
#include "PwdTable.h"
#include "RegistryEdit.h"
#include "RegistrySettings.h"
#include "ShellFixture.h"
#include "TAbout.h"
#include "ui_MainWin.h"

#include <QAction>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

using namespace qv;
using namespace qvtest;

namespace {

const char* const MethodNotice =
    "Since your default encryption method has changed, you will be prompted to assign a new "
    "password.";

std::string BandKey(int k) {
    return std::string(keys::CoolBands) + "\\" + std::to_string(k);
}

std::vector<std::string> BandControls(const TMainWin& window) {
    std::vector<std::string> names;
    for (int b = 0; b < InterfaceSettings::BandCount; ++b)
        names.push_back(window.BandControl(b));
    return names;
}

// Answers the master-password question with "not now" and counts how often it was asked.
class CountingPrompt : public MasterPasswordPrompt {
public:
    int asked = 0;
    MasterPwdAnswer Ask(TQV_PwdTable&) override {
        ++asked;
        return MasterPwdAnswer::Later;
    }
};

QColor TextColour(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

} // namespace

TEST_F(ShellTest, WindowsAndObjectsAreCreatedInOrderAndFreedInOrder) {
    int widthWhenSecondWindowCame = 0;
    created.clear();
    {
        auto forms = std::make_unique<Forms>(
            answers, drives, [this](const std::string& e) { trace.push_back(e); },
            [&](QWidget* window) {
                created.push_back(window);
                if (created.size() == 2)
                    widthWhenSecondWindowCame = created[0]->width();
            });
        const std::vector<std::string> classes = {
            "qv::TMainWin",     "qv::TEncrypt",        "qv::TDecrypt",
            "qv::TAbout",       "qv::TPreferences",    "qv::TDelDialog",
            "qv::TComboChange", "qv::TMasterPwd_Form", "qv::TTIP_Form"};
        ASSERT_EQ(created.size(), classes.size());
        for (std::size_t i = 0; i < classes.size(); ++i) {
            EXPECT_EQ(created[i]->metaObject()->className(), classes[i]);
            EXPECT_FALSE(created[i]->isVisible()) << classes[i];
            if (i > 0) {
                EXPECT_TRUE(created[i]->isModal()) << classes[i];
            }
        }
        // The settings were loaded while the main window was created, before any other window.
        EXPECT_EQ(widthWhenSecondWindowCame, 800);
        EXPECT_EQ(trace, (std::vector<std::string>{"create TQV_DirCryptor", "create TQV_Pwd",
                                                   "create TQV_PwdTable", "create TQV_PrgState"}));
    }
    EXPECT_EQ(trace, (std::vector<std::string>{"create TQV_DirCryptor", "create TQV_Pwd",
                                               "create TQV_PwdTable", "create TQV_PrgState",
                                               "free TQV_DirCryptor", "free TQV_Pwd",
                                               "free TQV_PwdTable", "free TQV_PrgState"}));
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(ShellTest, EveryControlCarriesItsNameAndStartsAsDesigned) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    EXPECT_EQ(win.windowTitle(), "Quorvane 95 ( IDEA )");

    for (const char* name :
         {"ToolBar1",        "Dir_Panel",       "DriveComboBox1",   "User_DirectoryListBox",
          "Splitter1",       "Grid_Panel",      "Open_Image",       "Open_Image_Hl",
          "Avail_Label",     "Source_ListView", "ProgressBar1",     "Closed_Image",
          "Closed_Image_Hl", "Crypted_Label",   "Crypted_ListView", "ProgressBar2",
          "Status_CoolBar",  "StatusBar1",      "StatusBar2",       "StatusBar3",
          "Method_Panel",    "DES_Button",      "TDES_Button",      "IDEA_Button"})
        Find<QWidget>(&win, name);
    for (const char* name : {"PopupMenu1", "PopupMenu2", "PopupMenu3"})
        Find<QMenu>(&win, name);

    struct Action {
        const char* name;
        bool enabled;
    };
    for (const Action& a : {Action{"Encrypt_Button", true},
                            Action{"Decrypt_Button", false},
                            Action{"MasterPwdExpire_Button", false},
                            Action{"PwdExpire_Button", false},
                            Action{"StopProcess_Button", false},
                            Action{"Help_Button", true},
                            Action{"Encrypt_MenuItem", true},
                            Action{"Decrypt_MenuItem", true},
                            Action{"Options2", true},
                            Action{"Exit1", true},
                            Action{"Large_MenuItem", true},
                            Action{"Small_MenuItem", true},
                            Action{"List_MenuItem", true},
                            Action{"Details_MenuItem", true},
                            Action{"StatusBars_MenuItem", true},
                            Action{"ToolBar_MenuItem", true},
                            Action{"Contents1", true},
                            Action{"Tips1", true},
                            Action{"About1", true},
                            Action{"EncriptAll1", true},
                            Action{"Decriptall1", true},
                            Action{"Encrypt1", true},
                            Action{"Open1", true},
                            Action{"Print1", true},
                            Action{"Delete1", true},
                            Action{"Decrypt1", true},
                            Action{"Open2", true},
                            Action{"Print2", true},
                            Action{"Delete2", true}}) {
        const QAction* action = Find<QAction>(&win, a.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->isEnabled(), a.enabled) << a.name;
    }
    EXPECT_TRUE(Find<QAction>(&win, "Details_MenuItem")->isChecked());
    EXPECT_TRUE(Find<QAction>(&win, "StatusBars_MenuItem")->isChecked());
    EXPECT_TRUE(Find<QAction>(&win, "ToolBar_MenuItem")->isChecked());
    EXPECT_EQ(Find<QAction>(&win, "Encrypt_Button")->toolTip(), "加密");
    EXPECT_EQ(Find<QAction>(&win, "StopProcess_Button")->toolTip(), "停止目前製作的過程!");

    struct Timer {
        const char* name;
        int interval;
    };
    for (const Timer& t : {Timer{"Process_Timer", 50}, Timer{"PwdTimer", 1000},
                           Timer{"MasterPwd_Timer", 1000}, Timer{"NotifyOpenFiles_Timer", 200}}) {
        const QTimer* timer = Find<QTimer>(&win, t.name);
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval(), t.interval) << t.name;
        EXPECT_FALSE(timer->isActive()) << t.name;
    }

    ShowAndActivate(win);
    EXPECT_FALSE(Find<QProgressBar>(&win, "ProgressBar1")->isVisible());
    EXPECT_FALSE(Find<QProgressBar>(&win, "ProgressBar2")->isVisible());
    EXPECT_EQ(win.SourceList()->Columns(),
              (QStringList{"名稱", "大小", "日期", "屬性", "檔案類型"}));
    EXPECT_EQ(win.CryptedList()->Columns(),
              (QStringList{"名稱", "大小", "日期", "屬性", "經由編碼"}));
    EXPECT_EQ(Find<PanelBar>(&win, "StatusBar2")->PanelText(0), "以過時間:");
    EXPECT_EQ(Find<PanelBar>(&win, "StatusBar1")->PanelText(2), "大小:");
}

TEST_F(ShellTest, StartUpRunsOnceAndNotAgainAfterAModalDialog) {
    WriteRegistry(WithValue(FirstText(), keys::MasterPass, "Store", "dword:00000001"));
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    CountingPrompt prompt;
    win.PwdTable().Prompt = &prompt;
    PanelRecorder status(win.Ui().StatusBar3, 0);
    EXPECT_FALSE(win.Startup().Ran());
    ShowAndActivate(win);

    // The stored method (IDEA in the first settings) is selected with its notice; reading the
    // lists afterwards leaves the line idle.
    EXPECT_TRUE(win.Ui().IDEA_Button->isChecked());
    EXPECT_TRUE(status.Saw(MethodNotice));
    EXPECT_EQ(win.Ui().StatusBar3->PanelText(0), "Idle.");
    EXPECT_FALSE(win.PrgState().ListsUnread);
    EXPECT_EQ(prompt.asked, 1);

    win.SetTripleDES();
    win.UpdateStatus("Idle.");
    QTimer::singleShot(0, forms->About.get(), [&] { forms->About->accept(); });
    forms->About->exec();
    win.hide();
    win.show();
    QTest::qWait(50);

    EXPECT_TRUE(win.Ui().TDES_Button->isChecked());
    EXPECT_EQ(win.Settings().Method, MethodTripleDes);
    EXPECT_EQ(win.Ui().StatusBar3->PanelText(0), "Idle.");
    EXPECT_EQ(prompt.asked, 1);
}

TEST_F(ShellTest, SettingsWrittenAtTheEndAreReadAtTheNextStart) {
    {
        auto forms = Start();
        TMainWin& win = *forms->MainWin;
        ShowAndActivate(win);
        win.resize(700, 520);
        win.SourceList()->SetColumnWidth(0, 222);
        win.SourceList()->SetColumnWidth(4, 111);
        win.CryptedList()->SetColumnWidth(2, 99);
        // The user drags the method buttons' band to a row of its own at the top.
        BandBar* bar = win.Ui().Status_CoolBar;
        bar->DropBand(3, QPoint(10, -5));
        bar->SetBandWidth(1, 321);
        win.SetTripleDES();
        win.Settings().ShowCry = false;
        win.Settings().OnePerList = true;
        win.Pwd().OnePassword = true;
        win.Pwd().ExpireMinutes = 12;
        win.PwdTable().MasterPass.Store = true;
        win.PwdTable().MasterPass.Dir = "/srv/keys/xwords.001";
        win.PwdTable().MasterPass.ExpireMinutes = 3;
        win.close();
    }
    {
        auto forms = Start();
        TMainWin& win = *forms->MainWin;
        EXPECT_EQ(win.width(), 700);
        EXPECT_EQ(win.height(), 520);
        EXPECT_EQ(win.SourceList()->ColumnWidth(0), 222);
        EXPECT_EQ(win.SourceList()->ColumnWidth(4), 111);
        EXPECT_EQ(win.CryptedList()->ColumnWidth(2), 99);
        EXPECT_EQ(BandControls(win), (std::vector<std::string>{"Method_Panel", "StatusBar2",
                                                               "StatusBar1", "StatusBar3"}));
        const BandBar* bar = win.Ui().Status_CoolBar;
        EXPECT_EQ(bar->RowCount(), 4);
        EXPECT_EQ(bar->BandWidth(1), 321);
        EXPECT_EQ(win.Settings().Method, MethodTripleDes);
        EXPECT_FALSE(win.Settings().ShowCry);
        EXPECT_TRUE(win.Settings().OnePerList);
        EXPECT_TRUE(win.Pwd().OnePassword);
        EXPECT_EQ(win.Pwd().ExpireMinutes, 12);
        EXPECT_TRUE(win.PwdTable().MasterPass.Store);
        EXPECT_EQ(win.PwdTable().MasterPass.Dir, "/srv/keys/xwords.001");
        EXPECT_EQ(win.PwdTable().MasterPass.ExpireMinutes, 3);
        // With the database in use the start asks for the master password.
        CountingPrompt prompt;
        win.PwdTable().Prompt = &prompt;
        ShowAndActivate(win);
        EXPECT_TRUE(win.Ui().TDES_Button->isChecked());
        EXPECT_EQ(prompt.asked, 1);
    }
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(ShellTest, WithoutTheThirdBandKeyTheRestKeepsItsStartValues) {
    std::string text = qvtest::WithoutKey(FirstText(), BandKey(3));
    text = WithValue(text, keys::MainWin, "Width", "dword:000002bc");
    text = WithValue(text, BandKey(1), "Control", "\"StatusBar1\"");
    text = WithValue(text, BandKey(2), "Control", "\"StatusBar2\"");
    text = WithValue(text, std::string(keys::ListView) + "\\Crypted", "Name", "dword:0000007b");
    WriteRegistry(text);
    auto forms = Start();
    TMainWin& win = *forms->MainWin;

    EXPECT_EQ(answers.Texts(),
              std::vector<std::string>{"The program has not been installed correctly!"});
    EXPECT_EQ(answers.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(answers.shown[0].buttons, static_cast<unsigned>(ButtonOk));
    EXPECT_EQ(win.width(), 700);
    EXPECT_EQ(win.CryptedList()->ColumnWidth(0), 123);
    // Bands 1 and 2 were read; 3 and 4 stay as designed.
    EXPECT_EQ(BandControls(win),
              (std::vector<std::string>{"StatusBar1", "StatusBar2", "StatusBar3", "Method_Panel"}));
    EXPECT_FALSE(win.Settings().ShowTIP);
    EXPECT_FALSE(win.Settings().ShowCry);
    EXPECT_EQ(win.Settings().Method, 0);
    EXPECT_EQ(win.Settings().HelpFile, "");
    EXPECT_FALSE(win.Pwd().OnePassword);
    EXPECT_FALSE(win.PwdTable().MasterPass.Store);

    ShowAndActivate(win);
    EXPECT_TRUE(win.Ui().DES_Button->isChecked());
    EXPECT_EQ(answers.shown.size(), 1u);
}

TEST_F(ShellTest, AnIconKeyWithoutItsValueNamesTheBareHelpFile) {
    WriteRegistry(WithValue(FirstText(), keys::DefaultIcon, "", ""));
    auto forms = Start();
    EXPECT_EQ(forms->MainWin->Settings().HelpFile, "Quorvane.html");
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(ShellTest, ABandNamingNoBandControlStaysEmptyAndItsControlIsNotLost) {
    // The name of a control, but not of one that can sit in a band.
    WriteRegistry(WithValue(FirstText(), BandKey(2), "Control", "\"Encrypt_Button\""));
    {
        auto forms = Start();
        TMainWin& win = *forms->MainWin;
        EXPECT_TRUE(answers.shown.empty());
        const BandBar* bar = win.Ui().Status_CoolBar;
        EXPECT_EQ(bar->BandControl(1), nullptr);
        EXPECT_FALSE(win.Ui().StatusBar1->isVisibleTo(&win));
        EXPECT_TRUE(win.Settings().ShowCry); // the options after the bands were read
    }
    RegistryFile saved;
    ASSERT_TRUE(saved.Parse(ReadRegistry()));
    EXPECT_EQ(saved.FindValue(BandKey(2), "Control")->text, "StatusBar1");
}

TEST_F(ShellTest, AnUnknownMethodLeavesTheDesignedButtonAndSelectsNothing) {
    for (const char* method : {"dword:00000000", "dword:00000002", "dword:00000007"}) {
        SCOPED_TRACE(method);
        WriteRegistry(WithValue(FirstText(), keys::Options, "Method", method));
        auto forms = Start();
        TMainWin& win = *forms->MainWin;
        PanelRecorder status(win.Ui().StatusBar3, 0);
        ShowAndActivate(win);
        EXPECT_TRUE(win.Ui().DES_Button->isChecked());
        EXPECT_FALSE(win.Ui().TDES_Button->isChecked());
        EXPECT_FALSE(win.Ui().IDEA_Button->isChecked());
        EXPECT_EQ(win.Settings().Method,
                  static_cast<std::int32_t>(std::stoul(method + 6, nullptr, 16)));
        EXPECT_FALSE(status.Saw(MethodNotice));
        EXPECT_FALSE(win.Pwd().PasswordExpired);
    }
}

TEST_F(ShellTest, SelectingAMethodShowsItAndExpiresTheHeldPassword) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    struct Case {
        void (TMainWin::*select)();
        QToolButton* pressed;
        std::int32_t method;
    };
    const Case cases[] = {{&TMainWin::SetDES, win.Ui().DES_Button, MethodDes},
                          {&TMainWin::SetTripleDES, win.Ui().TDES_Button, MethodTripleDes},
                          {&TMainWin::SetIDEA, win.Ui().IDEA_Button, MethodIdea},
                          {&TMainWin::SetIDEA, win.Ui().IDEA_Button, MethodIdea}};
    for (const Case& c : cases) {
        win.Pwd().PasswordExpired = false;
        win.PwdTimer->start();
        win.Ui().PwdExpire_Button->setEnabled(true);
        win.UpdateStatus("Idle.");
        (win.*c.select)();
        EXPECT_EQ(win.Settings().Method, c.method);
        for (QToolButton* button :
             {win.Ui().DES_Button, win.Ui().TDES_Button, win.Ui().IDEA_Button}) {
            EXPECT_EQ(button->isChecked(), button == c.pressed);
            EXPECT_EQ(button->palette().color(QPalette::ButtonText),
                      button == c.pressed ? QColor(Qt::blue) : QColor(Qt::black));
        }
        EXPECT_TRUE(win.Pwd().PasswordExpired);
        EXPECT_FALSE(win.PwdTimer->isActive());
        EXPECT_FALSE(win.Ui().PwdExpire_Button->isEnabled());
        EXPECT_EQ(win.Ui().StatusBar3->PanelText(0).toStdString(), MethodNotice);
    }
    // A click does the same as the program's selection.
    QTest::mouseClick(win.Ui().TDES_Button, Qt::LeftButton);
    EXPECT_EQ(win.Settings().Method, MethodTripleDes);
    EXPECT_EQ(win.Ui().DES_Button->height(), win.Ui().Method_Panel->height());
}

TEST_F(ShellTest, ClosingIsRefusedSilentlyWhileWorkIsRunning) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    for (std::uint8_t bit : {EncryptingFile, DecryptingFile, ProcessingTree, DeletingFiles}) {
        win.PrgState().BusyFlags = bit;
        EXPECT_FALSE(win.close()) << int(bit);
        win.Ui().Exit1->trigger();
        EXPECT_TRUE(win.isVisible()) << int(bit);
    }
    EXPECT_TRUE(answers.shown.empty());
    win.PrgState().BusyFlags = 0;
    EXPECT_TRUE(win.close());
}

TEST_F(ShellTest, ClosingWithFilesOpenInApplicationsAsksFirst) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    win.PrgState().OpFiles.Count = 1;

    answers.next = {ButtonCancel};
    EXPECT_FALSE(win.close());
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].kind, MessageKind::Information);
    EXPECT_EQ(answers.shown[0].buttons, static_cast<unsigned>(ButtonOk | ButtonCancel));
    EXPECT_EQ(answers.shown[0].text.rfind("一些 crypted 檔案已經是解碼了", 0), 0u);

    answers.next = {ButtonOk};
    win.Ui().Exit1->trigger();
    EXPECT_FALSE(win.isVisible());
    EXPECT_EQ(answers.shown.size(), 2u);
}

TEST_F(ShellTest, TheFocusedListIsHighlightedAndChoosesTheCommand) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    auto& ui = win.Ui();
    ShowAndActivate(win);
    const QColor blue(Qt::blue), navy(0, 0, 128);

    auto expectLook = [&](bool plain) {
        EXPECT_EQ(TextColour(ui.Avail_Label), plain ? blue : navy);
        EXPECT_EQ(TextColour(ui.Crypted_Label), plain ? navy : blue);
        EXPECT_EQ(ui.Open_Image_Hl->isVisible(), plain);
        EXPECT_EQ(ui.Open_Image->isVisible(), !plain);
        EXPECT_EQ(ui.Closed_Image->isVisible(), plain);
        EXPECT_EQ(ui.Closed_Image_Hl->isVisible(), !plain);
    };
    expectLook(true);

    win.CryptedList()->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.Decrypt_Button->isEnabled(); }));
    expectLook(false);
    EXPECT_FALSE(ui.Encrypt_Button->isEnabled());
    EXPECT_FALSE(ui.Encrypt_MenuItem->isEnabled());
    EXPECT_TRUE(ui.Decrypt_MenuItem->isEnabled());

    win.SourceList()->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.Encrypt_Button->isEnabled(); }));
    expectLook(true);
    EXPECT_FALSE(ui.Decrypt_Button->isEnabled());
    EXPECT_FALSE(ui.Decrypt_MenuItem->isEnabled());
}

TEST_F(ShellTest, TheTreeShowsTheCurrentDirectoryAndKeepsItCurrent) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    DirectoryTree* tree = win.Ui().User_DirectoryListBox;
    EXPECT_EQ(tree->Directory().toStdString(), work);
    ShowAndActivate(win);
    auto shownPath = [tree] {
        const auto* filter = static_cast<const QSortFilterProxyModel*>(tree->model());
        return tree->FileSystem()->filePath(filter->mapToSource(tree->currentIndex()));
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownPath() == QString::fromStdString(work); }))
        << shownPath().toStdString();
    EXPECT_EQ(win.FileShow_FileListBox.Items(),
              (std::vector<std::string>{".profile", "budget.xls.cry", "report.txt"}));
    EXPECT_EQ(win.DirShow_FileListBox.Items(), std::vector<std::string>{"Letters"});

    ASSERT_TRUE(tree->SetDirectory(QString::fromStdString(work + "/Letters")));
    EXPECT_EQ(CurrentDirectory(), work + "/Letters");
    EXPECT_TRUE(win.FileShow_FileListBox.Items().empty());

    QString reason;
    EXPECT_FALSE(tree->SetDirectory(QString::fromStdString(work + "/missing"), &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_EQ(CurrentDirectory(), work + "/Letters");
}

TEST_F(ShellTest, TheStatusPanelsShareTheirBandAndEndInsideTheWindow) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    const BandBar* bands = win.Ui().Status_CoolBar;
    for (PanelBar* bar : {win.Ui().StatusBar1, win.Ui().StatusBar2}) {
        const std::string name = bar->objectName().toStdString();
        const int width = bar->PanelWidth(0);
        // Each about a third of the window, all of one width.
        EXPECT_GT(width, bands->width() / 3 - 10) << name;
        for (int p = 1; p < 3; ++p)
            EXPECT_EQ(bar->PanelWidth(p), width) << name << p;
        // The last one, with its right border, lies inside its band and so inside the window.
        const QLabel* last = bar->Panel(2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return last->width() == width; })) << name;
        const int right = last->mapTo(bands, QPoint(last->width() - 1, 0)).x();
        EXPECT_LT(right, bands->BandRect(bands->BandOf(bar)).right()) << name;
        EXPECT_LT(right, bands->contentsRect().right()) << name;
    }
}

// The first settings show both lists' columns whole in the first window: they need no
// horizontal scroll bar even beside a vertical one, and each is as wide as its caption with the
// sort arrow asks.
TEST_F(ShellTest, TheFirstWindowShowsEveryColumnWhole) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    ASSERT_EQ(win.size(), QSize(800, 580));
    struct List {
        const char* name;
        FileListView* list;
    };
    for (const List& l : {List{"plain", win.SourceList()}, List{"crypted", win.CryptedList()}}) {
        QTreeView* view = l.list->DetailsView();
        QHeaderView* header = view->header();
        ASSERT_TRUE(header->isSortIndicatorShown()) << l.name;
        const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
        EXPECT_LE(header->length() + scrollBar, view->maximumViewportSize().width()) << l.name;
        EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0) << l.name;
        for (int column = 0; column < header->count(); ++column)
            EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
                << l.name << " " << l.list->Columns()[column].toStdString();
    }
}

TEST_F(ShellTest, TheHelpKeyOpensTheMainWindowsTopic) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    EXPECT_FALSE(win.ShowHelpTopic(20));
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_NE(answers.shown[0].text.find("Quorvane.html"), std::string::npos);

    mkdir((dir / "share").c_str(), 0755);
    WriteText(dir / "share/Quorvane.html",
              "<html><body><h1 id=\"topic-20\">Main window</h1><p>Text</p></body></html>");
    win.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win));
    QTest::keyClick(&win, Qt::Key_F1);
    auto* help = win.findChild<QDialog*>("Help_Window");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(answers.shown.size(), 1u);
}

TEST_F(ShellTest, TheMasterPasswordsTimerAndButtonBelongToTheWindow) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    TQV_MasterPass& master = win.PwdTable().MasterPass;
    master.Expires = true;
    master.ExpireMinutes = 1;
    master.Accept();
    EXPECT_TRUE(win.MasterPwd_Timer->isActive());
    EXPECT_TRUE(win.Ui().MasterPwdExpire_Button->isEnabled());
    for (int tick = 0; tick < 59; ++tick)
        win.MasterPwd_TimerTimer();
    EXPECT_FALSE(master.PasswordExpired);
    win.MasterPwd_TimerTimer();
    EXPECT_TRUE(master.PasswordExpired);
    EXPECT_FALSE(win.MasterPwd_Timer->isActive());
    EXPECT_FALSE(win.Ui().MasterPwdExpire_Button->isEnabled());

    master.Accept();
    win.Ui().MasterPwdExpire_Button->trigger();
    EXPECT_TRUE(master.PasswordExpired);
    EXPECT_FALSE(win.Ui().MasterPwdExpire_Button->isEnabled());

    win.PrgState().SavePassword = true;
    win.DatabaseSwitchedOff();
    EXPECT_FALSE(win.PrgState().SavePassword);
}
