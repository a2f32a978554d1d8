// The order of a run over a directory tree, shared by the desktop program's tree run and
// quorvane-cli --recursive: a folder's own files first, then each subfolder with everything below
// it, depth-first in the order of their sorted names. Symbolic links to folders and pseudo file
// systems are never entered; a folder that cannot be entered is skipped and named.
#pragma once

#include <string>

namespace qv {

// What a front end does at each step of the walk.
class FolderVisitor {
public:
    virtual ~FolderVisitor() = default;
    // The files of folder, the folder entered last.
    virtual void Files(const std::string& folder) = 0;
    // Enters a subfolder; false, with the reason, when it cannot be entered.
    virtual bool Enter(const std::string& folder, std::string& reason) = 0;
    // A subfolder was not entered, for reason.
    virtual void Skipped(const std::string& folder, const std::string& reason) = 0;
    // Back in folder after one of its subfolders.
    virtual void Returned(const std::string& /*folder*/) {}
    // About to go on with the next subfolder of the folder returned to.
    virtual void Resumed() {}
    // Between two steps: the desktop program lets its window's events through here.
    virtual void Between() {}
    // Ends the walk after the step in hand.
    virtual bool Stopped() = 0;
};

// Walks folder (an absolute path, already entered), and with recurse every folder below it.
void WalkFolders(const std::string& folder, bool recurse, FolderVisitor& visitor);

} // namespace qv
