#include "FileLists.h"

#include "FileListBox.h"
#include "FileListView.h"
#include "ImageList.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "TempDir.h"

#include <QDate>
#include <QHeaderView>
#include <QIcon>
#include <QListView>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using qvtest::TempDir;
using qvtest::WriteText;

namespace {

enum Column { Name, Size, Date, Attributes, Type };

void SetTime(const std::string& path, std::time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class FileListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        source.SetColumns({"名稱", "大小", "日期", "屬性", "檔案類型"});
        crypted.SetColumns({"名稱", "大小", "日期", "屬性", "經由編碼"});
        SetupImageList(smallImages);
        SetupImageList(largeImages);
        lists = std::make_unique<TQV_FileLists>(source, crypted, files, state, pwd, settings,
                                                smallImages, largeImages);
        lists->Status = [this](const std::string& message) { status.push_back(message); };
        QObject::connect(lists.get(), &TQV_FileLists::CommandRequested,
                         [this](Direction d) { commands.push_back(d); });
    }

    void Read() {
        ASSERT_TRUE(files.Read(dir.Path()));
        lists->ReadFLists();
    }

    static std::vector<std::string> Captions(const FileListView& list) {
        std::vector<std::string> captions;
        for (int row = 0; row < list.Model()->rowCount(); ++row)
            captions.push_back(list.Model()->Text(row, Name).toStdString());
        return captions;
    }

    static int Row(const FileListView& list, const std::string& caption) {
        for (int row = 0; row < list.Model()->rowCount(); ++row)
            if (list.Model()->Text(row, Name).toStdString() == caption)
                return row;
        ADD_FAILURE() << caption << " is not listed";
        return -1;
    }

    static std::string Cell(const FileListView& list, const std::string& caption, int column) {
        const int row = Row(list, caption);
        return row < 0 ? "<none>" : list.Model()->Text(row, column).toStdString();
    }

    static void ClickColumn(FileListView& list, int column) {
        QHeaderView* header = list.DetailsView()->header();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    TempDir dir;
    FileListView source;
    FileListView crypted;
    TQV_FileListBox files{TQV_FileListBox::Kind::Files};
    TQV_PrgState state;
    TQV_Pwd pwd;
    TQV_Settings settings;
    TQV_ImageList smallImages{16};
    TQV_ImageList largeImages{32};
    std::unique_ptr<TQV_FileLists> lists;
    std::vector<std::string> status;
    std::vector<Direction> commands;
};

} // namespace

TEST_F(FileListsTest, EveryFileGoesToExactlyOneList) {
    WriteText(dir / "a.txt", "hello");
    WriteText(dir / "b.CRY", "QV98 and the rest");
    WriteText(dir / "c.cry.bak", "QV98");
    WriteText(dir / ".cry", "QV9C");
    WriteText(dir / ".hidden", "secret");
    ASSERT_EQ(chmod((dir / ".hidden").c_str(), 0444), 0);
    mkdir((dir / "sub").c_str(), 0755);
    mkdir((dir / "folder.cry").c_str(), 0755);

    for (bool showCry : {false, true}) {
        SCOPED_TRACE(showCry);
        settings.ShowCry = showCry;
        status.clear();
        Read();
        EXPECT_EQ(Captions(source), (std::vector<std::string>{".hidden", "a.txt", "c.cry.bak"}));
        const std::string b = showCry ? "b.CRY" : "b";
        const std::string lone = showCry ? ".cry" : "";
        EXPECT_EQ(Captions(crypted), (std::vector<std::string>{lone, b}));
        EXPECT_EQ(status, (std::vector<std::string>{"Retrieving directory contents...", "Idle."}));

        // Every entry carries its details, also the crypted file named in capitals.
        EXPECT_EQ(Cell(crypted, b, Size), "17");
        EXPECT_EQ(Cell(crypted, b, Type), "IDEA");
        EXPECT_EQ(Cell(crypted, lone, Type), "3xDES");
        EXPECT_EQ(Cell(source, ".hidden", Attributes), "AHR-");
        EXPECT_EQ(Cell(source, "a.txt", Attributes), "A---");
        EXPECT_EQ(Cell(source, "a.txt", Size), "5");
        EXPECT_EQ(lists->FileNameOf(crypted, Row(crypted, b)), "b.CRY");
    }
    EXPECT_TRUE(state.ListDetails);
}

TEST_F(FileListsTest, DetailsShowTheStoredTimeTheTypeNameAndTheIcon) {
    WriteText(dir / "notes.txt", "some notes");
    SetTime(dir / "notes.txt", 1614834367); // 2021-03-04 05:06:07 UTC
    // The time is shown as the file system keeps it, whatever the local zone.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Asia/Taipei");
    tzset();
    Read();
    const std::string date = Cell(source, "notes.txt", Date);
    qputenv("TZ", zone);
    tzset();
    EXPECT_EQ(date,
              (QLocale::system().toString(QDate(2021, 3, 4), QLocale::ShortFormat) + " 05:06:07")
                  .toStdString());
    EXPECT_EQ(FileDateText(1614834367).toStdString(), date);

    const QString path = QString::fromStdString(dir / "notes.txt");
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    EXPECT_EQ(Cell(source, "notes.txt", Type), type.comment().toStdString());

    const QModelIndex name = source.Model()->index(Row(source, "notes.txt"), Name);
    const int image = name.data(ImageIndexRole).toInt();
    EXPECT_EQ(image, SystemImages().IndexForType(type));
    EXPECT_EQ(lists->GetImageIndex("notes.txt"), image);
    EXPECT_FALSE(name.data(Qt::DecorationRole).value<QIcon>().isNull());
    // The size column reads right-aligned.
    EXPECT_TRUE(source.Model()->index(0, Size).data(Qt::TextAlignmentRole).toInt() &
                Qt::AlignRight);
}

TEST_F(FileListsTest, AFileThatVanishedIsListedWithItsCaptionAndIconOnly) {
    WriteText(dir / "here.txt", "x");
    Read();
    lists->AddListItem(source, "gone.txt");
    lists->AddListItem(crypted, "gone");
    for (FileListView* list : {&source, &crypted}) {
        const std::string caption = list == &source ? "gone.txt" : "gone";
        const int row = Row(*list, caption);
        ASSERT_GE(row, 0);
        for (int column = Size; column <= Type; ++column)
            EXPECT_EQ(list->Model()->Text(row, column), "") << caption << column;
        EXPECT_TRUE(list->Model()->index(row, Name).data(ImageIndexRole).isValid());
    }
    // Filling the details again once the file is there.
    WriteText(dir / "gone.txt", "back");
    lists->GetFileInfo(source, Row(source, "gone.txt"));
    EXPECT_EQ(Cell(source, "gone.txt", Size), "4");
}

TEST_F(FileListsTest, EachClickOnAColumnTurnsTheDirectionWhateverTheColumn) {
    const struct {
        const char* name;
        int size;
        std::time_t time;
    } entries[] = {{"a.txt", 30, 1000000}, {"b.txt", 10, 3000000}, {"c.txt", 20, 2000000}};
    for (const auto& e : entries) {
        WriteText(dir / e.name, std::string(static_cast<std::size_t>(e.size), 'x'));
        SetTime(dir / e.name, e.time);
    }
    WriteText(dir / "y.cry", "QV98");
    WriteText(dir / "x.cry", "QV98");
    Read();
    source.show();
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

    ClickColumn(source, Size); // largest first
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"a.txt", "c.txt", "b.txt"}));
    EXPECT_EQ(lists->SortColumn, Size);
    EXPECT_TRUE(lists->SortDescending);
    EXPECT_EQ(source.DetailsView()->header()->sortIndicatorSection(), Size);
    EXPECT_EQ(source.DetailsView()->header()->sortIndicatorOrder(), Qt::DescendingOrder);

    ClickColumn(source, Size); // smallest first
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"b.txt", "c.txt", "a.txt"}));

    ClickColumn(source, Date); // latest first
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"b.txt", "c.txt", "a.txt"}));
    EXPECT_TRUE(lists->SortDescending);
    ClickColumn(source, Date); // earliest first
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"a.txt", "c.txt", "b.txt"}));

    // The other list keeps its order until it is sorted again, then takes the same state.
    EXPECT_EQ(Captions(crypted), (std::vector<std::string>{"x", "y"}));
    ClickColumn(source, Name); // descending by name
    lists->SortList(crypted);
    EXPECT_EQ(Captions(crypted), (std::vector<std::string>{"y", "x"}));
}

TEST_F(FileListsTest, EntriesWithoutDetailsAreNotSortedByADetailColumn) {
    for (const char* name : {"b.txt", "a.txt", "c.txt"})
        WriteText(dir / name, name);
    // An unattended tree run with one password for the list adds entries without details.
    state.BusyFlags = ProcessingTree;
    pwd.OnePerList = true;
    Read();
    EXPECT_FALSE(state.ListDetails);
    EXPECT_EQ(Cell(source, "a.txt", Size), "");
    EXPECT_FALSE(source.Model()->index(0, Name).data(ImageIndexRole).isValid());
    EXPECT_TRUE(source.Model()->index(0, Name).data(Qt::DecorationRole).value<QIcon>().isNull());
    // By name they are still sorted.
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

    source.show();
    ClickColumn(source, Size);
    EXPECT_EQ(lists->SortColumn, Name);
    EXPECT_FALSE(lists->SortDescending);
    EXPECT_EQ(source.DetailsView()->header()->sortIndicatorSection(), Name);
    EXPECT_EQ(source.DetailsView()->header()->sortIndicatorOrder(), Qt::AscendingOrder);

    // A sort by a detail column leaves them as they were added.
    lists->SortColumn = Size;
    lists->SortDescending = true;
    lists->SortList(source);
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

    // Outside that mode every entry gets its details again, and sorting works.
    pwd.OnePerList = false;
    lists->AddListItem(source, "d.txt");
    EXPECT_TRUE(state.ListDetails);
    // With one password for the whole run the mode is quick too; without either it is not.
    pwd.OnePassword = true;
    lists->AddListItem(source, "e.txt");
    EXPECT_FALSE(state.ListDetails);
    pwd.OnePassword = false;
    state.BusyFlags = EncryptingFile;
    lists->AddListItem(source, "f.txt");
    EXPECT_TRUE(state.ListDetails);
}

TEST_F(FileListsTest, RemovingAnEntryTakesOnlyTheWholeCaption) {
    for (const char* name : {"a.txt.bak", "a.txt", "A.TXT", "b.txt"})
        WriteText(dir / name, "x");
    Read();
    lists->RemoveListItem(source, "a.txt");
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"A.TXT", "a.txt.bak", "b.txt"}));
    lists->RemoveListItem(source, "a.tx");
    lists->RemoveListItem(source, "missing");
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"A.TXT", "a.txt.bak", "b.txt"}));
    // Without an exact match a caption differing in letter case is taken.
    lists->RemoveListItem(source, "B.Txt");
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"A.TXT", "a.txt.bak"}));
}

TEST_F(FileListsTest, ASingleFileOperationMovesTheEntryToTheOtherList) {
    struct Case {
        Direction direction;
        bool showCry;
        bool keepOther;
        const char* before; // the file before the operation
        const char* after;  // the file after it
        const char* name;   // the caption the operation was given
        const char* newName;
        const char* added; // the caption in the target list
    };
    const Case cases[] = {
        {Direction::Encrypt, false, false, "m.doc", "m.doc.cry", "m.doc", "", "m.doc"},
        {Direction::Encrypt, true, false, "m.doc", "m.doc.cry", "m.doc", "", "m.doc.cry"},
        {Direction::Encrypt, false, true, "m.doc", "m.doc.cry", "m.doc", "", "m.doc"},
        {Direction::Decrypt, false, false, "m.doc.cry", "m.doc", "m.doc", "", "m.doc"},
        {Direction::Decrypt, true, false, "m.doc.cry", "m.doc", "m.doc.cry", "", "m.doc"},
        {Direction::Decrypt, true, true, "m.doc.cry", "m.doc", "m.doc.cry", "", "m.doc"},
        {Direction::Decrypt, false, false, "m2.doc.cry", "M.DOC", "m2.doc", "M.DOC", "M.DOC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " showCry " + std::to_string(c.showCry) +
                     " keepOther " + std::to_string(c.keepOther));
        TempDir work;
        for (const char* name : {"a.doc", "z.doc", "a.cry", "z.cry"})
            WriteText(work / name, "QV9B");
        WriteText(work / c.before, "QV9B a crypted file");
        settings.ShowCry = c.showCry;
        ASSERT_TRUE(files.Read(work.Path()));
        lists->ReadFLists();
        FileListView& target = c.direction == Direction::Encrypt ? crypted : source;
        FileListView& other = c.direction == Direction::Encrypt ? source : crypted;
        const std::vector<std::string> otherBefore = Captions(other);
        ASSERT_GE(lists->FindCaption(other, c.name), 0);

        // The operation: the new file appears, the source goes unless it could not be erased.
        WriteText(work / c.after, "QV9B a crypted file");
        if (!c.keepOther)
            unlink((work / c.before).c_str());
        lists->UpdateFLists(c.name, c.newName, c.keepOther, c.direction);

        // Added and sorted into place between a and z, with its details.
        const std::vector<std::string> around =
            &target == &crypted
                ? std::vector<std::string>{c.showCry ? "a.cry" : "a", c.showCry ? "z.cry" : "z"}
                : std::vector<std::string>{"a.doc", "z.doc"};
        EXPECT_EQ(Captions(target), (std::vector<std::string>{around[0], c.added, around[1]}));
        EXPECT_EQ(Cell(target, c.added, Size), "19");
        if (&target == &crypted) {
            EXPECT_EQ(Cell(target, c.added, Type), "DES");
        }
        if (c.keepOther) {
            EXPECT_EQ(Captions(other), otherBefore);
        } else {
            EXPECT_EQ(lists->FindCaption(other, c.name), -1);
            EXPECT_EQ(Captions(other).size(), otherBefore.size() - 1);
        }
    }
}

TEST_F(FileListsTest, DoubleClicksAndDropsAskForTheCommandOfTheirList) {
    WriteText(dir / "a.txt", "x");
    WriteText(dir / "b.cry", "QV98");
    Read();
    source.resize(300, 200);
    crypted.resize(300, 200);
    source.show();
    crypted.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&source));

    auto doubleClick = [](FileListView& list) {
        QAbstractItemView* view = list.CurrentView();
        const QRect cell = view->visualRect(list.Model()->index(0, 0));
        // A double click is a click followed by the double-click event.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    };
    doubleClick(source);
    EXPECT_EQ(commands, std::vector<Direction>{Direction::Encrypt});
    doubleClick(crypted);
    EXPECT_EQ(commands, (std::vector<Direction>{Direction::Encrypt, Direction::Decrypt}));
    commands.clear();

    // Drops: crypted files on the plain list decrypt, plain files on the crypted list encrypt;
    // a list's own entries, or files from elsewhere, are refused.
    EXPECT_FALSE(source.DropFrom(source.DetailsView()->viewport()));
    EXPECT_FALSE(source.DropFrom(source.IconView()));
    EXPECT_FALSE(crypted.DropFrom(crypted.DetailsView()->viewport()));
    EXPECT_FALSE(source.DropFrom(nullptr));
    EXPECT_FALSE(crypted.DropFrom(source.Model()));
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(source.DropFrom(crypted.IconView()->viewport()));
    EXPECT_TRUE(crypted.DropFrom(source.DetailsView()->viewport()));
    EXPECT_EQ(commands, (std::vector<Direction>{Direction::Decrypt, Direction::Encrypt}));
    commands.clear();

    // A drop that reaches the view (here from no list of this program) changes no entry.
    const QModelIndexList dragged = {source.Model()->index(0, 0)};
    std::unique_ptr<QMimeData> data(source.Model()->mimeData(dragged));
    QWidget* viewport = source.DetailsView()->viewport();
    const QPointF at(10, 40);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(Captions(source), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(commands.empty());
}

namespace {

// What a full read of one file shows in its row, column by column, and the index of its icon:
// the file opened and asked now, and its type as a full look at it tells.
struct Shown {
    std::vector<std::string> Cells;
    int Image = 0;
};

Shown FullRead(const std::string& path, bool crypted, const std::string& caption) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path));
    Shown shown{{caption, "", "", "", ""}, SystemImages().IndexForType(type)};
    FileDetails details;
    if (ReadFileDetails(path, crypted, details)) {
        shown.Cells[Size] = std::to_string(details.Size);
        shown.Cells[Date] = FileDateText(details.ModifiedUtc).toStdString();
        shown.Cells[Attributes] = details.Attributes;
        shown.Cells[Type] = crypted ? details.Method : type.comment().left(80).toStdString();
    }
    return shown;
}

} // namespace

TEST_F(FileListsTest, RowsFilledLaterShowWhatAFullReadOfTheirFilesShows) {
    // Enough files for the details to come in several batches, the top rows first.
    for (int i = 0; i < 700; ++i)
        WriteText(dir / ("f" + std::to_string(1000 + i) + (i % 7 == 0 ? ".cry" : ".dat")),
                  i % 7 == 0 ? "QV9C" : std::string(static_cast<std::size_t>(i), 'x'));
    WriteText(dir / "notes.txt", "plain words\n");
    // Names whose extension does not tell the type that the whole name or the content tells.
    WriteText(dir / "CMakeLists.txt", "project(x)\n");
    WriteText(dir / "report", "just words\n");
    WriteText(dir / "script", "#!/bin/sh\necho hello\n");
    WriteText(dir / "a.cry", "QV98 by IDEA");
    WriteText(dir / "short.cry", "QV");
    WriteText(dir / "becomes-folder.txt", "x");
    WriteText(dir / "vanishes.cry", "QV97");
    ASSERT_EQ(symlink("notes.txt", (dir / "link.txt").c_str()), 0);
    ASSERT_TRUE(files.Read(dir.Path()));
    // Files that change while they are listed: after the listing, before the lists are filled.
    WriteText(dir / "report", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    WriteText(dir / "a.cry", "QV97 now by DES, and longer");
    ASSERT_EQ(unlink((dir / "becomes-folder.txt").c_str()), 0);
    ASSERT_EQ(mkdir((dir / "becomes-folder.txt").c_str(), 0755), 0);
    ASSERT_EQ(unlink((dir / "vanishes.cry").c_str()), 0);

    // The entries are there before their details: the first screen shows captions and icons.
    int shownBare = -1;
    QObject::connect(source.Model(), &QAbstractItemModel::modelReset, [&] {
        if (source.Model()->rowCount() > 0 && shownBare < 0)
            shownBare = Row(source, "notes.txt") >= 0 && Cell(source, "notes.txt", Size).empty();
    });
    for (bool showCry : {false, true}) {
        SCOPED_TRACE(showCry);
        settings.ShowCry = showCry;
        lists->ReadFLists();
        lists->AwaitTypes();
        for (FileListView* list : {&source, &crypted}) {
            const FileListModel& model = *list->Model();
            for (int row = 0; row < model.rowCount(); ++row) {
                const std::string fileName = lists->FileNameOf(*list, row);
                const Shown expected =
                    FullRead(dir / fileName, list == &crypted, model.Text(row, Name).toStdString());
                for (int column = Name; column <= Type; ++column)
                    EXPECT_EQ(model.Text(row, column).toStdString(), expected.Cells[column])
                        << fileName << " column " << column;
                EXPECT_EQ(model.index(row, Name).data(ImageIndexRole).toInt(), expected.Image)
                    << fileName;
            }
        }
    }
    EXPECT_EQ(shownBare, 1);
    // The folder's files are what they were meant to be.
    EXPECT_EQ(source.Model()->rowCount(), 606);
    EXPECT_EQ(crypted.Model()->rowCount(), 103);
    EXPECT_EQ(Cell(source, "report", Type),
              QMimeDatabase().mimeTypeForName("application/pdf").comment().toStdString());
    EXPECT_EQ(Cell(crypted, "a.cry", Type), "DES");
    EXPECT_EQ(Cell(crypted, "short.cry", Type), "-");
    EXPECT_EQ(Cell(crypted, "vanishes.cry", Size), "");
    EXPECT_EQ(Cell(source, "becomes-folder.txt", Size), "");
    EXPECT_EQ(Cell(source, "link.txt", Size), "12");
}

TEST_F(FileListsTest, AListSortedByTypeIsSortedAgainOnceEveryTypeIsKnown) {
    // Neither name tells a type; the content does, and orders b (a PDF document) first.
    WriteText(dir / "a", "just words\n");
    WriteText(dir / "b", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    lists->SortColumn = Type;
    Read();
    lists->AwaitTypes();
    EXPECT_EQ(Captions(source), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(source.SortedColumn(), Type);
}

TEST_F(FileListsTest, AChangeOfFolderWhileAFolderIsReadLeavesTheListsWithTheNewFolder) {
    for (int i = 0; i < 3000; ++i)
        WriteText(dir / ("f" + std::to_string(i) + ".txt"), "x");
    TempDir other;
    WriteText(other / "only.txt", "one");
    WriteText(other / "o.cry", "QV98");
    ASSERT_TRUE(files.Read(dir.Path()));
    // The window lets events through while the large folder is read; one of them changes the
    // folder, as a click in the tree does, just when the entries have come and their details
    // have not.
    bool changed = false;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(source.Model(), &QAbstractItemModel::modelReset, [&, once] {
        if (source.Model()->rowCount() == 0)
            return;
        QObject::disconnect(*once);
        ASSERT_TRUE(files.Read(other.Path()));
        lists->ReadFLists();
        changed = true;
    });
    lists->ReadFLists();
    ASSERT_TRUE(changed);
    EXPECT_EQ(Captions(source), std::vector<std::string>{"only.txt"});
    EXPECT_EQ(Cell(source, "only.txt", Size), "3");
    EXPECT_EQ(Cell(crypted, "o", Type), "IDEA");
    EXPECT_EQ(status.back(), "Idle.");
    lists->AwaitTypes();
    EXPECT_EQ(Captions(source), std::vector<std::string>{"only.txt"});
}

TEST_F(FileListsTest, ANameThatIsNotUtf8IsSelectedAndFoundByItsOwnBytes) {
    // Two names that read the same once their stray bytes are shown as replacement characters.
    const std::string e9 = "caf\xe9.txt";
    const std::string e8 = "caf\xe8.txt";
    WriteText(dir / e8, "eight");
    WriteText(dir / e9, "nine!");
    Read();
    ASSERT_EQ(source.Model()->rowCount(), 2);
    const int row = lists->FindCaption(source, e9);
    ASSERT_GE(row, 0);
    EXPECT_EQ(lists->FileNameOf(source, row), e9);
    EXPECT_EQ(source.Model()->Text(row, Size), "5");
    source.Selection()->select(source.Model()->index(row, Name),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(source.SelectedCaptions(), std::vector<std::string>{e9});
    lists->RemoveListItem(source, e9);
    EXPECT_EQ(lists->FileNameOf(source, 0), e8);
}
