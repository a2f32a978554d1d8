// The desktop program's operations on single files, on real files in a temporary folder, with
// scripted answers and a recorder standing in for the window's status line, progress display
// and lists.
#include "FileOps.h"
#include "DirCryptor.h"
#include "FileSizeLimit.h"
#include "FileSystem.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "RecordingWindow.h"
#include "ScriptedAnswers.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <deque>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace qv;
using namespace qvtest;

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AbsolutePath(work), work);
        window.shown = work;
        settings.Method = MethodIdea;
        settings.ShowCry = true;
        UsePassword("secret-12");
    }

    void UsePassword(const std::string& password) {
        pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                             password.size());
        pwd.HasPassword = true;
    }

    std::string Path(const std::string& name) const { return dir / name; }

    void WriteFile(const std::string& name, const std::vector<std::uint8_t>& content,
                   unsigned mode = 0644) {
        WriteBytes(Path(name), content);
        ASSERT_EQ(chmod(Path(name).c_str(), mode), 0);
    }

    TempDir dir;
    const std::string work = dir.Path();
    TQV_Pwd pwd;
    TQV_PrgState state;
    TQV_Settings settings;
    ScriptedAnswers answers;
    RecordingWindow window;
    TQV_FileOps ops{pwd, state, settings, FileOpsFrontEnd{answers, window, window, window}};
};

} // namespace

TEST_F(FileOpsTest, AFileGoesToTheCryptedListAndBackWithShowCryOnAndOff) {
    const auto content = PatternBytes(30000);
    std::vector<std::uint8_t> busyDuringEngine;
    pwd.ChunkDone = [&] { busyDuringEngine.push_back(state.BusyFlags); };
    for (const bool showCry : {true, false}) {
        SCOPED_TRACE(showCry ? "ShowCry on" : "ShowCry off");
        settings.ShowCry = showCry;
        WriteFile("report.doc", content, 0640);
        window.log.clear();
        busyDuringEngine.clear();

        ops.EncrFile(work, "report.doc");
        EXPECT_EQ(dir.Names(), Names{"report.doc.cry"});
        EXPECT_EQ(ModeOf(Path("report.doc.cry")), 0640u);
        EXPECT_EQ(window.log, (Log{"status Encrypting file report.doc ...", "timer on", "timer off",
                                   "status Idle.", "bars reset",
                                   "status Wiping out the file " + Path("report.doc") + " ...",
                                   "status Idle.", "update report.doc (encrypted)"}));
        EXPECT_EQ(busyDuringEngine, std::vector<std::uint8_t>(3, EncryptingFile));
        EXPECT_EQ(state.BusyFlags, 0);

        // The crypted list shows the file as report.doc.cry, or as report.doc.
        const std::string caption = showCry ? "report.doc.cry" : "report.doc";
        window.log.clear();
        busyDuringEngine.clear();
        ops.DecrFile(work, caption);
        EXPECT_EQ(dir.Names(), Names{"report.doc"});
        EXPECT_EQ(ReadBytes(Path("report.doc")), content);
        EXPECT_EQ(ModeOf(Path("report.doc")), 0640u);
        EXPECT_TRUE(window.Saw("status Decrypting file " + caption + " ..."));
        EXPECT_TRUE(window.Saw("status Deleting the file " + Path("report.doc.cry") + " ..."));
        // The plain file took the name its header stores.
        EXPECT_EQ(window.ListChanges(), Log{"update " + caption + " as report.doc (decrypted)"});
        EXPECT_EQ(busyDuringEngine, std::vector<std::uint8_t>(3, DecryptingFile));
        EXPECT_EQ(state.BusyFlags, 0);
        EXPECT_TRUE(answers.shown.empty());
        ASSERT_EQ(unlink(Path("report.doc").c_str()), 0);
    }
}

TEST_F(FileOpsTest, AReadOnlyFileStaysReadOnlyBothWays) {
    WriteFile("b", {'r', 'o'}, 0444);
    ops.EncrFile(work, "b");
    EXPECT_EQ(ModeOf(Path("b.cry")), 0444u);

    // A crypted file named in capitals: with ShowCry off the caption "b" stands for it.
    ASSERT_EQ(rename(Path("b.cry").c_str(), Path("b.CRY").c_str()), 0);
    settings.ShowCry = false;
    window.log.clear();
    ops.DecrFile(work, "b");
    EXPECT_EQ(dir.Names(), Names{"b"});
    EXPECT_EQ(ModeOf(Path("b")), 0444u);
    EXPECT_EQ(ReadText(Path("b")), "ro");
    EXPECT_EQ(window.ListChanges(), Log{"update b as b (decrypted)"});
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(FileOpsTest, AnExistingOutputIsReplacedOnlyAfterOk) {
    WriteText(Path("a.txt"), "new content");
    WriteText(Path("a.txt.cry"), "an older crypted file");
    const std::string question =
        "File " + Path("a.txt.cry") + " already exist in the list of encrypted files. Overwrite?";

    answers.next = {ButtonCancel};
    ops.EncrFile(work, "a.txt");
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].kind, MessageKind::Information);
    EXPECT_EQ(answers.shown[0].text, question);
    EXPECT_EQ(answers.shown[0].buttons, ButtonOk | ButtonCancel);
    EXPECT_EQ(ReadText(Path("a.txt")), "new content");
    EXPECT_EQ(ReadText(Path("a.txt.cry")), "an older crypted file");
    EXPECT_TRUE(window.log.empty()) << "nothing runs after Cancel";

    for (const bool showCry : {true, false}) {
        SCOPED_TRACE(showCry ? "ShowCry on" : "ShowCry off");
        settings.ShowCry = showCry;
        WriteText(Path("a.txt"), "new content");
        answers.shown.clear();
        answers.next = {ButtonOk};
        window.log.clear();
        ops.EncrFile(work, "a.txt");
        EXPECT_TRUE(state.TargetExisted);
        EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
        // The older file's entry goes before the new one comes, so the file is listed once.
        EXPECT_EQ(window.ListChanges(),
                  (Log{std::string("remove crypted ") + (showCry ? "a.txt.cry" : "a.txt"),
                       "update a.txt (encrypted)"}));
    }

    // Decrypting over a plain file of that name.
    WriteText(Path("a.txt"), "an older plain file");
    answers.shown.clear();
    answers.next = {ButtonOk};
    window.log.clear();
    ops.DecrFile(work, "a.txt");
    ASSERT_EQ(answers.Texts(), Log{"File " + Path("a.txt") +
                                   " already exist in the list of non encrypted files. "
                                   "Overwrite?"});
    EXPECT_EQ(ReadText(Path("a.txt")), "new content");
    EXPECT_EQ(window.ListChanges(),
              (Log{"remove plain a.txt", "update a.txt as a.txt (decrypted)"}));
}

TEST_F(FileOpsTest, ASourceThatIsNotThereOrIsNoFileIsReported) {
    ASSERT_EQ(symlink("elsewhere.txt", Path("link.txt").c_str()), 0);
    mkdir(Path("folder.cry").c_str(), 0755);
    ops.EncrFile(work, "gone.txt");
    ops.DecrFile(work, "gone.cry");
    ops.EncrFile(work, "link.txt");
    ops.DecrFile(work, "folder.cry");
    EXPECT_EQ(
        answers.Texts(),
        (Log{"File " + Path("gone.txt") + " not found.", "File " + Path("gone.cry") + " not found.",
             "不能來開啟這個檔案 link.txt .", "不能來開啟這個檔案 folder.cry ."}));
    for (const auto& shown : answers.shown)
        EXPECT_EQ(shown.kind, MessageKind::Error);
    EXPECT_EQ(dir.Names(), (Names{"folder.cry", "link.txt"}));
    EXPECT_TRUE(window.ListChanges().empty());
}

TEST_F(FileOpsTest, EachResultCodeHasItsMessage) {
    struct Case {
        std::int32_t code;
        const char* text; // "" for no message
        unsigned buttons;
    };
    const Case cases[] = {
        {-2, "不能來開啟這個檔案 x.doc .", ButtonOk},
        {-9, "不能建立一個新的檔案.      ", ButtonOk},
        {-10, "不能來讀取這個檔案 x.doc .", ButtonOk},
        {-11,
         "Invalid password for the file x.doc !Press 'All' button to abort processing the file "
         "list.",
         ButtonOk | ButtonAll},
        {-12, "沒記憶體. ", ButtonOk},
        {-13, "Cannot identify file x.doc as a valid crypted file.", ButtonOk},
        {-14, "You have aborted processing x.doc.", ButtonOk},
        {-15, "Processing file x.doc has been aborted. The disk may be full.", ButtonOk},
        {-16,
         "The file x.doc is too large to be encrypted: a crypted file holds at most 2147483607 "
         "bytes.",
         ButtonOk},
        {-17,
         "The file x.doc was not encrypted: no encryption method is chosen. Choose DES, 3xDES or "
         "IDEA.",
         ButtonOk},
        {0, "", 0},
        {-3, "", 0},
        {-100, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        answers.shown.clear();
        ops.ReportCryptResult(c.code, "x.doc");
        if (*c.text == '\0') {
            EXPECT_TRUE(answers.shown.empty());
            continue;
        }
        ASSERT_EQ(answers.shown.size(), 1u);
        EXPECT_EQ(answers.shown[0].kind, MessageKind::Error);
        EXPECT_EQ(answers.shown[0].text, c.text);
        EXPECT_EQ(answers.shown[0].buttons, c.buttons);
        EXPECT_FALSE(state.AbortRequested);
    }
    // All on the wrong-password message stops the running list.
    answers.next = {ButtonAll};
    ops.ReportCryptResult(-11, "x.doc");
    EXPECT_TRUE(state.AbortRequested);
}

TEST_F(FileOpsTest, AWrongPasswordOrAFullDiskLeavesEveryFileAsItWas) {
    const auto content = PatternBytes(64 * 1024);
    WriteFile("big.bin", content, 0440);
    ops.EncrFile(work, "big.bin");
    ASSERT_EQ(dir.Names(), Names{"big.bin.cry"});
    const auto crypted = ReadBytes(Path("big.bin.cry"));
    // A plain file of the output's name that the user lets the decryption replace.
    WriteFile("big.bin", {'m', 'i', 'n', 'e'}, 0600);

    UsePassword("not-the-one");
    answers.next = {ButtonOk};
    window.log.clear();
    ops.DecrFile(work, "big.bin.cry");
    EXPECT_EQ(answers.Texts().back(),
              "Invalid password for the file big.bin.cry !Press 'All' button to abort processing "
              "the file list.");
    EXPECT_EQ(ReadText(Path("big.bin")), "mine");
    EXPECT_EQ(ModeOf(Path("big.bin")), 0600u) << "the kept file's own bits";
    EXPECT_EQ(ModeOf(Path("big.bin.cry")), 0440u) << "the source's own bits";
    EXPECT_EQ(ReadBytes(Path("big.bin.cry")), crypted);
    EXPECT_TRUE(window.ListChanges().empty());

    UsePassword("secret-12");
    ASSERT_EQ(unlink(Path("big.bin").c_str()), 0);
    {
        const FileSizeLimit fullDisk(16 * 1024);
        answers.shown.clear();
        ops.DecrFile(work, "big.bin.cry");
    }
    EXPECT_EQ(answers.Texts(),
              Log{"Processing file big.bin.cry has been aborted. The disk may be full."});
    EXPECT_EQ(dir.Names(), Names{"big.bin.cry"});
    EXPECT_EQ(ModeOf(Path("big.bin.cry")), 0440u);

    ops.DecrFile(work, "big.bin.cry");
    ASSERT_EQ(dir.Names(), Names{"big.bin"});
    {
        const FileSizeLimit fullDisk(16 * 1024);
        answers.shown.clear();
        ops.EncrFile(work, "big.bin");
    }
    EXPECT_EQ(answers.Texts(),
              Log{"Processing file big.bin has been aborted. The disk may be full."});
    EXPECT_EQ(dir.Names(), Names{"big.bin"});
    EXPECT_EQ(ModeOf(Path("big.bin")), 0440u);
    EXPECT_EQ(ReadBytes(Path("big.bin")), content);
}

TEST_F(FileOpsTest, ASourceThatCannotBeErasedKeepsItsEntryBesideTheNewOne) {
    // Another program puts a folder in the source's place while the engine runs, so neither
    // the wipe nor a plain delete can take it away.
    std::string source;
    window.afterEngine = [&] {
        ASSERT_EQ(rename(source.c_str(), Path("moved-away").c_str()), 0);
        ASSERT_EQ(mkdir(source.c_str(), 0755), 0);
    };
    WriteText(Path("a.txt"), "plain");
    source = Path("a.txt");
    ops.EncrFile(work, "a.txt");
    EXPECT_EQ(answers.Texts(),
              Log{"Unable to delete file a.txt from the list of non encrypted files."});
    EXPECT_EQ(window.ListChanges(), Log{"update a.txt, keeping the source's entry (encrypted)"});
    EXPECT_TRUE(IsDirectory(Path("a.txt")));

    ASSERT_EQ(rmdir(Path("a.txt").c_str()), 0);
    ASSERT_EQ(unlink(Path("moved-away").c_str()), 0);
    source = Path("a.txt.cry");
    answers.shown.clear();
    window.log.clear();
    ops.DecrFile(work, "a.txt.cry");
    EXPECT_EQ(answers.Texts(), Log{"Unable to delete file " + Path("a.txt.cry") +
                                   " from the list of encrypted files."});
    EXPECT_EQ(window.ListChanges(),
              Log{"update a.txt.cry as a.txt, keeping the source's entry (decrypted)"});
    EXPECT_EQ(ReadText(Path("a.txt")), "plain");
}

TEST_F(FileOpsTest, WhenTheTreeMovesDuringTheEngineTheFileStaysInItsFolderAndTheListsAlone) {
    TempDir elsewhere;
    const std::string saved = CurrentDirectory();
    const auto content = PatternBytes(30000);
    WriteBytes(Path("a.txt"), content);
    WriteText(Path("a.txt.cry"), "an older crypted file");
    // The user picks another folder in the tree while the window lets messages through; the
    // tree makes it the current directory too.
    pwd.ChunkDone = [&] {
        window.shown = elsewhere.Path();
        ASSERT_EQ(chdir(elsewhere.Path().c_str()), 0);
    };
    answers.next = {ButtonOk};
    ops.EncrFile(work, "a.txt");
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
    EXPECT_TRUE(elsewhere.Names().empty());
    EXPECT_TRUE(window.ListChanges().empty());

    window.shown = work;
    WriteText(Path("a.txt"), "an older plain file");
    answers.next = {ButtonOk};
    ops.DecrFile(work, "a.txt.cry");
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
    EXPECT_EQ(ReadBytes(Path("a.txt")), content);
    EXPECT_TRUE(elsewhere.Names().empty());
    EXPECT_TRUE(window.ListChanges().empty());
    ASSERT_EQ(chdir(saved.c_str()), 0);
}

TEST_F(FileOpsTest, DeleteAsksForEachFileUntilDeleteAllOrCancelAll) {
    using A = DeleteAnswer;
    struct Case {
        std::deque<DeleteAnswer> answers;
        Names left;
        std::size_t asked;
    };
    const Case cases[] = {
        {{A::DeleteAll}, {}, 1},
        {{A::Delete, A::Cancel, A::Delete}, {"b.cry"}, 3},
        {{A::Delete, A::CancelAll}, {"b.cry", "c.cry"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.size());
        for (const char* name : {"a.cry", "b.cry", "c.cry"})
            WriteFile(name, {'x'}, 0444); // read-only files go as well
        ScriptedDeleteDialog dialog;
        dialog.next = c.answers;
        std::vector<std::uint8_t> busyWhenAsked;
        dialog.onAsk = [&] { busyWhenAsked.push_back(state.BusyFlags); };
        TQV_DirCryptor work_;
        state.AbortRequested = true;
        window.log.clear();

        ops.FileDel(ListSide::Crypted, {"a.cry", "b.cry", "c.cry"}, work_, dialog);
        EXPECT_EQ(dir.Names(), c.left);
        EXPECT_EQ(dialog.asked.size(), c.asked);
        EXPECT_EQ(dialog.asked.front(), Path("a.cry"));
        Log removed;
        for (const char* name : {"a.cry", "b.cry", "c.cry"})
            if (std::find(c.left.begin(), c.left.end(), name) == c.left.end())
                removed.push_back(std::string("remove crypted ") + name);
        EXPECT_EQ(window.ListChanges(), removed);
        EXPECT_EQ(window.log.front(), "stop on");
        EXPECT_EQ(window.log.back(), "stop off");
        EXPECT_EQ(busyWhenAsked, std::vector<std::uint8_t>(c.asked, DeletingFiles));
        EXPECT_EQ(state.BusyFlags, 0);
        EXPECT_FALSE(state.AbortRequested);
        EXPECT_EQ(work_.Directory, work);
        EXPECT_TRUE(answers.shown.empty());
        for (const std::string& name : c.left)
            ASSERT_EQ(unlink(Path(name).c_str()), 0);
    }
}

TEST_F(FileOpsTest, DeleteWipesPlainFilesAndFindsCryptedFilesByTheirCaption) {
    settings.ShowCry = false;
    WriteText(Path("report.doc.cry"), "ciphertext");
    WriteText(Path("notes.txt"), "plain words");
    ScriptedDeleteDialog dialog;
    dialog.next = {DeleteAnswer::Delete, DeleteAnswer::Delete, DeleteAnswer::Delete};
    TQV_DirCryptor work_;

    ops.FileDel(ListSide::Crypted, {"report.doc"}, work_, dialog);
    ops.FileDel(ListSide::Plain, {"notes.txt", "vanished.txt"}, work_, dialog);
    EXPECT_EQ(dialog.asked, (Log{Path("report.doc.cry"), Path("notes.txt"), Path("vanished.txt")}));
    // Nothing is left, not even the wipe's temporary names "~~~~~~~~.~~~" and "~".
    EXPECT_TRUE(dir.Names().empty());
    EXPECT_TRUE(window.Saw("status Deleting the file " + Path("report.doc.cry") + " ..."));
    EXPECT_TRUE(window.Saw("status Wiping out the file " + Path("notes.txt") + " ..."));
    EXPECT_EQ(window.ListChanges(), (Log{"remove crypted report.doc", "remove plain notes.txt"}));
    EXPECT_EQ(answers.Texts(), Log{"Unable to delete file " + Path("vanished.txt") + " ."});
}

// A file named like the wipe's own temporary names ("~~~~~~~~.~~~", "~") blocks every wipe in
// its folder. It is kept, as it may be the plain file of an interrupted wipe; the user learns
// which file it is, both when an encryption erases its plain file and when Delete does.
TEST_F(FileOpsTest, AFileInTheWayOfTheWipeIsNamedToTheUser) {
    for (const std::string blocker : {"~", "~~~~~~~~.~~~"}) {
        SCOPED_TRACE(blocker);
        WriteText(Path(blocker), "left by an interrupted wipe");
        WriteText(Path("a.txt"), "plain words");
        WriteText(Path("b.txt"), "more words");
        answers.shown.clear();

        ops.EncrFile(work, "a.txt");
        ScriptedDeleteDialog dialog;
        dialog.next = {DeleteAnswer::Delete};
        TQV_DirCryptor work_;
        ops.FileDel(ListSide::Plain, {"b.txt"}, work_, dialog);

        const std::string reason = " was deleted without being wiped: the file " + Path(blocker) +
                                   " is in the way of the wipe; it may be the plain file of a "
                                   "wipe that was interrupted: look at it, then move or delete it.";
        EXPECT_EQ(answers.Texts(), (Log{"The file " + Path("a.txt") + reason,
                                        "The file " + Path("b.txt") + reason}));
        EXPECT_EQ(ReadText(Path(blocker)), "left by an interrupted wipe");
        Names expected{"a.txt.cry", blocker};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(dir.Names(), expected);
        for (const std::string& name : expected)
            ASSERT_EQ(unlink(Path(name).c_str()), 0);
    }
}

TEST_F(FileOpsTest, DeleteWhileWorkIsRunningOnlyAsksToWait) {
    WriteText(Path("a.txt"), "plain");
    ScriptedDeleteDialog dialog;
    TQV_DirCryptor work_;
    ops.FileDel(ListSide::Plain, {}, work_, dialog);
    EXPECT_TRUE(window.log.empty()) << "an empty selection does nothing";

    state.BusyFlags = EncryptingFile;
    ops.FileDel(ListSide::Plain, {"a.txt"}, work_, dialog);
    EXPECT_EQ(window.log, Log{"status " + std::string(PleaseWaitMessage)});
    EXPECT_TRUE(dialog.asked.empty());
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
    EXPECT_EQ(state.BusyFlags, EncryptingFile);
}
