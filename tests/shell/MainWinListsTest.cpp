// The main window's file lists, status line, progress display, view styles and layout.
#include "BandBar.h"
#include "DirectoryTree.h"
#include "FileListView.h"
#include "FileLists.h"
#include "PanelBar.h"
#include "PrgState.h"
#include "Pwd.h"
#include "ShellFixture.h"
#include "ui_MainWin.h"

#include "FileListModel.h"
#include <QAction>
#include <QHeaderView>
#include <QProgressBar>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>

using namespace qv;
using namespace qvtest;

namespace {

void ClickColumn(FileListView* list, int column) {
    QHeaderView* header = list->DetailsView()->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// A control's place in the window's coordinates, so that controls of both panels compare.
QRect InWindow(const QWidget* widget, const QWidget* window) {
    return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

// The room between the tree's height and the two lists' heights.
int Gap(const Ui::TMainWin& ui) {
    return ui.User_DirectoryListBox->height() - ui.Source_ListView->height() -
           ui.Crypted_ListView->height();
}

// Whether the middle of the bar is covered by its list (the list is on top there).
bool Covered(const QProgressBar* bar, const FileListView* list) {
    const QWidget* panel = bar->parentWidget();
    const QWidget* top = panel->childAt(bar->geometry().center());
    return top && (top == list || list->isAncestorOf(top));
}

class MainWinListsTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        // Beside the fixture's files: sizes and times that order differently from the names.
        WriteText(work + "/notes.txt", std::string(3000, 'n'));
        SetTime(work + "/notes.txt", 1600000000);
        WriteText(work + "/report.txt", std::string(12, 'r'));
        SetTime(work + "/report.txt", 1700000000);
        SetTime(work + "/.profile", 1500000000);
    }

    static void SetTime(const std::string& path, std::time_t seconds) {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
};

} // namespace

TEST_F(MainWinListsTest, TheListsAreReadAtTheTreesFirstFocusAndOnEveryDirectoryChange) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    // Nothing is read before the start-up sequence.
    EXPECT_EQ(win.SourceList()->Model()->rowCount(), 0);
    ShowAndActivate(win);
    EXPECT_FALSE(win.PrgState().ListsUnread);
    // Hidden files are listed, folders are not; the first settings show ".cry".
    EXPECT_EQ(Captions(win.SourceList()),
              (std::vector<std::string>{".profile", "notes.txt", "report.txt"}));
    EXPECT_EQ(Captions(win.CryptedList()), std::vector<std::string>{"budget.xls.cry"});
    EXPECT_EQ(win.CryptedList()->Model()->Text(0, 4), "IDEA");
    EXPECT_EQ(win.SourceList()->Model()->Text(0, 3), "AH--");

    WriteText(work + "/Letters/to Ann.txt", "Dear Ann");
    WriteText(work + "/Letters/to Bob.txt.cry", "QV9C");
    DirectoryTree* tree = win.Ui().User_DirectoryListBox;
    ASSERT_TRUE(tree->SetDirectory(QString::fromStdString(work + "/Letters")));
    EXPECT_EQ(Captions(win.SourceList()), std::vector<std::string>{"to Ann.txt"});
    EXPECT_EQ(Captions(win.CryptedList()), std::vector<std::string>{"to Bob.txt.cry"});
    EXPECT_EQ(win.Ui().StatusBar3->PanelText(0), "Idle.");
    // The focus coming back to the tree reads nothing again.
    WriteText(work + "/Letters/later.txt", "x");
    win.User_DirectoryListBoxEnter();
    EXPECT_EQ(Captions(win.SourceList()), std::vector<std::string>{"to Ann.txt"});
}

TEST_F(MainWinListsTest, AfterStartUpClicksOnTheColumnsSortAndTurnTheDirection) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    FileListView* list = win.SourceList();
    ClickColumn(list, 1); // size: largest first
    EXPECT_EQ(Captions(list), (std::vector<std::string>{"notes.txt", "report.txt", ".profile"}));
    ClickColumn(list, 1); // smallest first
    EXPECT_EQ(Captions(list), (std::vector<std::string>{".profile", "report.txt", "notes.txt"}));
    ClickColumn(list, 2); // date: latest first
    EXPECT_EQ(Captions(list), (std::vector<std::string>{"report.txt", "notes.txt", ".profile"}));
}

TEST_F(MainWinListsTest, TheStatusLineSettlesBeforeEachMessage) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    ShowAndActivate(win);
    for (const std::string message : {"Deleting the file a.txt ...", ""}) {
        PanelRecorder status(win.Ui().StatusBar3, 0);
        win.UpdateStatus(message);
        std::vector<std::string> expected;
        for (int blanks :
             {4, 3, 2, 1, 0, 1, 2, 3, 4, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 1, 0, 1, 0})
            expected.push_back(std::string(static_cast<std::size_t>(blanks), ' ') + message);
        expected.push_back(message);
        EXPECT_EQ(status.texts, expected);
        EXPECT_EQ(win.Ui().StatusBar3->PanelText(0).toStdString(), message);
    }
}

TEST_F(MainWinListsTest, TheProgressTimerFillsTheBarsAndTheStatistics) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    auto& ui = win.Ui();
    ShowAndActivate(win);
    const std::vector<QString> initial = {ui.StatusBar2->PanelText(0), ui.StatusBar2->PanelText(1),
                                          ui.StatusBar2->PanelText(2), ui.StatusBar1->PanelText(0),
                                          ui.StatusBar1->PanelText(1), ui.StatusBar1->PanelText(2)};
    auto fields = [&] {
        return std::vector<QString>{ui.StatusBar2->PanelText(0), ui.StatusBar2->PanelText(1),
                                    ui.StatusBar2->PanelText(2), ui.StatusBar1->PanelText(0),
                                    ui.StatusBar1->PanelText(1), ui.StatusBar1->PanelText(2)};
    };

    // A file below 10240 bytes: its one chunk lets one tick through, and the fields stay.
    win.PrgState().BusyFlags = EncryptingFile;
    win.RaiseLists();
    CryptProgress& blocks = win.PrgState().Progress;
    blocks.BlocksTotal = 1000;
    blocks.BlocksDone = 1000;
    win.StartProgressTimer();
    win.Process_TimerTimer();
    win.StopProgressTimer();
    EXPECT_EQ(fields(), initial);
    EXPECT_EQ(ui.ProgressBar2->value(), 100);

    // A plain file of 81912 bytes, half done at tick 40.
    blocks.BlocksTotal = 10240;
    blocks.BlocksDone = 5120;
    win.StartProgressTimer();
    EXPECT_TRUE(win.Process_Timer->isActive());
    EXPECT_EQ(win.Progress().Ticks(), 1);
    while (win.Progress().Ticks() < 40)
        win.Process_TimerTimer();
    EXPECT_EQ(fields(),
              (std::vector<QString>{"Elapsed: 00m:02s", "Remaining: 00m:02s",
                                    "Throughout: 20480 bytes per second", "Estimated: 00m:04s",
                                    "Done: 40 KBytes", "Size: 80 Kbytes"}));
    EXPECT_EQ(ui.ProgressBar1->value(), 50);
    EXPECT_EQ(ui.ProgressBar2->value(), 50);
    win.StopProgressTimer();
    EXPECT_FALSE(win.Process_Timer->isActive());

    // Decrypting, the bar under the plain list fills.
    win.PrgState().BusyFlags = DecryptingFile;
    blocks.BlocksDone = 2560;
    win.StartProgressTimer();
    win.Process_TimerTimer();
    EXPECT_EQ(ui.ProgressBar1->value(), 25);
    EXPECT_EQ(ui.ProgressBar2->value(), 75);
    // The timer itself ticks every 50 ms while the engine lets messages through.
    EXPECT_TRUE(QTest::qWaitFor([&] { return win.Progress().Ticks() >= 4; }, 2000));
    win.StopProgressTimer();
    blocks.Start(0);
    win.PrgState().BusyFlags = 0;
}

TEST_F(MainWinListsTest, DuringSingleFileWorkTheBarsSitUnderTheListsThroughAResize) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    auto& ui = win.Ui();
    ShowAndActivate(win);
    const QRect tree = InWindow(ui.User_DirectoryListBox, &win);
    EXPECT_EQ(Gap(ui), 30);
    EXPECT_EQ(InWindow(ui.Crypted_ListView, &win).bottom(), tree.bottom());
    EXPECT_EQ(InWindow(ui.Source_ListView, &win).top(), tree.top());
    const int plainHeight = ui.Source_ListView->height();
    const int cryptedHeight = ui.Crypted_ListView->height();

    // A run shows the bars under lists 16 pixels shorter.
    win.RaiseLists();
    EXPECT_TRUE(win.PrgState().ListsRaised);
    EXPECT_EQ(ui.Source_ListView->height(), plainHeight - 16);
    EXPECT_EQ(ui.Crypted_ListView->height(), cryptedHeight - 16);
    for (auto [bar, list] : {std::pair{ui.ProgressBar1, ui.Source_ListView},
                             std::pair{ui.ProgressBar2, ui.Crypted_ListView}}) {
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->value(), 0);
        EXPECT_FALSE(Covered(bar, list));
    }

    // A file is being encrypted while the window changes size.
    win.PrgState().BusyFlags = EncryptingFile;
    win.resize(720, 640);
    EXPECT_EQ(Gap(ui), 58);
    for (auto [bar, list] : {std::pair{ui.ProgressBar1, ui.Source_ListView},
                             std::pair{ui.ProgressBar2, ui.Crypted_ListView}}) {
        EXPECT_EQ(bar->y(), list->y() + list->height() + 4);
        EXPECT_EQ(bar->width(), list->width());
        EXPECT_FALSE(Covered(bar, list));
    }
    EXPECT_EQ(InWindow(ui.ProgressBar2, &win).bottom(),
              InWindow(ui.User_DirectoryListBox, &win).bottom());

    // The file is done; a resize before the next one puts the bars behind the lists...
    win.PrgState().BusyFlags = 0;
    win.resize(760, 600);
    EXPECT_EQ(Gap(ui), 30);
    for (auto [bar, list] : {std::pair{ui.ProgressBar1, ui.Source_ListView},
                             std::pair{ui.ProgressBar2, ui.Crypted_ListView}}) {
        EXPECT_EQ(bar->y(), list->y() + list->height() - bar->height());
        EXPECT_TRUE(Covered(bar, list));
    }
    // ...and the next file brings them out again.
    win.PrgState().BusyFlags = DecryptingFile;
    win.StartProgressTimer();
    win.StopProgressTimer();
    EXPECT_EQ(Gap(ui), 58);
    EXPECT_FALSE(Covered(ui.ProgressBar1, ui.Source_ListView));
    EXPECT_FALSE(Covered(ui.ProgressBar2, ui.Crypted_ListView));

    // The end of the run hides the bars and gives the lists their full height.
    win.PrgState().BusyFlags = 0;
    win.DropLists();
    EXPECT_FALSE(win.PrgState().ListsRaised);
    EXPECT_FALSE(ui.ProgressBar1->isVisible());
    EXPECT_FALSE(ui.ProgressBar2->isVisible());
    EXPECT_EQ(Gap(ui), 30);
    EXPECT_EQ(InWindow(ui.Crypted_ListView, &win).bottom(),
              InWindow(ui.User_DirectoryListBox, &win).bottom());
}

TEST_F(MainWinListsTest, HidingTheStatusAreaOrTheToolBarLetsTheListsGrowAtOnce) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    auto& ui = win.Ui();
    ShowAndActivate(win);
    const int treeHeight = ui.User_DirectoryListBox->height();
    const int statusHeight = ui.Status_CoolBar->height();
    const int toolHeight = ui.ToolBar1->height();
    ASSERT_GT(statusHeight, 20);
    ASSERT_GT(toolHeight, 20);

    win.StatusBars_MenuItemClick(); // no events processed before looking
    EXPECT_FALSE(ui.StatusBars_MenuItem->isChecked());
    EXPECT_FALSE(ui.Status_CoolBar->isVisible());
    EXPECT_EQ(ui.User_DirectoryListBox->height(), treeHeight + statusHeight);
    EXPECT_EQ(Gap(ui), 30);
    EXPECT_EQ(InWindow(ui.Crypted_ListView, &win).bottom(),
              InWindow(ui.User_DirectoryListBox, &win).bottom());

    ui.ToolBar_MenuItem->trigger(); // as the menu does it
    EXPECT_FALSE(ui.ToolBar_MenuItem->isChecked());
    EXPECT_FALSE(ui.ToolBar1->isVisible());
    EXPECT_EQ(ui.User_DirectoryListBox->height(), treeHeight + statusHeight + toolHeight);
    EXPECT_EQ(Gap(ui), 30);

    win.StatusBars_MenuItemClick();
    win.ToolBar_MenuItemClick();
    EXPECT_TRUE(ui.Status_CoolBar->isVisible());
    EXPECT_TRUE(ui.ToolBar1->isVisible());
    EXPECT_TRUE(ui.StatusBars_MenuItem->isChecked());
    EXPECT_EQ(ui.User_DirectoryListBox->height(), treeHeight);
}

TEST_F(MainWinListsTest, BandsAndTheSplitterKeepTheLayoutRules) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    auto& ui = win.Ui();
    ShowAndActivate(win);
    // The method band moves to a row of its own: the status area grows, the lists give way.
    const int treeHeight = ui.User_DirectoryListBox->height();
    ui.Status_CoolBar->DropBand(3, QPoint(10, ui.Status_CoolBar->height() + 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.Status_CoolBar->RowCount(), 4);
    EXPECT_LT(ui.User_DirectoryListBox->height(), treeHeight);
    EXPECT_EQ(Gap(ui), 30);
    EXPECT_EQ(InWindow(ui.Crypted_ListView, &win).bottom(),
              InWindow(ui.User_DirectoryListBox, &win).bottom());

    ui.Splitter1->setSizes({260, win.width() - 260});
    emit ui.Splitter1->splitterMoved(260, 1);
    EXPECT_EQ(ui.User_DirectoryListBox->width(), ui.Dir_Panel->width() - 8);
    EXPECT_EQ(ui.DriveComboBox1->width(), ui.Dir_Panel->width() - 8);
    for (QWidget* w : std::initializer_list<QWidget*>{ui.Source_ListView, ui.Crypted_ListView,
                                                      ui.ProgressBar1, ui.ProgressBar2})
        EXPECT_EQ(w->width(), ui.Grid_Panel->width() - 12) << w->objectName().toStdString();
}

TEST_F(MainWinListsTest, BothListsAlwaysShareTheViewStyle) {
    auto forms = Start();
    TMainWin& win = *forms->MainWin;
    auto& ui = win.Ui();
    ShowAndActivate(win);
    const std::pair<QAction*, ViewStyle> steps[] = {
        {ui.Large_MenuItem, ViewStyle::LargeIcons}, {ui.Details_MenuItem, ViewStyle::Details},
        {ui.Small_MenuItem, ViewStyle::SmallIcons}, {ui.List_MenuItem, ViewStyle::List},
        {ui.Large_MenuItem, ViewStyle::LargeIcons}, {ui.Details_MenuItem, ViewStyle::Details}};
    for (const auto& [item, style] : steps) {
        item->trigger();
        EXPECT_EQ(win.SourceList()->Style(), style);
        EXPECT_EQ(win.CryptedList()->Style(), style);
        EXPECT_TRUE(item->isChecked());
        for (QAction* other :
             {ui.Large_MenuItem, ui.Small_MenuItem, ui.List_MenuItem, ui.Details_MenuItem})
            EXPECT_EQ(other->isChecked(), other == item);
        EXPECT_EQ(win.SourceList()->CurrentView()->model()->rowCount(), 3);
    }
    win.SetListViewStyle(ViewStyle::List);
    EXPECT_TRUE(ui.List_MenuItem->isChecked());
    EXPECT_EQ(win.CryptedList()->Style(), ViewStyle::List);
}
