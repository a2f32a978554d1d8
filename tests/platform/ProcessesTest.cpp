// Programs started and watched: their end seen once, and the files other processes hold open.
#include "Processes.h"

#include "FileSystem.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qv;
using namespace qvtest;

namespace {

// Waits until the child has ended, without reaping it.
void WaitUntilEnded(pid_t process) {
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOWAIT), 0);
}

} // namespace

TEST(Processes, AStartedProgramRunsUntilItEndsAndIsReapedOnce) {
    const pid_t process = StartProgram({"sleep", "60"});
    ASSERT_GT(process, 0);
    EXPECT_FALSE(ProcessHasEnded(process));
    ASSERT_EQ(kill(process, SIGTERM), 0);
    WaitUntilEnded(process);
    EXPECT_TRUE(ProcessHasEnded(process));
    // Reaped: no zombie is left, and the answer stays.
    EXPECT_EQ(waitpid(process, nullptr, WNOHANG), -1);
    EXPECT_TRUE(ProcessHasEnded(process));
}

TEST(Processes, AProgramThatCannotBeStartedGivesNoProcess) {
    EXPECT_EQ(StartProgram({"quorvane-no-such-program"}), -1);
    EXPECT_EQ(StartProgram({}), -1);
    // Nothing to watch counts as ended.
    EXPECT_TRUE(ProcessHasEnded(0));
    EXPECT_TRUE(ProcessHasEnded(-1));
}

TEST(Processes, TheStartedProgramGetsNoneOfThisProcesssOpenFiles) {
    TempDir dir;
    const std::string kept = dir / "kept";
    WriteText(kept, "secret");
    const int fd = open(kept.c_str(), O_RDONLY); // deliberately without close-on-exec
    ASSERT_GE(fd, 3);
    const std::string report = dir / "fds";
    const pid_t process = StartProgram({"sh", "-c", "ls /proc/self/fd > \"$0\"", report});
    ASSERT_GT(process, 0);
    WaitUntilEnded(process);
    EXPECT_TRUE(ProcessHasEnded(process));
    close(fd);
    // Standard input, output, error and the descriptor ls reads the folder with.
    EXPECT_EQ(ReadText(report).find(std::to_string(fd) + "\n"), std::string::npos)
        << ReadText(report);
}

TEST(Processes, AFileHeldOpenByAnotherProcessIsFoundUnderAnyOfItsNames) {
    TempDir dir;
    const std::string held = dir / "held.txt";
    const std::string other = dir / "other.txt";
    const std::string link = dir / "second-name.txt";
    WriteText(held, "held");
    WriteText(other, "free");
    ASSERT_EQ(::link(held.c_str(), link.c_str()), 0);
    // This process's own descriptors do not count.
    const int own = open(other.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(own, 0);

    const pid_t process = StartProgram(
        {"sh", "-c", "exec 3<\"$0\"; echo > \"$1\"; exec sleep 60", held, dir / "ready"});
    ASSERT_GT(process, 0);
    for (int i = 0; i < 500 && !PathExists(dir / "ready"); ++i)
        usleep(10 * 1000);

    const std::vector<std::string> found = FilesHeldOpen({other, link, dir / "missing", held});
    EXPECT_EQ(found, (std::vector<std::string>{link, held}));

    ASSERT_EQ(kill(process, SIGKILL), 0);
    WaitUntilEnded(process);
    EXPECT_TRUE(ProcessHasEnded(process));
    EXPECT_TRUE(FilesHeldOpen({held, link}).empty());
    close(own);
}
