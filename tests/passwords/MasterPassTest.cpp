// The master password: the checks of the dialog's Confirm button, what the dialog's answers
// do, and the expiry driven by the one-second timer.
#include "MasterPass.h"
#include "PwdTable.h"

#include "DatabaseOracle.h"
#include "PasswordsSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

using namespace qv;
using namespace qvtest;

namespace {

using Log = std::vector<std::string>;

const std::string TooShort = "太少密碼的字元符號輸入." + std::string(8, ' ');
const std::string TooLong = "太多密碼的字元符號輸入." + std::string(9, ' ');
const std::string Mismatch = "證實失敗了." + std::string(9, ' ');
const std::string Wrong = "不正確無效的密碼.";

} // namespace

TEST(MasterPasswordText, LengthIsCountedInBytesFromSixToSixteenAndBothBoxesMustMatch) {
    struct Case {
        std::string first;
        std::string second;
        std::string message;
    };
    const Case cases[] = {
        {"abcde", "abcde", TooShort},
        {"", "", TooShort},
        {"abcdef", "abcdef", ""},
        {"0123456789abcdef", "0123456789abcdef", ""},
        {"0123456789abcdefg", "0123456789abcdefg", TooLong},
        {"abcdef", "abcdeF", Mismatch},            // letter case counts
        {"abcdef", "", Mismatch},                  // a click into the empty confirmation box
        {"abcde", "", TooShort},                   // the length is checked first
        {"密碼", "密碼", ""},                      // two characters of three UTF-8 bytes each
        {"密碼密碼密碼", "密碼密碼密碼", TooLong}, // 18 bytes
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckMasterPasswordText(Bytes(c.first), Bytes(c.second)), c.message)
            << c.first << " / " << c.second;
}

TEST_F(DatabaseTest, ConfirmRefusesOnlyAPasswordWhoseKeyCheckDoesNotMatch) {
    // No database yet: any well-formed password.
    EXPECT_EQ(table.SubmitMasterPassword(Bytes("Any-Password"), Bytes("Any-Password")), "");

    WriteBytes(dbPath, OracleDatabase(Master, "/d/a=b-password\r\n"));
    EXPECT_EQ(table.SubmitMasterPassword(Bytes("Not-The-One"), Bytes("Not-The-One")), Wrong);
    EXPECT_EQ(table.SubmitMasterPassword(Bytes("opal-kwartz7"), Bytes("opal-kwartz7")), Wrong);
    EXPECT_EQ(table.SubmitMasterPassword(Bytes(Master), Bytes(Master)), "");
    EXPECT_EQ(Text(table.MasterPass.TypedPassword()), Master);

    // A file of another kind, or one that cannot be read: the error comes at the first use.
    WriteBytes(dbPath, {'n', 'o', 't', ' ', 'a', ' ', 'd', 'a', 't', 'a', 'b', 'a', 's', 'e'});
    EXPECT_EQ(table.SubmitMasterPassword(Bytes("Any-Password"), Bytes("Any-Password")), "");
    ASSERT_EQ(unlink(dbPath.c_str()), 0);
    ASSERT_EQ(mkdir(dbPath.c_str(), 0700), 0);
    EXPECT_EQ(table.SubmitMasterPassword(Bytes("Any-Password"), Bytes("Any-Password")), "");
}

TEST_F(DatabaseTest, AfterTheFirstStoreOnlyItsMasterPasswordOpensTheDatabase) {
    table.MasterPass.HasPassword = false;
    prompt.Accepts("First-Master");
    Store("/d/a", "stored-password");
    ASSERT_TRUE(table.MasterPass.HasPassword);

    table.MasterPass.HasPassword = false;
    prompt.visits.push_back({{{"Other-Master", "Other-Master"}, {"First-Master", "First-Master"}},
                             MasterPwdAnswer::Later});
    EXPECT_EQ(Retrieve("/d/a"), "stored-password");
    EXPECT_EQ(prompt.messages, Log{Wrong});
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(DatabaseTest, TheDialogsAnswersDecideWhetherTheMasterPasswordIsHeld) {
    RecordedEvents events;
    table.MasterPass.Events = &events;
    struct Case {
        const char* what;
        ScriptedMasterPrompt::Visit visit;
        bool held;
        bool store;
        Log log;
    };
    const Case cases[] = {
        {"confirmed", {{{Master, Master}}, MasterPwdAnswer::Later}, true, true, {}},
        {"later", {{}, MasterPwdAnswer::Later}, false, true, {}},
        {"refused, then later", {{{"abc", "abc"}}, MasterPwdAnswer::Later}, false, true, {}},
        {"not at all", {{}, MasterPwdAnswer::NotUse}, false, false, {"switched off"}},
        // A dialog that closes with Ok although no password passed the checks holds nothing.
        {"ok without a password", {{}, MasterPwdAnswer::Ok}, false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        table.MasterPass.Store = true;
        HoldMaster(Master); // the answer replaces what was held
        events.log.clear();
        prompt.visits.push_back(c.visit);
        table.PromptForMasterPassword();
        EXPECT_EQ(table.MasterPass.HasPassword, c.held);
        EXPECT_EQ(table.MasterPass.Store, c.store);
        EXPECT_EQ(events.log, c.log);
    }
}

TEST_F(DatabaseTest, AcceptingStartsTheExpiryAsTheSettingsSay) {
    RecordedEvents events;
    table.MasterPass.Events = &events;
    struct Case {
        bool expires;
        std::int32_t minutes;
        Log log;
    };
    const Case cases[] = {
        {false, 5, {}},
        {true, 0, {"button on"}}, // the button alone expires it
        {true, 1, {"timer on", "button on"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expires << " " << c.minutes);
        table.MasterPass.Expires = c.expires;
        table.MasterPass.ExpireMinutes = c.minutes;
        table.MasterPass.ExpiryTicks = 99;
        table.MasterPass.PasswordExpired = true;
        events.log.clear();
        prompt.Accepts(Master);
        table.PromptForMasterPassword();
        EXPECT_TRUE(table.MasterPass.HasPassword);
        EXPECT_FALSE(table.MasterPass.PasswordExpired) << "a password just accepted is fresh";
        EXPECT_EQ(table.MasterPass.ExpiryTicks, c.expires && c.minutes > 0 ? 0 : 99);
        EXPECT_EQ(events.log, c.log);
    }
}

TEST(MasterPassExpiry, ExpiresOnTheTickThatReachesTheLifetimeInSeconds) {
    for (const std::int32_t minutes : {1, 2}) {
        SCOPED_TRACE(minutes);
        TQV_MasterPass master;
        RecordedEvents events;
        master.Events = &events;
        master.Expires = true;
        master.ExpireMinutes = minutes;
        master.Accept();
        events.log.clear();
        for (int tick = 1; tick < 60 * minutes; ++tick)
            master.Tick();
        EXPECT_FALSE(master.PasswordExpired);
        EXPECT_TRUE(events.log.empty());
        master.Tick();
        EXPECT_TRUE(master.PasswordExpired);
        EXPECT_TRUE(master.HasPassword) << "the batch logic forgets it at its next boundary";
        EXPECT_EQ(events.log, (Log{"timer off", "button off"}));
    }
}

TEST(MasterPassExpiry, TheButtonExpiresItAtOnce) {
    TQV_MasterPass master;
    RecordedEvents events;
    master.Events = &events;
    master.Expires = true;
    master.Accept();
    master.SetExpired();
    EXPECT_TRUE(master.PasswordExpired);
    EXPECT_EQ(events.log, (Log{"button on", "timer off", "button off"}));
}

TEST(MasterPassPath, AnEmptyDirMeansTheDefaultInTheHomeFolder) {
    const char* home = std::getenv("HOME");
    const std::string saved = home ? home : "";
    setenv("HOME", "/home/tester", 1);
    TQV_MasterPass master;
    EXPECT_EQ(DefaultDatabasePath(), "/home/tester/xwords.001");
    EXPECT_EQ(master.DatabasePath(), "/home/tester/xwords.001");
    master.Dir = "/srv/keys/db.001";
    EXPECT_EQ(master.DatabasePath(), "/srv/keys/db.001");
    if (home)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
}
