// The two file lists of the main window: the plain files of the directory the tree shows above,
// the crypted files below. This fills them from the directory listing, gives each entry its
// icon and details, moves entries between the lists after a single-file operation, sorts them,
// and turns the lists' gestures (double click, drop) into the command they ask for.
#pragma once

#include "FileListModel.h"
#include "ListEntries.h"
#include "ListFiller.h"

#include <QMimeDatabase>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QEventLoop;

namespace qv {

class FileListView;
class TQV_FileListBox;
class TQV_ImageList;
class TQV_PrgState;
class TQV_Pwd;
struct TQV_Settings;

class TQV_FileLists : public QObject {
    Q_OBJECT

public:
    // files is the hidden listing of the directory the tree shows; the lists are filled from it
    // and their names resolve against its directory.
    TQV_FileLists(FileListView& source, FileListView& crypted, const TQV_FileListBox& files,
                  TQV_PrgState& state, const TQV_Pwd& pwd, const TQV_Settings& settings,
                  const TQV_ImageList& smallImages, const TQV_ImageList& largeImages,
                  QObject* parent = nullptr);
    ~TQV_FileLists() override;

    // Shows a message in the status line.
    std::function<void(const std::string&)> Status;

    FileListView& Source() const { return source_; }
    FileListView& Crypted() const { return crypted_; }

    // The sort state both lists share: the column, and the direction, which every click on a
    // column's caption turns round.
    std::int32_t SortColumn = 0;
    bool SortDescending = false;

    // Empties both lists and fills them again from the listing, each sorted once at the end.
    // Every entry is in its list at once, with the icon its name tells; sizes, dates,
    // attributes and methods are read on a thread of their own, the rows on screen first,
    // while the window goes on answering. The call returns when they are all in and the lists
    // are sorted, unless a newer read took over meanwhile (the window let a change of folder
    // through); then the lists are that read's. Each file's type as its content tells it
    // follows in the background and replaces the one its name told.
    void ReadFLists();
    // Reads the folder for the window's hidden listings of its files (files: the listing the
    // lists were made with and are filled from) and of its subfolders, and fills the lists as
    // ReadFLists does. The folder is read on the filler's thread too, the lists empty meanwhile;
    // the listings are the folder's when the call returns (unless a newer read took over).
    void ReadFolder(const std::string& directory, TQV_FileListBox& files, TQV_FileListBox& folders);
    // Waits, letting the window's events through, until the type of every entry of the last
    // read is the one its content tells.
    void AwaitTypes();
    // Appends an entry with its icon and details; in the quick mode of an unattended tree run
    // (one password for the list or the run), without either.
    void AddListItem(FileListView& list, const std::string& caption);
    // The index of the file's icon in the image lists; 0 when its type has none.
    int GetImageIndex(const std::string& fileName);
    // Fills the details of the entry in row index from its file. An entry whose file cannot be
    // opened or asked keeps no details.
    void GetFileInfo(FileListView& list, int index);
    // Removes the entry with this caption, if there is one. A caption that matches exactly is
    // taken before one that differs only in letter case.
    void RemoveListItem(FileListView& list, const std::string& caption);
    // After a single-file operation on the entry name: adds the resulting file (named newName
    // when not empty) to its list and sorts that list, and unless keepOther removes the
    // source's entry from the other list.
    void UpdateFLists(const std::string& name, const std::string& newName, bool keepOther,
                      Direction direction);
    // Sorts the list with the shared sort state. Left as it is while entries carry no details
    // and the sort column is a detail column.
    void SortList(FileListView& list);
    // A click on a column's caption: refused while entries carry no details.
    void ColumnClick(FileListView& list, int column);

    // The file an entry of the list stands for, in the listed directory.
    std::string FileNameOf(const FileListView& list, int row) const;
    // The row of the first entry with this caption, or -1 (the same matching as RemoveListItem).
    int FindCaption(const FileListView& list, const std::string& caption) const;

signals:
    // A gesture asks for a command: a double click in the plain list or a drop on the crypted
    // list for encrypting the plain list's selection, a double click in the crypted list or a
    // drop on the plain list for decrypting the crypted list's selection.
    void CommandRequested(qv::Direction direction);

private:
    // Takes the batches the filler has handed out.
    Q_INVOKABLE void TakeBatches();
    // Both lists filled from the listing; with listings given, the folder is read first into
    // them.
    void Fill(const std::string* directory, TQV_FileListBox* files, TQV_FileListBox* folders);
    bool IsCrypted(const FileListView& list) const { return &list == &crypted_; }
    FileListView& ListOf(ListSide side) const {
        return side == ListSide::Plain ? source_ : crypted_;
    }
    // Entries are added without icon and details while an unattended tree run goes on.
    bool QuickMode() const;
    std::string PathOf(const std::string& fileName) const;
    void AddEntry(FileListView& list, const std::string& caption, const std::string& fileName);
    // The list's icons for the style it is in.
    void UseImages(FileListView& list);
    // Takes a batch of facts and types from the filler.
    void Take(TQV_ListFiller::Batch& batch);
    // Lets the window's events through until pending is false or a newer read began; true
    // when pending became false for this read.
    bool Await(std::uint64_t generation, const bool& pending);

    FileListView& source_;
    FileListView& crypted_;
    const TQV_FileListBox& files_;
    TQV_PrgState& state_;
    const TQV_Pwd& pwd_;
    const TQV_Settings& settings_;
    const TQV_ImageList& smallImages_;
    const TQV_ImageList& largeImages_;
    QMimeDatabase mime_;
    std::uint64_t generation_ = 0; // counts the reads; results of an earlier one are dropped
    bool factsPending_ = false;
    bool typesPending_ = false;
    QEventLoop* awaiting_ = nullptr;
    // Where the folder's listings go when the filler read the folder.
    TQV_FileListBox* filesOut_ = nullptr;
    TQV_FileListBox* foldersOut_ = nullptr;
    std::mutex batchesMutex_;
    std::vector<TQV_ListFiller::Batch> batches_;
    // Last, so that its thread ends before anything it hands results to.
    std::unique_ptr<TQV_ListFiller> filler_;
};

} // namespace qv
