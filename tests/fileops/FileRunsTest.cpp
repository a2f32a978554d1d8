// Runs over the lists' selections and over directory trees, on real folders, with the password
// dialogs, the message boxes and the master password answered from scripts and a recorder
// standing in for the window.
#include "RunsFixture.h"

#include "FileSizeLimit.h"

#include <csignal>
#include <filesystem>
#include <sys/wait.h>

using namespace qv;
using namespace qvtest;

namespace {

using FileRunsTest = RunsTest;

} // namespace

TEST_F(FileRunsTest, CancelSkipsOneFileAndCancelAllEndsTheRun) {
    struct Case {
        PromptAnswer second;
        Names after;
    };
    const Case cases[] = {
        {PromptAnswer::Skip, {"a.txt.cry", "b.txt", "c.txt.cry"}},
        {PromptAnswer::CancelAll, {"a.txt.cry", "b.txt", "c.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second == PromptAnswer::Skip ? "Cancel" : "Cancel all");
        for (const std::string& name : dir.Names())
            ASSERT_EQ(unlink(Path(name).c_str()), 0);
        WritePlain({"a.txt", "b.txt", "c.txt"});
        Select(ListSide::Plain, {"a.txt", "b.txt", "c.txt"});
        window.log.clear();
        encryptDialog.asked.clear();
        encryptDialog.cancelAllWhenAsked.clear();
        encryptDialog.next = {{}, {c.second}};

        runs.EncrFileList();

        EXPECT_EQ(dir.Names(), c.after);
        // Cancel all is offered in every dialog of the run, and only during it.
        EXPECT_EQ(encryptDialog.cancelAllWhenAsked,
                  std::vector<bool>(encryptDialog.asked.size(), true));
        EXPECT_FALSE(encryptDialog.cancelAllShown);
        // The bars came with the first file and went at the end, with the stop button.
        EXPECT_EQ(window.log.front(), "stop on");
        EXPECT_EQ(std::count(window.log.begin(), window.log.end(), "bars shown"), 1);
        EXPECT_EQ(Log(window.log.end() - 2, window.log.end()), (Log{"bars hidden", "stop off"}));
        EXPECT_FALSE(state.ListsRaised);
        EXPECT_FALSE(state.AbortRequested);
        EXPECT_FALSE(state.Working());
        EXPECT_TRUE(answers.shown.empty());
    }
}

TEST_F(FileRunsTest, AnEmptySelectionProcessesNothingAndShowsNoBars) {
    WritePlain({"a.txt"});
    runs.EncrFileList();
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
    EXPECT_TRUE(encryptDialog.asked.empty());
    EXPECT_EQ(window.log, (Log{"stop on", "stop off"}));
}

TEST_F(FileRunsTest, TheListCheckBoxDecidesHowOftenTheDialogComes) {
    struct Case {
        const char* name;
        bool onePassword;
        bool ticked;
        std::size_t files;
        std::size_t dialogs;
        bool boxEnabled;
    };
    const Case cases[] = {
        {"ticked on the first file", false, true, 3, 1, true},
        {"left unticked", false, false, 3, 3, true},
        {"a run of one file", false, false, 1, 1, false},
        {"one password for the program", true, false, 3, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : dir.Names())
            ASSERT_EQ(unlink(Path(name).c_str()), 0);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < c.files; ++i) {
            names.push_back("f" + std::to_string(i));
            WritePlain({names.back()});
        }
        Select(ListSide::Plain, names);
        pwd.HasPassword = false;
        pwd.OnePassword = c.onePassword;
        pwd.ExpireMinutes = 10;
        settings.OnePerList = true; // the box's default, when it is enabled
        RecordedPwdEvents events;
        expiry.Events = &events;
        encryptDialog.asked.clear();
        ScriptedPasswordDialog::Reply reply;
        reply.onePerList = c.ticked;
        encryptDialog.next = {reply, reply, reply};

        runs.EncrFileList();

        ASSERT_EQ(encryptDialog.asked.size(), c.dialogs);
        EXPECT_EQ(encryptDialog.asked[0].ListBoxEnabled, c.boxEnabled);
        EXPECT_EQ(encryptDialog.asked[0].ListBoxChecked, c.boxEnabled);
        for (const std::string& name : names)
            EXPECT_TRUE(PathExists(Path(name + ".cry"))) << name;
        // The list's password is forgotten at the end of its run, and its expire button was
        // never enabled; the program's is kept, with its timer and button.
        EXPECT_EQ(pwd.HasPassword, c.onePassword);
        const Log expected = c.onePassword ? Log{"timer on", "button on"} : Log{"button off"};
        EXPECT_EQ(events.log, expected);
        expiry.Events = nullptr;
    }
}

TEST_F(FileRunsTest, EachDialogShowsTheFileItsMethodAndTheLengthsItTakes) {
    WritePlain({"a.txt"});
    WriteCrypted("d.doc", "des-pass");
    Select(ListSide::Plain, {"a.txt"});
    const std::pair<std::int32_t, std::pair<const char*, std::size_t>> methods[] = {
        {MethodIdea, {"IDEA", 16}}, {MethodDes, {"DES", 8}}, {MethodTripleDes, {"3xDES", 24}}};
    for (const auto& [method, expected] : methods) {
        settings.Method = method;
        pwd.HasPassword = false;
        encryptDialog.next = {{PromptAnswer::Skip}};
        runs.EncrFileList();
        const PasswordDialogSetup& setup = encryptDialog.asked.back();
        EXPECT_EQ(setup.Directory, work);
        EXPECT_EQ(setup.FileName, "a.txt");
        EXPECT_EQ(setup.MethodName, expected.first);
        EXPECT_EQ(setup.MaxLength, expected.second);
        EXPECT_EQ(setup.EnterText, EncryptEnterText(method));
    }
    EXPECT_EQ(EncryptEnterText(MethodDes), "      輸入這個密碼 (6 - 8 符號)   ");

    // The decryption dialog names the file's own method, and takes up to 24 bytes whatever it is.
    for (const bool showCry : {true, false}) {
        settings.ShowCry = showCry;
        const std::string caption = showCry ? "d.doc.cry" : "d.doc";
        Select(ListSide::Crypted, {caption});
        decryptDialog.next = {{PromptAnswer::Skip}};
        runs.DecrFileList();
        const PasswordDialogSetup& setup = decryptDialog.asked.back();
        EXPECT_EQ(setup.FileName, caption);
        EXPECT_EQ(setup.MethodName, "IDEA");
        EXPECT_EQ(setup.EnterText, "      輸入這個密碼 ( 6 - 16 符號 ) ");
        EXPECT_EQ(setup.MaxLength, 24u);
        EXPECT_FALSE(setup.SaveBoxEnabled);
    }
    EXPECT_EQ(DecryptEnterText("-"), "      輸入這個密碼 ( 6 - 24 符號 ) ");
}

TEST_F(FileRunsTest, AStoredPasswordNeedsNoDialogAndServesTheRestOfItsRun) {
    // x was stored with its password; y has the same password and no entry; the password held
    // from before the run is another one.
    WriteCrypted("x.txt", "stored-pass");
    WriteCrypted("y.txt", "stored-pass");
    StorePassword("x.txt", "stored-pass");
    pwd.OnePassword = true;
    HoldPassword("held-pass");
    Select(ListSide::Crypted, {"x.txt.cry", "y.txt.cry"});

    runs.DecrFileList();

    EXPECT_TRUE(decryptDialog.asked.empty());
    EXPECT_EQ(dir.Names(), (Names{"x.txt", "xwords.001", "y.txt"}));
    EXPECT_EQ(StoredFor("x.txt"), "(none)") << "a stored password serves once";
    EXPECT_TRUE(answers.shown.empty());
    // Nobody typed the stored password in this program: later runs ask again rather than
    // encrypt new files with it.
    EXPECT_FALSE(pwd.HasPassword);
}

// A stored password leaves the database only once its file is decrypted and on disk, or once it
// proved not to open the file: a decryption cut short in any way, even by the death of the
// process, keeps it, so the crypted file never loses its only record of its password.
TEST_F(FileRunsTest, AStoredPasswordLeavesTheDatabaseOnlyOnceItsFileIsDecrypted) {
    enum class Fault { None, Killed, Stopped, DiskFull, WrongPassword };
    struct Case {
        const char* what;
        Fault fault;
        bool entryKept;
    };
    const Case cases[] = {
        {"decrypted", Fault::None, false},
        {"killed at the third chunk", Fault::Killed, true},
        {"stopped at the third chunk", Fault::Stopped, true},
        {"a full disk", Fault::DiskFull, true},
        {"a stored password that does not open it", Fault::WrongPassword, false},
    };
    const auto plain = PatternBytes(100000, 6);
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "f" + std::to_string(index++) + ".bin";
        WriteBytes(Path(name), plain);
        TQV_Pwd writer;
        writer.SetTypedPassword(reinterpret_cast<const std::uint8_t*>("stored-pass"), 11);
        ASSERT_EQ(writer.EncryptFile(Path(name), MethodIdea), CryptOk);
        ASSERT_EQ(unlink(Path(name).c_str()), 0);
        const std::string stored = c.fault == Fault::WrongPassword ? "other-pass" : "stored-pass";
        StorePassword(name, stored);
        Select(ListSide::Crypted, {name + ".cry"});
        const auto crypted = ReadBytes(Path(name + ".cry"));
        answers.shown.clear();

        // While the plain file is written, the entry is still there.
        int chunks = 0;
        std::vector<std::string> duringRun;
        pwd.ChunkDone = [&] {
            ++chunks;
            if (chunks == 3 && c.fault == Fault::Killed)
                raise(SIGKILL);
            if (chunks == 3 && c.fault == Fault::Stopped)
                state.AbortRequested = true;
            if (chunks == 9)
                duringRun.push_back(StoredFor(name));
        };
        if (c.fault == Fault::Killed) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                runs.DecrFileList();
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status)) << "the decryption ended before its kill";
        } else if (c.fault == Fault::DiskFull) {
            const FileSizeLimit limit(50000);
            runs.DecrFileList();
        } else {
            runs.DecrFileList();
        }
        pwd.ChunkDone = nullptr;

        EXPECT_EQ(StoredFor(name), c.entryKept ? stored : "(none)");
        if (c.fault == Fault::None) {
            EXPECT_EQ(duringRun, std::vector<std::string>{stored});
            EXPECT_EQ(ReadBytes(Path(name)), plain);
            EXPECT_FALSE(PathExists(Path(name + ".cry")));
            EXPECT_TRUE(answers.shown.empty());
        } else {
            // Nothing but the crypted file as it was: no partial plain file under any name.
            EXPECT_EQ(ReadBytes(Path(name + ".cry")), crypted);
            EXPECT_FALSE(PathExists(Path(name)));
            for (const std::string& left : dir.Names())
                EXPECT_TRUE(left == "xwords.001" || left.find(".cry") != std::string::npos) << left;
            ASSERT_EQ(unlink(Path(name + ".cry").c_str()), 0);
        }
        if (c.fault != Fault::None)
            continue;
        ASSERT_EQ(unlink(Path(name).c_str()), 0);
    }
}

TEST_F(FileRunsTest, APasswordIsFiledOnlyForAFileThatWasEncrypted) {
    // An older a.txt.cry whose only record of its password is the database's entry.
    WriteCrypted("a.txt", "old-password");
    StorePassword("a.txt", "old-password");
    WritePlain({"a.txt", "b.txt"});
    Select(ListSide::Plain, {"a.txt", "b.txt"});
    ScriptedPasswordDialog::Reply store;
    store.password = "new-password";
    store.save = true;
    encryptDialog.next = {store, store};
    answers.next = {ButtonCancel}; // keep the older a.txt.cry

    runs.EncrFileList();

    EXPECT_EQ(StoredFor("a.txt"), "old-password");
    EXPECT_EQ(StoredFor("b.txt"), "new-password");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "a.txt.cry", "b.txt.cry", "xwords.001"}));
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_NE(answers.shown[0].text.find("Overwrite?"), std::string::npos);
}

TEST_F(FileRunsTest, StopDuringAFileAsksFirstAndEndsTheRunAfterIt) {
    WriteBytes(Path("big1"), PatternBytes(100000));
    WriteBytes(Path("big2"), PatternBytes(100000));
    WriteBytes(Path("big3"), PatternBytes(100000));
    Select(ListSide::Plain, {"big1", "big2", "big3"});
    ScriptedPasswordDialog::Reply once;
    once.onePerList = true;
    encryptDialog.next = {once};
    int chunks = 0;
    std::vector<std::uint8_t> busy;
    pwd.ChunkDone = [&] {
        // The user presses stop in the second file: Cancel at the question first, then OK.
        if (PathExists(Path("big1.cry")) && ++chunks <= 2) {
            busy.push_back(state.BusyFlags);
            answers.next = {chunks == 1 ? ButtonCancel : ButtonOk};
            runs.StopProcess();
        }
    };

    runs.EncrFileList();

    const auto texts = answers.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], StopQuestion);
    EXPECT_EQ(texts[1], StopQuestion);
    EXPECT_EQ(texts[2], "You have aborted processing big2.");
    EXPECT_EQ(answers.shown[0].buttons, ButtonOk | ButtonCancel);
    EXPECT_EQ(busy, (std::vector<std::uint8_t>{EncryptingFile, EncryptingFile}));
    EXPECT_TRUE(window.Saw("status " + std::string(PleaseWaitMessage)));
    EXPECT_EQ(dir.Names(), (Names{"big1.cry", "big2", "big3"}));
    EXPECT_EQ(ReadBytes(Path("big2")), PatternBytes(100000));
    EXPECT_FALSE(state.AbortRequested);
}

TEST_F(FileRunsTest, ANewCommandWaitsWhileARunIsGoingOn) {
    WritePlain({"a.txt", "b.txt"});
    Select(ListSide::Plain, {"a.txt", "b.txt"});
    // The database is read while the run is between files, with no busy bit set: a second
    // command from the window's events must not start.
    table.MasterPass.ChunkDone = [&] {
        Select(ListSide::Plain, {"b.txt"});
        runs.EncrFileList();
        runs.DoForAll(Direction::Encrypt);
    };
    ScriptedPasswordDialog::Reply store;
    store.save = true;
    store.onePerList = true;
    encryptDialog.next = {store};
    runs.EncrFileList();
    EXPECT_EQ(dir.Names(), (Names{"a.txt.cry", "b.txt.cry", "xwords.001"}));
    EXPECT_EQ(encryptDialog.asked.size(), 1u);
    EXPECT_TRUE(window.Saw("status " + std::string(PleaseWaitMessage)));
    EXPECT_TRUE(answers.shown.empty()) << "no tree-run question either";
}

class TreeRunTest : public FileRunsTest {
protected:
    // The folder with A and B, B holding C, and one plain file in each.
    void MakeTree() {
        for (const char* folder : {"A", "B", "B/C"})
            MakeFolder(folder);
        WritePlain({"top.txt", "A/a.txt", "B/b.txt", "B/C/c.txt"});
    }
    static bool Encrypted(const std::string& path) { return PathExists(path + ".cry"); }
};

TEST_F(TreeRunTest, NoProcessesOnlyTheFolderShownAndYesTheWholeTreeDepthFirst) {
    MakeTree();
    answers.next = {ButtonNo};
    runs.DoForAll(Direction::Encrypt);
    EXPECT_EQ(window.visited, Names{"."});
    EXPECT_TRUE(Encrypted(Path("top.txt")));
    EXPECT_FALSE(Encrypted(Path("A/a.txt")));
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].text, RecurseQuestion);
    EXPECT_EQ(answers.shown[0].buttons, ButtonYes | ButtonNo | ButtonCancel);

    window.visited.clear();
    window.log.clear();
    answers.next = {ButtonYes};
    encryptDialog.asked.clear();
    runs.DoForAll(Direction::Encrypt);
    EXPECT_EQ(window.visited, (Names{".", "A", "B", "B/C"}));
    for (const char* file : {"A/a.txt", "B/b.txt", "B/C/c.txt"})
        EXPECT_TRUE(Encrypted(Path(file))) << file;
    // Each folder's file asked for its password: the dialog knows which folder it is in.
    ASSERT_EQ(encryptDialog.asked.size(), 3u);
    EXPECT_EQ(encryptDialog.asked[2].Directory, Path("B/C"));
    // The tree is disabled for the run and the bars shown once; at its end the tree is back in
    // the folder the run started from.
    EXPECT_EQ(std::count(window.log.begin(), window.log.end(), "bars shown"), 1);
    EXPECT_EQ(Log(window.log.end() - 4, window.log.end()),
              (Log{"status Idle.", "tree on", "bars hidden", "stop off"}));
    EXPECT_TRUE(window.Saw("tree off"));
    EXPECT_EQ(window.tree, work);
    EXPECT_FALSE(state.Working());
    EXPECT_FALSE(state.AbortRequested);

    // Cancel asks nothing more.
    window.visited.clear();
    answers.next = {ButtonCancel};
    runs.DoForAll(Direction::Decrypt);
    EXPECT_TRUE(window.visited.empty());
}

TEST_F(TreeRunTest, TheWalkEntersEveryRealSubfolderAndNeverGoesUpOrAlongALink) {
    MakeTree();
    MakeFolder("!first");
    WritePlain({"!first/bang.txt"});
    ASSERT_EQ(symlink("..", Path("A/up").c_str()), 0);
    ASSERT_EQ(symlink(Path("B").c_str(), Path("to-B").c_str()), 0);
    answers.next = {ButtonYes};
    pwd.OnePassword = true;

    runs.DoForAll(Direction::Encrypt);

    EXPECT_EQ(window.visited, (Names{".", "!first", "A", "B", "B/C"}));
    EXPECT_EQ(encryptDialog.asked.size(), 1u) << "one password for the program";
    EXPECT_TRUE(Encrypted(Path("!first/bang.txt")));
    EXPECT_TRUE(answers.shown.size() == 1) << "only the question, nothing skipped";
    // Entries listed without details during the run are read again at its end.
    EXPECT_EQ(window.log.back(), "lists read again");
}

TEST_F(TreeRunTest, AFolderThatCannotBeEnteredIsSkippedAndNamedAtTheEnd) {
    MakeTree();
    MakeFolder("D");
    WritePlain({"D/d.txt"});
    // B goes away while A is processed, as another program might remove it.
    window.onMessages = [&] {
        if (Encrypted(Path("A/a.txt")) && IsDirectory(Path("B")))
            std::filesystem::remove_all(Path("B"));
    };
    // Without root a folder without permission is a second real fault.
    const bool denied = !RunningAsRoot();
    if (denied) {
        ASSERT_EQ(chmod(Path("D").c_str(), 0), 0);
    }
    answers.next = {ButtonYes};

    runs.DoForAll(Direction::Encrypt);

    const Names expected = denied ? Names{".", "A"} : Names{".", "A", "D"};
    EXPECT_EQ(window.visited, expected);
    EXPECT_TRUE(
        window.Saw("status The directory " + Path("B") + " cannot be entered; it is skipped."));
    ASSERT_EQ(answers.shown.size(), 2u);
    const std::string& summary = answers.shown[1].text;
    EXPECT_EQ(answers.shown[1].kind, MessageKind::Error);
    EXPECT_NE(summary.find(Path("B") + " (No such file or directory)"), std::string::npos)
        << summary;
    if (denied) {
        EXPECT_NE(summary.find(Path("D") + " (Permission denied)"), std::string::npos);
    }
    EXPECT_FALSE(state.Working());
    EXPECT_EQ(window.tree, work);
}

TEST_F(TreeRunTest, StopBetweenFoldersEndsTheRunWithoutAQuestion) {
    MakeTree();
    window.onMessages = [&] {
        if (Encrypted(Path("A/a.txt")))
            runs.StopProcess();
    };
    answers.next = {ButtonYes};
    runs.DoForAll(Direction::Encrypt);
    EXPECT_EQ(window.visited, (Names{".", "A"}));
    EXPECT_FALSE(Encrypted(Path("B/b.txt")));
    EXPECT_EQ(answers.shown.size(), 1u) << "only the recurse question";
    EXPECT_FALSE(state.AbortRequested);
    EXPECT_FALSE(state.Working());
}

TEST_F(TreeRunTest, AWrongPasswordAnsweredWithAllEntersNoFurtherFolder) {
    for (const char* folder : {"A", "B"})
        MakeFolder(folder);
    WriteCrypted("one", "right-pass");
    WriteCrypted("two", "right-pass");
    WriteCrypted("A/three", "right-pass");
    decryptDialog.next = {{PromptAnswer::Go, "wrong-pass"}, {PromptAnswer::Go, "wrong-pass"}};
    answers.next = {ButtonYes, ButtonAll};

    runs.DoForAll(Direction::Decrypt);

    EXPECT_EQ(window.visited, Names{"."});
    EXPECT_EQ(decryptDialog.asked.size(), 1u) << "the list stopped after the first file";
    EXPECT_EQ(answers.shown[1].text,
              "Invalid password for the file one.cry !Press 'All' button to abort processing the "
              "file list.");
    EXPECT_TRUE(PathExists(Path("A/three.cry")));
    EXPECT_FALSE(state.AbortRequested);
}

TEST(PasswordDialogText, TheDirectoryGivesWayFromTheFrontButKeepsItsLastName) {
    const auto fitsIn = [](std::size_t width) {
        return [width](const std::string& text) { return text.size() <= width; };
    };
    EXPECT_EQ(ShortenedDirectory("/home/ann/Docs", fitsIn(40)), "/home/ann/Docs");
    EXPECT_EQ(ShortenedDirectory("/home/ann/Docs", fitsIn(13)), ".../ann/Docs");
    EXPECT_EQ(ShortenedDirectory("/home/ann/Docs", fitsIn(3)), ".../Docs");
    EXPECT_EQ(ShortenedDirectory("/", fitsIn(0)), "/");
    EXPECT_EQ(ShortenedDirectory("/srv", fitsIn(0)), "/srv");
}

TEST(PasswordDialogText, LengthsAndRangesFollowTheMethod) {
    EXPECT_EQ(EncryptMaxLength(MethodIdea), 16u);
    EXPECT_EQ(EncryptMaxLength(MethodDes), 8u);
    EXPECT_EQ(EncryptMaxLength(MethodTripleDes), 24u);
    EXPECT_EQ(EncryptEnterText(MethodIdea), "      輸入這個密碼 (6 - 16 符號)   ");
    EXPECT_EQ(EncryptEnterText(MethodTripleDes), "      輸入這個密碼 (6 - 24 符號)   ");
    EXPECT_EQ(DecryptEnterText("DES"), "      輸入這個密碼 ( 6 - 8 符號 ) ");
    EXPECT_EQ(DecryptEnterText("3xDES"), "      輸入這個密碼 ( 6 - 24 符號 ) ");
}
