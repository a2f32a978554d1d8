#include "FolderWalk.h"

#include "FileListBox.h"
#include "FileSystem.h"
#include "Paths.h"

namespace qv {

void WalkFolders(const std::string& folder, bool recurse, FolderVisitor& visitor) {
    if (visitor.Stopped())
        return;
    visitor.Files(folder);
    if (!recurse)
        return;
    TQV_FileListBox folders(TQV_FileListBox::Kind::Directories);
    folders.Read(folder);
    for (const std::string& name : folders.Items()) {
        visitor.Between();
        if (visitor.Stopped())
            break;
        const std::string below = JoinPath(folder, name);
        std::string reason;
        // A folder replaced by a link since it was listed is not followed either.
        if (IsSymbolicLink(below) || !visitor.Enter(below, reason)) {
            if (reason.empty())
                reason = "it is a symbolic link now";
            visitor.Skipped(below, reason);
            continue;
        }
        visitor.Between();
        WalkFolders(below, recurse, visitor);
        visitor.Between();
        visitor.Returned(folder);
        visitor.Between();
        if (visitor.Stopped())
            break;
        visitor.Resumed();
    }
}

} // namespace qv
