// The preferences' rules without a window: the spin fields, what OK changes and in which order,
// the tips' choice, and what the about box shows.
#include "Preferences.h"
#include "AboutInfo.h"
#include "MasterPass.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdExpiry.h"
#include "Random.h"
#include "RegistryFile.h"
#include "RegistryKeys.h"
#include "TempDir.h"
#include "Tips.h"

#include "FileSystem.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <unistd.h>

using namespace qv;
using namespace qvtest;

namespace {

// Plays the dialog: change edits the values it shows, browse plays the Browse button.
class ScriptedPreferences : public PreferencesDialog {
public:
    std::function<void(PreferenceValues&)> change;
    std::string browse; // a path chosen with Browse, "" for none
    bool ok = true;
    PreferenceValues shown;

    bool Ask(PreferenceValues& values, std::string& dir) override {
        shown = values;
        if (!browse.empty()) {
            values.Dir = browse;
            dir = browse;
        }
        if (change)
            change(values);
        return ok;
    }
};

class RecordedPreferenceEvents : public PreferencesEvents {
public:
    std::vector<std::string> log;
    void ReReadLists() override { log.push_back("lists read"); }
    void SelectMethod(std::int32_t method) override {
        log.push_back("method " + std::to_string(method));
    }
    void ExpireMasterPassword() override { log.push_back("master password expired"); }
};

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.ShowCry = true;
        options.Method = MethodDes;
        pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>("secret-12"), 9);
        pwd.HasPassword = true;
        master.Store = true;
        master.Dir = "/home/user/xwords.001";
        master.Expires = true;
        master.ExpireMinutes = 10;
    }

    void Show() { ShowPreferences(dialog, {options, pwd, expiry, master}, events); }

    TQV_Settings options;
    TQV_Pwd pwd;
    TQV_PwdExpiry expiry{pwd};
    TQV_MasterPass master;
    ScriptedPreferences dialog;
    RecordedPreferenceEvents events;
};

} // namespace

TEST(SpinValue, NumbersWithinTheBoundsAndEverythingElseBroughtThere) {
    const std::pair<const char*, std::int32_t> cases[] = {{"12", 12},   {"0", 0},
                                                          {"600", 600}, {"601", 600},
                                                          {"900", 600}, {"abc", 0},
                                                          {"", 0},      {" 30 ", 30},
                                                          {"-5", 0},    {"1e3", 0},
                                                          {"12a", 0},   {"+7", 7},
                                                          {"0007", 7},  {"99999999999999", 600}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(SpinValue(text), value) << '"' << text << '"';
}

TEST_F(PreferencesTest, CancelChangesNothingButAnEmptyPathBecomesTheDefault) {
    master.Dir.clear();
    dialog.ok = false;
    dialog.change = [](PreferenceValues& v) {
        v.ShowCry = false;
        v.Store = false;
        v.Method = MethodIdea;
    };
    Show();
    EXPECT_EQ(dialog.shown.Dir, DefaultDatabasePath());
    EXPECT_EQ(master.Dir, DefaultDatabasePath());
    EXPECT_TRUE(options.ShowCry);
    EXPECT_TRUE(master.Store);
    EXPECT_EQ(options.Method, MethodDes);
    EXPECT_TRUE(pwd.HasPassword);
    EXPECT_TRUE(events.log.empty());
}

TEST_F(PreferencesTest, OkWithoutChangesOnlyForgetsTheHeldPassword) {
    Show();
    EXPECT_FALSE(pwd.HasPassword);
    EXPECT_TRUE(events.log.empty());
    EXPECT_EQ(master.Dir, "/home/user/xwords.001");
    EXPECT_EQ(options.Method, MethodDes);
}

TEST_F(PreferencesTest, AnyChangedDatabaseSettingExpiresTheMasterPasswordOnce) {
    const std::pair<const char*, std::function<void(PreferenceValues&)>> cases[] = {
        {"the minutes", [](PreferenceValues& v) { v.ExpTime = 11; }},
        {"the path", [](PreferenceValues& v) { v.Dir = "/home/user/other.key"; }},
        {"the store box", [](PreferenceValues& v) { v.Store = false; }},
        {"the expiry box", [](PreferenceValues& v) { v.Expires = false; }},
        {"all four",
         [](PreferenceValues& v) {
             v.ExpTime = 0;
             v.Dir = "/tmp/x.key";
             v.Store = false;
             v.Expires = false;
         }},
    };
    for (const auto& [name, change] : cases) {
        SCOPED_TRACE(name);
        SetUp();
        events.log.clear();
        dialog.change = change;
        Show();
        EXPECT_EQ(events.log, std::vector<std::string>{"master password expired"});
    }
    EXPECT_FALSE(master.Store);
    EXPECT_EQ(master.Dir, "/tmp/x.key");
    EXPECT_EQ(master.ExpireMinutes, 0);
}

TEST_F(PreferencesTest, APathFromBrowseHoldsAfterCancelAndIsNoChangeForALaterOk) {
    dialog.browse = "/home/user/passwords.key";
    dialog.ok = false;
    Show();
    EXPECT_EQ(master.Dir, "/home/user/passwords.key");
    EXPECT_TRUE(pwd.HasPassword);

    dialog.browse.clear();
    dialog.ok = true;
    Show();
    EXPECT_EQ(dialog.shown.Dir, "/home/user/passwords.key");
    EXPECT_TRUE(events.log.empty());
}

TEST_F(PreferencesTest, OkAppliesEachOptionAndReadsTheListsOnlyForShowCry) {
    dialog.change = [](PreferenceValues& v) {
        v.ShowCry = false;
        v.ShowTIP = true;
        v.OnePassword = true;
        v.OnePerList = true; // the dialog's rules never let both through; the settings neither
        v.Expire = 25;
        v.Method = MethodTripleDes;
        v.Dir = "";
    };
    Show();
    EXPECT_EQ(events.log,
              (std::vector<std::string>{"lists read", "method 4", "master password expired"}));
    EXPECT_FALSE(options.ShowCry);
    EXPECT_TRUE(options.ShowTIP);
    EXPECT_TRUE(pwd.OnePassword);
    EXPECT_FALSE(options.OnePerList);
    EXPECT_EQ(pwd.ExpireMinutes, 25);
    // An emptied path is the default one.
    EXPECT_EQ(master.Dir, DefaultDatabasePath());
}

TEST_F(PreferencesTest, AMethodTheButtonsDoNotShowIsLeftAlone) {
    for (const std::int32_t method : {0, 2, 7}) {
        SCOPED_TRACE(method);
        options.Method = method;
        events.log.clear();
        dialog.change = [](PreferenceValues& v) { v.Method = MethodIdea; };
        Show();
        EXPECT_EQ(dialog.shown.Method, 0);
        EXPECT_TRUE(events.log.empty());
        EXPECT_EQ(options.Method, method);
    }
}

TEST_F(PreferencesTest, TheCurrentDirectoryIsTheSameAfterwards) {
    TempDir dir;
    const std::string before = CurrentDirectory();
    dialog.change = [&](PreferenceValues&) { ASSERT_EQ(chdir(dir.Path().c_str()), 0); };
    Show();
    EXPECT_EQ(CurrentDirectory(), before);
}

TEST(Tips, ThirteenTipsWithTheirTopics) {
    std::vector<int> topics;
    for (const Tip& tip : Tips)
        topics.push_back(tip.Topic);
    EXPECT_EQ(topics, (std::vector<int>{20, 20, 20, 20, 20, 20, 10, 10, 10, 10, 60, 70, 50}));
    EXPECT_STREQ(Tips[6].Text, "The longer the password - the greater the security.");
}

TEST(Tips, NeverTheSameTipTwiceInARowNeverTheFirstFirstAndEveryTipInTime) {
    for (const std::uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(seed);
        SetRandomSeed(seed);
        TQV_TipChoice choice;
        std::size_t last = choice.Next();
        EXPECT_NE(last, 0u);
        std::set<std::size_t> seen{last};
        for (int press = 0; press < 1000; ++press) {
            const std::size_t next = choice.Next();
            ASSERT_NE(next, last);
            ASSERT_LT(next, TipCount);
            seen.insert(next);
            last = next;
        }
        EXPECT_EQ(seen.size(), TipCount);
    }
}

TEST(About, TheSystemsVersion) {
    const std::pair<const char*, const char*> cases[] = {
        {"6.1.0-13-amd64", "Linux 6.01"},
        {"4.10.0", "Linux 4.10"},
        {"4.0", "Linux 4.00"},
        {"5.15.167.4-microsoft-standard-WSL2", "Linux 5.15"},
        {"3", "Linux 3.00"},
        {"", "Linux 0.00"},
    };
    for (const auto& [release, text] : cases)
        EXPECT_EQ(OsVersionText(release), text) << release;
    EXPECT_EQ(OsVersionText(KernelRelease()).rfind("Linux ", 0), 0u);
}

TEST(About, TheMemoryInKilobytes) {
    EXPECT_EQ(MemoryText(0), "");
    EXPECT_EQ(MemoryText(1023), "");
    EXPECT_EQ(MemoryText(16ull << 20), "16384");
    EXPECT_EQ(MemoryText(1ull << 40), "1073741824");
    EXPECT_GT(TotalMemory(), 0u);
}

TEST(About, TheBrowserCommandFromTheRegistryAndTheLinksAddress) {
    RegistryFile registry;
    EXPECT_TRUE(BrowserCommand(registry, "https://example.org/").empty());
    registry.AddKey(keys::BrowserCommand);
    EXPECT_TRUE(BrowserCommand(registry, "https://example.org/").empty());
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/xdg-open %1", "/usr/bin/xdg-open"},
        {"/opt/My Browser/browser --new-window %1", "/opt/My Browser/browser"},
        {"firefox %1", "firefox"},
    };
    for (const auto& [value, program] : cases) {
        registry.SetText(keys::BrowserCommand, "", value);
        EXPECT_EQ(BrowserCommand(registry, "file:///x"),
                  (std::vector<std::string>{program, "file:///x"}))
            << value;
    }

    EXPECT_EQ(LinkAddress("https://example.org/quorvane", "/usr/share/quorvane/Quorvane.html"),
              "https://example.org/quorvane");
    EXPECT_EQ(LinkAddress("", "/opt/my apps/Quorvane.html"), "file:///opt/my%20apps/Quorvane.html");
}
