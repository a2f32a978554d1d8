#include "Processes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

extern char** environ;

namespace qv {

pid_t StartProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        errno = EINVAL;
        return -1;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    // Descriptors without close-on-exec (a database or a crypted file being read) stay here.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

bool ProcessHasEnded(pid_t pid) {
    if (pid <= 0)
        return true;
    int status = 0;
    pid_t result;
    do
        result = waitpid(pid, &status, WNOHANG);
    while (result < 0 && errno == EINTR);
    return result != 0;
}

namespace {

using FileId = std::pair<dev_t, ino_t>;

bool AllDigits(const char* text) {
    if (*text == '\0')
        return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9')
            return false;
    return true;
}

// Adds to held the files of wanted that process pid has open.
void LookAtProcess(const std::string& pid, const std::vector<FileId>& wanted,
                   std::vector<FileId>& held) {
    const std::string fdDir = "/proc/" + pid + "/fd";
    DIR* fds = opendir(fdDir.c_str());
    if (!fds)
        return; // another user's process, or one that has just ended
    while (const dirent* fd = readdir(fds)) {
        if (!AllDigits(fd->d_name))
            continue;
        struct stat info;
        // stat follows the descriptor's link to the open file itself, whatever its name now.
        if (stat((fdDir + "/" + fd->d_name).c_str(), &info) != 0)
            continue;
        const FileId id{info.st_dev, info.st_ino};
        if (std::find(wanted.begin(), wanted.end(), id) != wanted.end() &&
            std::find(held.begin(), held.end(), id) == held.end())
            held.push_back(id);
    }
    closedir(fds);
}

} // namespace

std::vector<std::string> FilesHeldOpen(const std::vector<std::string>& paths) {
    std::vector<FileId> ids(paths.size(), FileId{0, 0});
    std::vector<FileId> wanted;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        struct stat info;
        if (stat(paths[i].c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            ids[i] = {info.st_dev, info.st_ino};
            wanted.push_back(ids[i]);
        }
    }
    std::vector<std::string> result;
    if (wanted.empty())
        return result;

    std::vector<FileId> held;
    const std::string self = std::to_string(getpid());
    if (DIR* proc = opendir("/proc")) {
        while (const dirent* entry = readdir(proc)) {
            if (AllDigits(entry->d_name) && self != entry->d_name)
                LookAtProcess(entry->d_name, wanted, held);
        }
        closedir(proc);
    }
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (ids[i] != FileId{0, 0} && std::find(held.begin(), held.end(), ids[i]) != held.end())
            result.push_back(paths[i]);
    return result;
}

} // namespace qv
