#include "StartupSequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qv;

TEST(StartupSequence, RunsItsStepsOnceInTheirOrder) {
    TQV_StartupSequence startup;
    std::vector<std::string> ran;
    auto step = [&](const char* name) {
        return [&ran, name] {
            ran.push_back(name);
            return true;
        };
    };
    startup.Add(StartupStep::TipOfTheDay, step("tip"));
    startup.Add(StartupStep::MethodButtons, step("method"));
    startup.Add(StartupStep::MasterPassword, step("master"));
    startup.Add(StartupStep::StatusBars, step("bars"));

    EXPECT_TRUE(startup.Run());
    EXPECT_EQ(ran, (std::vector<std::string>{"method", "bars", "master", "tip"}));
    EXPECT_FALSE(startup.Run());
    EXPECT_EQ(ran.size(), 4u);
}

TEST(StartupSequence, AStepThatEndsTheProgramSkipsTheRest) {
    TQV_StartupSequence startup;
    std::vector<std::string> ran;
    startup.Add(StartupStep::CommandLine, [&] {
        ran.push_back("command line");
        return false;
    });
    startup.Add(StartupStep::DirectoryTree, [&] {
        ran.push_back("tree");
        return true;
    });
    startup.Add(StartupStep::TipOfTheDay, [&] {
        ran.push_back("tip");
        return true;
    });
    startup.Run();
    EXPECT_EQ(ran, (std::vector<std::string>{"tree", "command line"}));
}
