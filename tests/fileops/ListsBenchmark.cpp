// Prints what showing a folder of many files in the two file lists costs, as the window does it
// on a change of folder: the folder listing, then the lists filled. Against a named reference:
// Qt's own listing of the same folder (QDir::entryInfoList) with each file's MIME type looked up
// (QMimeDatabase::mimeTypeForFile), the least any list that shows sizes, dates and type names
// in one go on the window's thread must spend, without a model, views or icons.
//
//   fileops_benchmark [files] [rounds]   (default 3000 files, 5 rounds; a fifth of them crypted)
//
// Figures: the best and the worst of the rounds (the first round is the process's first read).
// The longest stretch without event processing is measured with a timer of 1 ms on the window's
// thread: the longest time between two of its turns (or from the folder change to its first) is the
// longest time the window could not answer input.
#include "FileListBox.h"
#include "FileListModel.h"
#include "FileListView.h"
#include "FileLists.h"
#include "ImageList.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "TempDir.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QMimeDatabase>
#include <QTimer>
#include <QTreeView>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace qv;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

template <typename F>
double Best(int rounds, F&& work) {
    double best = 1e12;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, Ms(start, Clock::now()));
    }
    return best;
}

// Notes the first time the view paints while it holds entries.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(FileListView& list) : list_(list) {
        list.DetailsView()->viewport()->installEventFilter(this);
    }
    void Arm(Clock::time_point start) {
        start_ = start;
        painted_ = -1;
    }
    double Painted() const { return painted_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && painted_ < 0 && list_.Model()->rowCount() > 0)
            painted_ = Ms(start_, Clock::now());
        return false;
    }

private:
    FileListView& list_;
    Clock::time_point start_;
    double painted_ = -1;
};

struct Round {
    double firstScreen = 0; // the plain list painted with entries
    double complete = 0;    // both lists with captions, details and order: ReadFLists returned
    double types = 0;       // every type told by the file's content
    double freeze = 0;      // the longest stretch without event processing
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 3000;
    const int rounds = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 5;

    qvtest::TempDir dir, empty;
    const char* extensions[] = {".txt", ".pdf", ".jpg", ".doc", ".cry"};
    for (int i = 0; i < count; ++i)
        qvtest::WriteText(dir / ("file" + std::to_string(i) + extensions[i % 5]),
                          i % 5 == 4 ? "QV98 crypted" : std::string(100 + i % 700, 'x'));

    FileListView source, crypted;
    source.SetColumns({"名稱", "大小", "日期", "屬性", "檔案類型"});
    crypted.SetColumns({"名稱", "大小", "日期", "屬性", "經由編碼"});
    source.resize(600, 400);
    crypted.resize(600, 400);
    source.show();
    crypted.show();
    TQV_FileListBox files(TQV_FileListBox::Kind::Files);
    TQV_FileListBox folders(TQV_FileListBox::Kind::Directories);
    TQV_PrgState state;
    TQV_Pwd pwd;
    TQV_Settings settings;
    TQV_ImageList smallImages(16), largeImages(32);
    SetupImageList(smallImages);
    SetupImageList(largeImages);
    TQV_FileLists lists(source, crypted, files, state, pwd, settings, smallImages, largeImages);
    FirstPaint painted(source);

    // The window's thread notes every turn it takes at events.
    Clock::time_point lastTurn;
    double longestFreeze = 0;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    turns.setInterval(1);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longestFreeze = std::max(longestFreeze, Ms(lastTurn, now));
        lastTurn = now;
    });

    // A change of folder as the window makes it: from an empty folder to the large one, the
    // folder read and the lists filled on the filler's thread.
    auto changeFolder = [&] {
        lists.ReadFolder(empty.Path(), files, folders);
        lists.AwaitTypes();
        QCoreApplication::processEvents();
        Round round;
        const auto start = Clock::now();
        painted.Arm(start);
        lastTurn = start;
        longestFreeze = 0;
        turns.start();
        lists.ReadFolder(dir.Path(), files, folders);
        round.complete = Ms(start, Clock::now());
        lists.AwaitTypes();
        round.types = Ms(start, Clock::now());
        turns.stop();
        longestFreeze = std::max(longestFreeze, Ms(lastTurn, Clock::now()));
        round.freeze = longestFreeze;
        round.firstScreen = painted.Painted();
        return round;
    };

    // The first round is the process's first read of the folder: the icon theme, the type
    // database and the heap are still cold, as in a window just started.
    const double listing =
        Best(rounds, [&] { TQV_FileListBox::ReadBoth(dir.Path(), files, folders); });
    Round best{1e12, 1e12, 1e12, 1e12};
    Round worst;
    for (int i = 0; i < rounds; ++i) {
        const Round r = changeFolder();
        best.firstScreen = std::min(best.firstScreen, r.firstScreen);
        best.complete = std::min(best.complete, r.complete);
        best.types = std::min(best.types, r.types);
        best.freeze = std::min(best.freeze, r.freeze);
        worst.firstScreen = std::max(worst.firstScreen, r.firstScreen);
        worst.complete = std::max(worst.complete, r.complete);
        worst.types = std::max(worst.types, r.types);
        worst.freeze = std::max(worst.freeze, r.freeze);
    }

    // Memory: what the listing and both lists hold for the folder, beyond an empty folder's.
    lists.ReadFolder(empty.Path(), files, folders);
    malloc_trim(0);
    const auto heldBefore = mallinfo2().uordblks;
    lists.ReadFolder(dir.Path(), files, folders);
    lists.AwaitTypes();
    const auto heldAfter = mallinfo2().uordblks;
    const double perFile =
        (static_cast<double>(heldAfter) - static_cast<double>(heldBefore)) / count;

    state.BusyFlags = ProcessingTree;
    pwd.OnePerList = true;
    const double quick = Best(rounds, [&] { lists.ReadFLists(); });
    state.BusyFlags = 0;
    pwd.OnePerList = false;
    lists.ReadFLists();
    lists.SortColumn = 2;
    const double sortByDate = Best(rounds, [&] {
        lists.SortDescending = !lists.SortDescending;
        lists.SortList(source);
    });
    lists.SortColumn = 0;
    const double sortByName = Best(rounds, [&] {
        lists.SortDescending = !lists.SortDescending;
        lists.SortList(source);
    });

    QMimeDatabase mime;
    const double reference = Best(rounds, [&] {
        const QFileInfoList infos = QDir(QString::fromStdString(dir.Path()))
                                        .entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        qint64 sum = 0;
        for (const QFileInfo& info : infos)
            sum += info.size() + info.lastModified().toSecsSinceEpoch() +
                   mime.mimeTypeForFile(info).comment().size();
        if (sum == 42)
            std::printf("-");
    });

    std::printf("%d files (%d plain, %d crypted), %d rounds, from a change of folder on\n", count,
                source.Model()->rowCount(), crypted.Model()->rowCount(), rounds);
    std::printf("                                                              best      worst\n");
    std::printf("  reference: QDir listing + QMimeDatabase type per file   %9.2f ms\n", reference);
    auto line = [](const char* what, double bestMs, double worstMs, double ref) {
        std::printf("  %-52s %9.2f ms %9.2f ms", what, bestMs, worstMs);
        if (ref > 0)
            std::printf("  %5.3fx ref", bestMs / ref);
        std::printf("\n");
    };
    std::printf("  folder listing alone (TQV_FileListBox::ReadBoth), best  %9.2f ms\n", listing);
    line("first screenful painted", best.firstScreen, worst.firstScreen, 0);
    line("both lists complete: details, order (ReadFLists)", best.complete, worst.complete,
         reference);
    line("every type told by content (background)", best.types, worst.types, reference);
    line("longest stretch without event processing", best.freeze, worst.freeze, 0);
    std::printf("  memory per listed file                                  %9.0f bytes\n", perFile);
    std::printf("  ReadFLists quick (tree run, one password), best         %9.2f ms\n", quick);
    std::printf("  sorting the plain list by date, best                    %9.2f ms\n", sortByDate);
    std::printf("  sorting the plain list by name, best                    %9.2f ms\n", sortByName);
    return 0;
}
