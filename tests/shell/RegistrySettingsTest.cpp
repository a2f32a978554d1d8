#include "RegistrySettings.h"
#include "FakeWindow.h"
#include "FirstSettings.h"
#include "ProgramSettings.h"
#include "PwdTable.h"
#include "RegistryEdit.h"

#include <gtest/gtest.h>

using namespace qv;
using qvtest::FakeWindow;
using qvtest::WithoutKey;
using qvtest::WithValue;

namespace {

const std::string Options = keys::Options;
const std::string MasterPassKey = keys::MasterPass;
const std::string Band3 = std::string(keys::CoolBands) + "\\3";

// The settings objects of one run, at their start values.
struct Holders {
    TQV_Pwd pwd;
    TQV_MasterPass master;
    TQV_Settings options;
    SettingsHolders Get() { return {pwd, master, options}; }
};

std::string FirstText() {
    return FirstRegistry("/opt/quorvane/share", "/usr/bin/xdg-open %1").Serialize();
}

RegistryFile Parsed(const std::string& text) {
    RegistryFile reg;
    std::string error;
    EXPECT_TRUE(reg.Parse(text, &error)) << error;
    return reg;
}

} // namespace

TEST(RegistrySettings, WhatIsSavedIsLoadedBack) {
    RegistryFile reg = Parsed(FirstText());
    FakeWindow window;
    window.width = 701;
    window.height = 502;
    for (int c = 0; c < 5; ++c) {
        window.columns[0][static_cast<std::size_t>(c)] = 100 + c;
        window.columns[1][static_cast<std::size_t>(c)] = 200 + c;
    }
    window.bands = {{{true, 300, "StatusBar3"},
                     {false, 250, "Method_Panel"},
                     {true, 401, "StatusBar2"},
                     {true, 402, "StatusBar1"}}};
    Holders saved;
    saved.pwd.OnePassword = true;
    saved.pwd.ExpireMinutes = 45;
    saved.options = {true, true, MethodTripleDes, true, "ignored: the help file is never written"};
    saved.master.Store = true;
    saved.master.Dir = "/home/ann/my \"keys\"\\xwords.001";
    saved.master.Expires = true;
    saved.master.ExpireMinutes = 7;
    ASSERT_TRUE(SaveSettings(reg, window, saved.Get()));

    RegistryFile again = Parsed(reg.Serialize());
    FakeWindow loaded;
    Holders read;
    ASSERT_TRUE(LoadSettings(again, loaded, read.Get()));
    EXPECT_EQ(loaded.width, 701);
    EXPECT_EQ(loaded.height, 502);
    EXPECT_EQ(loaded.columns, window.columns);
    for (std::size_t b = 0; b < 4; ++b) {
        EXPECT_EQ(loaded.bands[b].startsRow, window.bands[b].startsRow) << b;
        EXPECT_EQ(loaded.bands[b].width, window.bands[b].width) << b;
        EXPECT_EQ(loaded.bands[b].control, window.bands[b].control) << b;
    }
    EXPECT_TRUE(read.pwd.OnePassword);
    EXPECT_EQ(read.pwd.ExpireMinutes, 45);
    EXPECT_TRUE(read.options.ShowCry);
    EXPECT_TRUE(read.options.ShowTIP);
    EXPECT_EQ(read.options.Method, MethodTripleDes);
    EXPECT_TRUE(read.options.OnePerList);
    EXPECT_EQ(read.options.HelpFile, "/opt/quorvane/share/Quorvane.html");
    EXPECT_TRUE(read.master.Store);
    EXPECT_EQ(read.master.Dir, saved.master.Dir);
    EXPECT_TRUE(read.master.Expires);
    EXPECT_EQ(read.master.ExpireMinutes, 7);
    // The icon location is read, never written.
    EXPECT_EQ(again.FindValue(keys::DefaultIcon, "")->text, "/opt/quorvane/share/crypted-file.png");
}

TEST(RegistrySettings, ReadsInOrderAndStopsAtTheMissingThirdBand) {
    RegistryFile reg = Parsed(WithoutKey(FirstText(), Band3));
    FakeWindow window;
    Holders h;
    EXPECT_FALSE(LoadSettings(reg, window, h.Get()));

    const std::vector<std::string> expected = {"width",
                                               "height",
                                               "column Source 0",
                                               "column Source 1",
                                               "column Source 2",
                                               "column Source 3",
                                               "column Source 4",
                                               "column Crypted 0",
                                               "column Crypted 1",
                                               "column Crypted 2",
                                               "column Crypted 3",
                                               "column Crypted 4",
                                               "band 0 break",
                                               "band 0 width",
                                               "band 0 control",
                                               "band 1 break",
                                               "band 1 width",
                                               "band 1 control"};
    EXPECT_EQ(window.journal, expected);
    EXPECT_EQ(window.width, 800);
    EXPECT_EQ(window.bands[1].control, "StatusBar1");
    EXPECT_EQ(window.bands[2].control, "");
    // Nothing after the failure was read: the options keep their start values.
    EXPECT_FALSE(h.options.ShowTIP);
    EXPECT_EQ(h.options.Method, 0);
    EXPECT_EQ(h.options.HelpFile, "");
    EXPECT_FALSE(h.pwd.OnePassword);
    EXPECT_EQ(h.master.ExpireMinutes, 0);
}

// Each case breaks one value; reading stops there, with what came before it in effect.
TEST(RegistrySettings, AValueMissingOrOfAnotherTypeEndsTheReading) {
    struct Case {
        const char* what;
        std::string key;
        const char* name;
        const char* data; // "" takes the value out
        bool loads;
        std::string lastJournal; // the window's last change
    };
    const std::string mainWin = keys::MainWin;
    const std::string crypted = std::string(keys::ListView) + "\\Crypted";
    const std::string band4 = std::string(keys::CoolBands) + "\\4";
    const Case cases[] = {
        {"height missing", mainWin, "Height", "", false, "width"},
        {"width as text", mainWin, "Width", "\"800\"", false, ""},
        {"column of another type", crypted, "Date", "hex:01,02", false, "column Crypted 1"},
        {"band control as a number", band4, "Control", "dword:00000001", false, "band 3 width"},
        {"band control missing", band4, "Control", "", true, "band 3 control"},
        {"method as text", Options, "Method", "\"1\"", false, "band 3 control"},
        {"dir as a number", MasterPassKey, "Dir", "dword:00000000", false, "band 3 control"},
        {"dir missing", MasterPassKey, "Dir", "", true, "band 3 control"},
        {"master expiry missing", MasterPassKey, "ExpTime", "", false, "band 3 control"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryFile reg = Parsed(WithValue(FirstText(), c.key, c.name, c.data));
        FakeWindow window;
        Holders h;
        EXPECT_EQ(LoadSettings(reg, window, h.Get()), c.loads);
        EXPECT_EQ(window.journal.empty() ? std::string() : window.journal.back(), c.lastJournal);
    }

    // Where the options stopped shows in which of them were read.
    RegistryFile reg = Parsed(WithValue(FirstText(), Options, "ShowTIP", "\"1\""));
    FakeWindow window;
    Holders h;
    EXPECT_FALSE(LoadSettings(reg, window, h.Get()));
    EXPECT_TRUE(h.options.ShowCry);  // read before
    EXPECT_FALSE(h.options.ShowTIP); // the failing value
    EXPECT_EQ(h.options.Method, 0);  // after it
    EXPECT_FALSE(h.master.Expires);
}

TEST(RegistrySettings, AMissingTextReadsAsEmpty) {
    RegistryFile reg = Parsed(WithValue(FirstText(), keys::DefaultIcon, "", ""));
    FakeWindow window;
    Holders h;
    EXPECT_TRUE(LoadSettings(reg, window, h.Get()));
    EXPECT_EQ(h.options.HelpFile, "Quorvane.html");

    RegistryFile noIconKey = Parsed(WithoutKey(FirstText(), keys::DefaultIcon));
    Holders h2;
    EXPECT_FALSE(LoadSettings(noIconKey, window, h2.Get()));
    EXPECT_EQ(h2.options.HelpFile, "");
}

TEST(RegistrySettings, FlagsCountTheirLowByteOnly) {
    struct Case {
        const char* data;
        bool on;
    };
    for (const Case& c : {Case{"dword:00000000", false}, Case{"dword:00000001", true},
                          Case{"dword:00000100", false}, Case{"dword:00000180", true},
                          Case{"dword:ffffff00", false}}) {
        SCOPED_TRACE(c.data);
        RegistryFile reg = Parsed(WithValue(FirstText(), Options, "ShowCry", c.data));
        FakeWindow window;
        Holders h;
        EXPECT_TRUE(LoadSettings(reg, window, h.Get()));
        EXPECT_EQ(h.options.ShowCry, c.on);
    }
}

TEST(RegistrySettings, SavingAddsNoKey) {
    RegistryFile reg = Parsed(WithoutKey(FirstText(), Options));
    FakeWindow window;
    window.width = 640;
    Holders h;
    h.options.Method = MethodIdea;
    h.master.Store = true;
    EXPECT_FALSE(SaveSettings(reg, window, h.Get()));
    EXPECT_FALSE(reg.KeyExists(Options));
    // The keys that exist are written all the same.
    EXPECT_EQ(reg.FindValue(keys::MainWin, "Width")->integer, 640u);
    EXPECT_EQ(reg.FindValue(MasterPassKey, "Store")->integer, 1u);
}

TEST(RegistrySettings, TheHelpFileLiesBesideTheIcon) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/share/quorvane/crypted-file.png", "/usr/share/quorvane/Quorvane.html"},
        {"/crypted.png", "/Quorvane.html"},
        {"crypted.png", "Quorvane.html"},
        {"", "Quorvane.html"},
        {"/opt/q/icons/", "/opt/q/icons/Quorvane.html"},
    };
    for (const auto& [icon, help] : cases)
        EXPECT_EQ(HelpFileFor(icon), help) << icon;
}
