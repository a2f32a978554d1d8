// Files handed to their applications from the lists: the crypted ones decrypted, watched in the
// table of open files and encrypted again once their applications have ended, with real
// processes standing in for the applications.
#include "OpenFilesFixture.h"

using namespace qv;
using namespace qvtest;

namespace {

// Ticks the watcher until done says so, for at most five seconds.
bool TickUntil(TQV_OpenFiles& open, const std::function<bool()>& done) {
    for (int i = 0; i < 250; ++i) {
        open.NotifyOpenFiles();
        if (done())
            return true;
        usleep(20 * 1000);
    }
    return false;
}

} // namespace

TEST_F(OpenFilesTest, OpeningThreeFilesWatchesThreeAndOnlyTheClosedOneIsEncryptedAgain) {
    for (const bool showCry : {true, false}) {
        SCOPED_TRACE(showCry ? "ShowCry on" : "ShowCry off");
        settings.ShowCry = showCry;
        for (const std::string& name : dir.Names())
            ASSERT_EQ(unlink(Path(name).c_str()), 0);
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            WriteCrypted(name, Typed);
        launcher.launched.clear();
        Select(ListSide::Crypted, showCry ? Names{"a.txt.cry", "b.txt.cry", "c.txt.cry"}
                                          : Names{"a.txt", "b.txt", "c.txt"});

        open.ProcessDecrCmd("open");

        // The applications get the plain files, whatever the list calls them.
        EXPECT_EQ(launcher.Paths(), (Names{Path("a.txt"), Path("b.txt"), Path("c.txt")}));
        EXPECT_EQ(launcher.launched[0].verb, "open");
        EXPECT_EQ(launcher.launched[0].directory, work);
        EXPECT_EQ(dir.Names(), (Names{"a.txt", "b.txt", "c.txt"}));
        EXPECT_EQ(open.Count(), 3);
        EXPECT_TRUE(timer.running);
        EXPECT_FALSE(state.Working());

        open.NotifyOpenFiles(); // all three still open
        EXPECT_EQ(dir.Names(), (Names{"a.txt", "b.txt", "c.txt"}));

        EndApplication(launcher.ProcessOf(Path("b.txt")));
        open.NotifyOpenFiles();
        EXPECT_EQ(dir.Names(), (Names{"a.txt", "b.txt.cry", "c.txt"}));
        EXPECT_EQ(DecryptedWith(Path("b.txt.cry"), Typed), "content of b.txt");
        EXPECT_EQ(open.Count(), 2);
        EXPECT_FALSE(state.OpFiles.Slots[1].Used);
        EXPECT_TRUE(timer.running);

        EndApplication(launcher.ProcessOf(Path("a.txt")));
        EndApplication(launcher.ProcessOf(Path("c.txt")));
        open.NotifyOpenFiles();
        EXPECT_EQ(dir.Names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt.cry"}));
        EXPECT_EQ(open.Count(), 0);
        EXPECT_FALSE(timer.running);
        EXPECT_TRUE(answers.shown.empty());
    }
}

TEST_F(OpenFilesTest, AFileIsEncryptedAgainWithThePasswordItWasDecryptedWith) {
    WriteCrypted("a.txt", "first-pass");
    Select(ListSide::Crypted, {"a.txt.cry"});
    decryptDialog.next = {{PromptAnswer::Go, "first-pass"}};
    open.ProcessDecrCmd("open");
    ASSERT_EQ(open.Count(), 1);

    // Meanwhile the held password expired and another one is held.
    expiry.SetExpired();
    DropExpiredPasswords(pwd, table.MasterPass);
    HoldPassword("other-pass");

    EndApplication(launcher.ProcessOf(Path("a.txt")));
    open.NotifyOpenFiles();
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
    EXPECT_EQ(DecryptedWith(Path("a.txt.cry"), "first-pass"), "content of a.txt");
    // The slot's copy is gone with the slot.
    EXPECT_TRUE(state.OpFiles.Slots[0].Password.empty());
}

TEST_F(OpenFilesTest, AStoredPasswordIsFiledAgainWhenItsFileIsEncryptedAgain) {
    WriteCrypted("a.txt", "stored-pass");
    StorePassword("a.txt", "stored-pass");
    Select(ListSide::Crypted, {"a.txt.cry"});
    open.ProcessDecrCmd("open");
    ASSERT_EQ(open.Count(), 1);
    EXPECT_TRUE(decryptDialog.asked.empty());
    // Used once, the entry has left the database while the file is open.
    EXPECT_EQ(StoredFor("a.txt"), "(none)");

    EndApplication(launcher.ProcessOf(Path("a.txt")));
    open.NotifyOpenFiles();
    EXPECT_EQ(dir.Names(), (Names{"a.txt.cry", "xwords.001"}));
    EXPECT_EQ(StoredFor("a.txt"), "stored-pass");
}

TEST_F(OpenFilesTest, TwentyOpenFilesFillTheTableUntilOneIsClosed) {
    const Names captions = WriteCryptedFiles(MaxOpenFiles + 1);
    Select(ListSide::Crypted, Names(captions.begin(), captions.begin() + 20));
    decryptDialog.next = {{PromptAnswer::Go, Typed, true}};
    open.ProcessDecrCmd("open");
    ASSERT_EQ(open.Count(), 20);
    ASSERT_TRUE(open.Full());

    // A further open does nothing at all.
    Select(ListSide::Crypted, {captions[20]});
    decryptDialog.asked.clear();
    open.ProcessDecrCmd("open");
    EXPECT_TRUE(decryptDialog.asked.empty());
    EXPECT_TRUE(PathExists(Path(captions[20])));
    EXPECT_EQ(launcher.launched.size(), 20u);

    EndApplication(launcher.ProcessOf(Path("f105.txt")));
    open.NotifyOpenFiles();
    EXPECT_TRUE(PathExists(Path("f105.txt.cry")));
    EXPECT_EQ(open.Count(), 19);

    Select(ListSide::Crypted, {captions[20]});
    open.ProcessDecrCmd("open");
    EXPECT_EQ(open.Count(), 20);
    EXPECT_EQ(launcher.launched.back().path, Path("f120.txt"));
    // The freed slot is the one taken.
    EXPECT_EQ(state.OpFiles.Slots[5].FileName, Path("f120.txt"));
}

TEST_F(OpenFilesTest, ASelectionLargerThanTheRoomLeftIsDecryptedOnlyAsFarAsItCanBeWatched) {
    const Names captions = WriteCryptedFiles(MaxOpenFiles + 1);
    Select(ListSide::Crypted, captions);
    decryptDialog.next = {{PromptAnswer::Go, Typed, true}};
    open.ProcessDecrCmd("open");
    EXPECT_EQ(open.Count(), 20);
    // The last selected file was not decrypted, so no plain copy is left unwatched.
    EXPECT_TRUE(PathExists(Path("f120.txt.cry")));
    EXPECT_FALSE(PathExists(Path("f120.txt")));
    EXPECT_TRUE(window.Saw(std::string("status ") + TableFullMessage));
}

TEST_F(OpenFilesTest, AFileStillOpenInAnotherProcessWaitsUntilThatProcessHasClosedIt) {
    WriteCrypted("a.txt", Typed);
    // An application that hands the file to a process of its own and ends at once, as many
    // applications hand files to an instance already running.
    launcher.program = [](const std::string& path) {
        return Names{"sh", "-c", "exec 3<\"$0\"; sleep 1 & exit 0", path};
    };
    Select(ListSide::Crypted, {"a.txt.cry"});
    open.ProcessDecrCmd("open");
    ASSERT_EQ(open.Count(), 1);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(launcher.ProcessOf(Path("a.txt"))), &info,
                     WEXITED | WNOWAIT),
              0);

    open.NotifyOpenFiles();
    open.NotifyOpenFiles();
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
    EXPECT_FALSE(state.OpFiles.Slots[0].Running);
    const std::string told = std::string("status ") + FillIn(StillHeldMessage, Path("a.txt"));
    EXPECT_EQ(std::count(window.log.begin(), window.log.end(), told), 1);

    EXPECT_TRUE(TickUntil(open, [&] { return open.Count() == 0; }));
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
}

TEST_F(OpenFilesTest, AClosedFileWaitsWhileOtherWorkUsesTheWorkList) {
    WriteCrypted("a.txt", Typed);
    Select(ListSide::Crypted, {"a.txt.cry"});
    open.ProcessDecrCmd("open");
    EndApplication(launcher.ProcessOf(Path("a.txt")));

    const std::pair<const char*, std::function<void(bool)>> work[] = {
        {"a file being deleted", [&](bool on) { state.BusyFlags = on ? DeletingFiles : 0; }},
        {"a run waiting in a password dialog", [&](bool on) { state.RunInProgress = on; }},
    };
    for (const auto& [name, set] : work) {
        SCOPED_TRACE(name);
        set(true);
        open.NotifyOpenFiles();
        EXPECT_EQ(dir.Names(), Names{"a.txt"});
        EXPECT_EQ(open.Count(), 1);
        EXPECT_FALSE(state.OpFiles.Slots[0].Running);
        set(false);
    }
    open.NotifyOpenFiles();
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
    EXPECT_EQ(state.BusyFlags, 0);
}

TEST_F(OpenFilesTest, AFileNoApplicationTakesIsEncryptedAgainAtOnceAndReported) {
    WriteCrypted("a.txt", Typed);
    launcher.program = [](const std::string&) { return Names{}; };
    Select(ListSide::Crypted, {"a.txt.cry"});
    open.ProcessDecrCmd("print");
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
    EXPECT_EQ(open.Count(), 0);
    EXPECT_FALSE(timer.running);
    EXPECT_EQ(answers.Texts(), Log{FillIn(CannotHandOverMessage, Path("a.txt"))});
    EXPECT_EQ(DecryptedWith(Path("a.txt.cry"), Typed), "content of a.txt");
}

TEST_F(OpenFilesTest, AFileThatWasNotDecryptedIsNeitherOpenedNorWatched) {
    struct Case {
        const char* name;
        ScriptedPasswordDialog::Reply reply;
        std::vector<Button> answers; // the overwrite question, the error
    };
    const Case cases[] = {
        {"the dialog cancelled", {PromptAnswer::Skip}, {}},
        {"a wrong password", {PromptAnswer::Go, "wrong-pass"}, {ButtonOk}},
        {"the plain file of that name kept", {}, {ButtonCancel}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : dir.Names())
            ASSERT_EQ(unlink(Path(name).c_str()), 0);
        WriteCrypted("a.txt", Typed);
        // A plain file of that name was there before: it is not the one the user asked for.
        WriteText(Path("a.txt"), "an older a.txt");
        Select(ListSide::Crypted, {"a.txt.cry"});
        decryptDialog.next = {c.reply};
        answers.next = {c.answers.begin(), c.answers.end()};
        open.ProcessDecrCmd("open");
        EXPECT_TRUE(launcher.launched.empty());
        EXPECT_EQ(open.Count(), 0);
        EXPECT_EQ(ReadText(Path("a.txt")), "an older a.txt");
        EXPECT_TRUE(PathExists(Path("a.txt.cry")));
    }
}

TEST_F(OpenFilesTest, PlainFilesAreHandedOverWithoutPasswordOrWatching) {
    WritePlain({"a.txt", "b.txt"});
    Select(ListSide::Plain, {"a.txt", "b.txt"});
    open.ProcessCmd("print");
    EXPECT_EQ(launcher.Paths(), (Names{Path("a.txt"), Path("b.txt")}));
    EXPECT_EQ(launcher.launched[1].verb, "print");
    EXPECT_EQ(open.Count(), 0);
    EXPECT_TRUE(decryptDialog.asked.empty());
    EXPECT_TRUE(encryptDialog.asked.empty());
    EXPECT_TRUE(window.Saw(std::string("status ") + RunningAppMessage));

    // The applications are reaped once they end, and the timer stops then.
    EndApplication(launcher.launched[0].process);
    EndApplication(launcher.launched[1].process);
    open.NotifyOpenFiles();
    EXPECT_FALSE(timer.running);
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "b.txt"}));

    launcher.program = [](const std::string&) { return Names{}; };
    Select(ListSide::Plain, {"b.txt"});
    open.ProcessCmd("open");
    EXPECT_EQ(answers.Texts(), Log{FillIn(CannotHandOverMessage, Path("b.txt"))});
}

TEST_F(OpenFilesTest, OpenOnTheCryptedListWaitsForOtherWork) {
    WriteCrypted("a.txt", Typed);
    Select(ListSide::Crypted, {"a.txt.cry"});
    state.BusyFlags = EncryptingFile;
    open.ProcessDecrCmd("open");
    EXPECT_TRUE(window.Saw(std::string("status ") + PleaseWaitMessage));
    EXPECT_TRUE(decryptDialog.asked.empty());
    EXPECT_TRUE(PathExists(Path("a.txt.cry")));
    state.BusyFlags = 0;
}
