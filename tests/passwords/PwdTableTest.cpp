// Storing and retrieving passwords: what the user sees and what the file holds afterwards.
#include "PwdTable.h"

#include "DatabaseOracle.h"
#include "FileSizeLimit.h"
#include "FileSystem.h"
#include "PasswordsSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using namespace qvtest;

namespace {

using Entries = std::vector<std::string>;

} // namespace

TEST_F(DatabaseTest, AStoredPasswordIsHandedOverOnceAndTheLastEntryLeavesAnEmptyDatabase) {
    Store("/home/ann/Report.doc", "pa=ss word");
    EXPECT_EQ(EntriesOnDisk(), Entries{"/home/ann/Report.doc=pa=ss word"});

    current.HasPassword = false;
    EXPECT_EQ(Retrieve("/home/ann/Report.doc"), "pa=ss word");
    EXPECT_FALSE(current.HasPassword) << "a retrieve hands the password over, nothing more";
    EXPECT_EQ(Retrieve("/home/ann/Report.doc"), "(none)");
    EXPECT_EQ(CurrentTyped(), "previous") << "a failed retrieve leaves the current password";

    EXPECT_EQ(ReadBytes(dbPath).size(), 22u);
    EXPECT_TRUE(EntriesOnDisk().empty());
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(DatabaseTest, KeysAreComparedWithoutRegardToCase) {
    Store("/HOME/ANN/NOTES.TXT", "capitals");
    EXPECT_EQ(Retrieve("/home/ann/notes.txt"), "capitals");
}

TEST_F(DatabaseTest, StoringAgainUnderTheSameKeyKeepsOnlyTheSecondPassword) {
    Store("/home/ann/a.txt", "first-password");
    Store("/home/ann/A.TXT", "second-password");
    EXPECT_EQ(EntriesOnDisk(), Entries{"/home/ann/A.TXT=second-password"});
    EXPECT_EQ(Retrieve("/home/ann/a.txt"), "second-password");
}

TEST_F(DatabaseTest, EachFileOfAListGetsItsOwnEntryAndOnlyItsOwnIsConsumed) {
    for (const char* name : {"/d/one", "/d/two", "/d/three"})
        Store(name, "shared-password");
    EXPECT_EQ(Retrieve("/d/two"), "shared-password");
    EXPECT_EQ(EntriesOnDisk(), (Entries{"/d/one=shared-password", "/d/three=shared-password"}));
}

TEST_F(DatabaseTest, AKeyWithAnEqualsSignIsStoredButNeverFound) {
    Store("/home/ann/a=b.txt", "hidden-password");
    EXPECT_EQ(EntriesOnDisk(), Entries{"/home/ann/a=b.txt=hidden-password"});
    EXPECT_EQ(Retrieve("/home/ann/a=b.txt"), "(none)");
    EXPECT_EQ(EntriesOnDisk(), Entries{"/home/ann/a=b.txt=hidden-password"});
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(DatabaseTest, EntriesStayUnderTheirOldPathWhenAFileMoves) {
    Store("/home/ann/old-name.txt", "moved-password");
    EXPECT_EQ(Retrieve("/home/ann/new-name.txt"), "(none)");
    EXPECT_EQ(Retrieve("/home/ann/old-name.txt"), "moved-password");
}

TEST_F(DatabaseTest, WithStoreOffNothingTouchesTheFileOrAsksForTheMasterPassword) {
    const auto before = OracleDatabase(Master, "/d/a=stored-password\r\n");
    WriteBytes(dbPath, before);
    table.MasterPass.Store = false;
    table.MasterPass.HasPassword = false;
    prompt.Accepts(Master);

    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    Store("/d/b", "another-password");

    EXPECT_EQ(prompt.asked, 0);
    EXPECT_EQ(ReadBytes(dbPath), before);
    EXPECT_TRUE(answers.shown.empty());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"xwords.001"});
}

TEST_F(DatabaseTest, WithoutADatabaseARetrieveFindsNothingQuietlyAndAStoreCreatesItOwnerOnly) {
    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    EXPECT_TRUE(answers.shown.empty());
    EXPECT_FALSE(PathExists(dbPath)) << "a retrieve never creates the database";

    Store("/d/a", "new-password");
    EXPECT_EQ(EntriesOnDisk(), Entries{"/d/a=new-password"});
    EXPECT_EQ(ModeOf(dbPath), 0600u);
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(DatabaseTest, ARewrittenDatabaseBecomesOwnerOnly) {
    Store("/d/a", "first-password");
    ASSERT_TRUE(SetPermissions(dbPath, 0644));
    Store("/d/b", "second-password");
    EXPECT_EQ(ModeOf(dbPath), 0600u);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"xwords.001"}) << "no temporary file left";
}

// Every kind of file that cannot be read as this database: the read gives its code, a store
// shows the message and leaves the file exactly as it was, a retrieve shows it and finds nothing.
TEST_F(DatabaseTest, AFileThatCannotBeReadIsReportedAndNeverOverwritten) {
    const std::string text = "/d/a=stored-password\r\n/d/b=other-password\r\n";
    const auto good = OracleDatabase(Master, text);
    struct Case {
        const char* what;
        std::function<std::vector<std::uint8_t>()> bytes;
        std::int32_t code;
    };
    const Case cases[] = {
        {"not a PT98 file",
         [&] {
             auto b = good;
             b[3] = '9';
             return b;
         },
         DatabaseNotPt98},
        {"plain text",
         [] {
             return std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o',
                                              'r', 'l', 'd', '!', '!', '!', '!', '!'};
         },
         DatabaseNotPt98},
        {"another master password", [&] { return OracleDatabase("Another-Master", text); },
         DatabaseWrongKey},
        {"a flipped data byte",
         [&] {
             auto b = good;
             b[20] ^= 0x01;
             return b;
         },
         DatabaseWrongKey},
        {"a flipped checksum byte",
         [&] {
             auto b = good;
             b[9] ^= 0x80;
             return b;
         },
         DatabaseWrongKey},
        {"cut inside the header",
         [&] { return std::vector<std::uint8_t>(good.begin(), good.begin() + 10); },
         DatabaseReadFailed},
        {"cut inside the data",
         [&] { return std::vector<std::uint8_t>(good.begin(), good.end() - 8); }, DatabaseWrongKey},
        {"cut inside a block",
         [&] { return std::vector<std::uint8_t>(good.begin(), good.end() - 3); }, DatabaseWrongKey},
        {"a negative text length", [&] { return OracleDatabase(Master, text, -5); },
         DatabaseWrongKey},
        {"a text length past the data",
         [&] { return OracleDatabase(Master, text, static_cast<std::int32_t>(good.size())); },
         DatabaseWrongKey},
        {"the largest text length", [&] { return OracleDatabase(Master, text, INT32_MAX); },
         DatabaseWrongKey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = c.bytes();
        WriteBytes(dbPath, before);
        answers.shown.clear();

        table.ClearEntries();
        EXPECT_EQ(table.ReadDatabase(true), c.code);
        EXPECT_TRUE(table.Entries.Empty()) << "nothing of a bad file stays in memory";
        table.ClearEntries();

        Store("/d/c", "new-password");
        EXPECT_EQ(Retrieve("/d/a"), "(none)");
        EXPECT_EQ(answers.Texts(),
                  (std::vector<std::string>{DatabaseErrorMessage, DatabaseErrorMessage}));
        EXPECT_EQ(ReadBytes(dbPath), before);
        EXPECT_TRUE(table.Entries.Empty());
    }
}

TEST_F(DatabaseTest, ADirectoryInPlaceOfTheFileIsReportedAndKept) {
    ASSERT_EQ(mkdir(dbPath.c_str(), 0700), 0);
    EXPECT_EQ(table.ReadDatabase(true), DatabaseReadFailed);
    Store("/d/a", "new-password");
    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    EXPECT_EQ(answers.Texts(),
              (std::vector<std::string>{DatabaseErrorMessage, DatabaseErrorMessage}));
    EXPECT_TRUE(PathExists(dbPath) && !IsRegularFile(dbPath));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"xwords.001"});
}

TEST_F(DatabaseTest, APathThatExistsButCannotBeOpenedIsNotReplacedByANewDatabase) {
    // A loop of links cannot be opened, not even by root.
    ASSERT_EQ(symlink("xwords.001", dbPath.c_str()), 0);
    EXPECT_EQ(table.ReadDatabase(true), DatabaseCannotOpen);
    Store("/d/a", "new-password");
    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    EXPECT_EQ(answers.Texts(),
              (std::vector<std::string>{DatabaseErrorMessage, DatabaseErrorMessage}));
    struct stat st {};
    ASSERT_EQ(lstat(dbPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(DatabaseTest, AFolderThatDoesNotExistGivesTheMessageOnStoreOnly) {
    table.MasterPass.Dir = dir / "missing/xwords.001";
    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    EXPECT_TRUE(answers.shown.empty());
    Store("/d/a", "new-password");
    EXPECT_EQ(answers.Texts(), std::vector<std::string>{DatabaseErrorMessage});
    EXPECT_TRUE(dir.Names().empty());
}

// A write that fails part-way (here: the file size limit, as a full disk would) leaves the
// previous database exactly as it was, and no temporary file behind.
class DatabaseWriteFaultTest : public DatabaseTest {
protected:
    void LimitFileSize(rlim_t bytes) { limit_.emplace(bytes); }

private:
    std::optional<FileSizeLimit> limit_;
};

TEST_F(DatabaseWriteFaultTest, AFailedStoreKeepsThePreviousDatabase) {
    Store("/d/a", "first-password");
    Store("/d/b", "second-password");
    const auto before = ReadBytes(dbPath);

    LimitFileSize(before.size() + 8);
    Store("/d/" + std::string(200, 'c'), "third-password");

    EXPECT_EQ(answers.Texts(), std::vector<std::string>{DatabaseErrorMessage});
    EXPECT_EQ(ReadBytes(dbPath), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"xwords.001"});
    EXPECT_TRUE(table.Entries.Empty());
}

TEST_F(DatabaseWriteFaultTest, ARetrieveWhoseRewriteFailsStillHandsThePasswordOverAndLosesNothing) {
    Store("/d/a", "first-password");
    Store("/d/b", "second-password");
    const auto before = ReadBytes(dbPath);

    LimitFileSize(16); // smaller than any database
    EXPECT_EQ(Retrieve("/d/a"), "first-password");

    EXPECT_EQ(answers.Texts(), std::vector<std::string>{DatabaseErrorMessage});
    EXPECT_EQ(ReadBytes(dbPath), before) << "the entry is still there for the next time";
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"xwords.001"});
}

TEST_F(DatabaseTest, AnEntryThatWouldNotReadBackAsOneLineIsRefused) {
    Store("/d/a", "kept-password");
    const auto before = ReadBytes(dbPath);
    struct Case {
        std::string key;
        std::string password;
    };
    const Case cases[] = {
        {"/d/line\nbreak", "good-password"},
        {"/d/carriage\rreturn", "good-password"},
        {std::string("/d/zero\0byte", 12), "good-password"},
        {"/d/b", "bad\r\npassword"},
        {"/d/b", std::string("bad\0password", 12)},
        {"/d/b", ""},
    };
    for (const Case& c : cases) {
        answers.shown.clear();
        Store(c.key, c.password);
        EXPECT_EQ(answers.Texts(), std::vector<std::string>{StoreRefusedMessage});
        EXPECT_EQ(ReadBytes(dbPath), before);
    }
    EXPECT_EQ(prompt.asked, 0);
}

TEST_F(DatabaseTest, AnEntryWithAnEmptyPasswordHandsNothingOver) {
    WriteBytes(dbPath, OracleDatabase(Master, "/d/a=\r\n"));
    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    EXPECT_EQ(CurrentTyped(), "previous");
}

TEST_F(DatabaseTest, AMasterPasswordOfMoreThanSixteenCharactersOpensTheDatabaseAsItsFirstSixteen) {
    WriteBytes(dbPath, OracleDatabase("0123456789abcdef", "/d/a=long-master\r\n"));
    HoldMaster("0123456789abcdef-and-more");
    EXPECT_EQ(Retrieve("/d/a"), "long-master");
    EXPECT_EQ(table.MasterPass.PasswordLength, 16);
    EXPECT_TRUE(answers.shown.empty());
    // The rewrite is made with the same 16 characters.
    EXPECT_TRUE(OracleRead(ReadBytes(dbPath), "0123456789abcdef").checksumOk);
}

TEST_F(DatabaseTest, WithoutAMasterPasswordTheFirstStoreAsksForItAndAStoreWithoutOneDoesNothing) {
    table.MasterPass.HasPassword = false;
    Store("/d/a", "first-password"); // the dialog is closed with "later"
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_FALSE(PathExists(dbPath));
    EXPECT_TRUE(answers.shown.empty());

    prompt.Accepts("New-Master-1");
    Store("/d/a", "first-password");
    EXPECT_EQ(prompt.asked, 2);
    EXPECT_TRUE(table.MasterPass.HasPassword);
    EXPECT_TRUE(OracleRead(ReadBytes(dbPath), "New-Master-1").checksumOk);

    // Held now: no more questions.
    EXPECT_EQ(Retrieve("/d/a"), "first-password");
    EXPECT_EQ(prompt.asked, 2);
}

TEST_F(DatabaseTest, ARetrieveWithoutAMasterPasswordAsksAndFindsNothingWhenRefused) {
    WriteBytes(dbPath, OracleDatabase(Master, "/d/a=stored-password\r\n"));
    const auto before = ReadBytes(dbPath);
    table.MasterPass.HasPassword = false;
    prompt.visits.push_back({{}, MasterPwdAnswer::NotUse});
    RecordedEvents events;
    table.MasterPass.Events = &events;

    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    EXPECT_FALSE(table.MasterPass.Store);
    EXPECT_EQ(events.log, std::vector<std::string>{"switched off"});
    EXPECT_EQ(ReadBytes(dbPath), before);

    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    EXPECT_EQ(prompt.asked, 1) << "a database switched off asks no more";
}

TEST_F(DatabaseTest, AWrongMasterPasswordFromTheCommandLineShowsTheMessageAtFirstUse) {
    Store("/d/a", "stored-password");
    const auto before = ReadBytes(dbPath);
    HoldMaster("Wrong-Master");
    EXPECT_EQ(Retrieve("/d/a"), "(none)");
    Store("/d/b", "other-password");
    EXPECT_EQ(answers.Texts(),
              (std::vector<std::string>{DatabaseErrorMessage, DatabaseErrorMessage}));
    EXPECT_EQ(ReadBytes(dbPath), before);
}
