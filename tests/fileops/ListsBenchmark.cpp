// Prints what filling the two file lists costs for a folder of many files, against a named
// reference: Qt's own listing of the same folder (QDir::entryInfoList) with each file's MIME
// type looked up (QMimeDatabase::mimeTypeForFile), which is the least any list that shows sizes,
// dates and type names must spend, without a model, views or icons.
//
//   fileops_benchmark [files]   (default 3000; a fifth of them crypted)
#include "FileListBox.h"
#include "FileListView.h"
#include "FileLists.h"
#include "ImageList.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "TempDir.h"

#include <QApplication>
#include <QDir>
#include <QMimeDatabase>
#include <QStandardItemModel>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace qv;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

template <typename F>
double Best(int rounds, F&& work) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, Seconds(start));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 3000;

    qvtest::TempDir dir;
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
    TQV_PrgState state;
    TQV_Pwd pwd;
    TQV_Settings settings;
    TQV_ImageList smallImages(16), largeImages(32);
    SetupImageList(smallImages);
    SetupImageList(largeImages);
    TQV_FileLists lists(source, crypted, files, state, pwd, settings, smallImages, largeImages);
    const int rounds = 5;

    const double listing = Best(rounds, [&] { files.Read(dir.Path()); });
    const double full = Best(rounds, [&] { lists.ReadFLists(); });
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

    std::printf("%d files (%d plain, %d crypted), best of %d\n", count, source.Model()->rowCount(),
                crypted.Model()->rowCount(), rounds);
    std::printf("  reference: QDir listing + QMimeDatabase type per file  %8.2f ms\n",
                reference * 1e3);
    std::printf("  directory listing (TQV_FileListBox::Read)              %8.2f ms\n",
                listing * 1e3);
    std::printf("  ReadFLists with icons and details                      %8.2f ms  %5.2fx ref\n",
                full * 1e3, full / reference);
    std::printf("  ReadFLists quick (tree run, one password)              %8.2f ms  %5.2fx ref\n",
                quick * 1e3, quick / reference);
    std::printf("  per file with details                                  %8.1f us\n",
                full / count * 1e6);
    std::printf("  sorting the plain list by date                         %8.2f ms\n",
                sortByDate * 1e3);
    std::printf("  sorting the plain list by name                         %8.2f ms\n",
                sortByName * 1e3);
    return 0;
}
