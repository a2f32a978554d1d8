#include "FirstSettings.h"
#include "FakeWindow.h"
#include "ProgramSettings.h"
#include "PwdTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qv;
using qvtest::TempDir;

TEST(FirstSettings, HoldEveryValueTheProgramReads) {
    const RegistryFile reg = FirstRegistry("/usr/local/share/quorvane", "/usr/bin/xdg-open %1");
    qvtest::FakeWindow window;
    TQV_Pwd pwd;
    TQV_MasterPass master;
    TQV_Settings options;
    ASSERT_TRUE(LoadSettings(reg, window, {pwd, master, options}));

    EXPECT_EQ(options.HelpFile, "/usr/local/share/quorvane/Quorvane.html");
    EXPECT_EQ(options.Method, MethodIdea);
    EXPECT_TRUE(options.ShowTIP);
    EXPECT_FALSE(master.Store);
    EXPECT_EQ(master.Dir, "");
    const char* controls[] = {"StatusBar2", "StatusBar1", "StatusBar3", "Method_Panel"};
    for (std::size_t b = 0; b < 4; ++b)
        EXPECT_EQ(window.bands[b].control, controls[b]);
    EXPECT_EQ(reg.FindValue(keys::BrowserCommand, "")->text, "/usr/bin/xdg-open %1");
}

TEST(FirstSettings, AreWrittenOnlyWhereTheUserHasNone) {
    TempDir dir;
    RegistryFile first = FirstRegistry("/usr/share/quorvane", "/usr/bin/xdg-open %1");
    first.SetPath(dir / "config/quorvane/registry.reg");
    std::string error;
    ASSERT_EQ(WriteFirstRegistry(first, &error), FirstWriteResult::Written) << error;
    EXPECT_EQ(qvtest::ReadText(first.Path()), first.Serialize());
    struct stat st {};
    ASSERT_EQ(stat(first.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The user's own settings stay as they are.
    qvtest::WriteText(first.Path(), "Windows Registry Editor Version 5.00\n\n; mine\n");
    EXPECT_EQ(WriteFirstRegistry(first, &error), FirstWriteResult::AlreadyThere);
    EXPECT_EQ(qvtest::ReadText(first.Path()), "Windows Registry Editor Version 5.00\n\n; mine\n");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"config"});
}

TEST(FirstSettings, ReportWhyTheyCannotBeWritten) {
    TempDir dir;
    qvtest::WriteText(dir / "config", "a file where the folder should be");
    RegistryFile first = FirstRegistry("/usr/share/quorvane", "/usr/bin/xdg-open %1");
    first.SetPath(dir / "config/quorvane/registry.reg");
    std::string error;
    EXPECT_EQ(WriteFirstRegistry(first, &error), FirstWriteResult::Failed);
    EXPECT_NE(error.find("registry.reg"), std::string::npos) << error;
}

TEST(FirstSettings, FindTheBrowserOnThePath) {
    TempDir dir;
    qvtest::WriteText(dir / "xdg-open", "#!/bin/sh\n");
    qvtest::WriteText(dir / "not-runnable", "");
    chmod((dir / "xdg-open").c_str(), 0755);
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ("/nonexistent:" + dir.Path()).c_str(), 1);
    EXPECT_EQ(FindOnPath("xdg-open"), dir / "xdg-open");
    EXPECT_EQ(FindOnPath("no-such-program-here"), "");
    setenv("PATH", saved.c_str(), 1);
}
