#include "Progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qv;

namespace {

std::vector<std::string> Expected(const std::string& message) {
    std::vector<std::string> texts;
    for (int blanks : {4, 3, 2, 1, 0, 1, 2, 3, 4, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 1, 0, 1, 0})
        texts.push_back(std::string(static_cast<std::size_t>(blanks), ' ') + message);
    texts.push_back(message);
    return texts;
}

std::vector<std::string> Texts(const ProgressStatistics& s) {
    return {s.Elapsed, s.Remaining, s.Estimated, s.Throughout, s.Done, s.Size};
}

} // namespace

TEST(StatusLine, SettlesInTwentySixTextsAndEndsWithTheMessage) {
    for (const std::string message : {"Idle.", "Encrypting file 報告.doc ...", " x ", ""}) {
        SCOPED_TRACE(message);
        const std::vector<std::string> texts = StatusSettlingTexts(message);
        ASSERT_EQ(texts.size(), 26u);
        EXPECT_EQ(texts, Expected(message));
    }
}

TEST(Progress, WritesTimesAsMinutesAndSecondsWithoutAnHourField) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "00m:00s"},     {2, "00m:02s"},  {65, "01m:05s"},         {3665, "61m:05s"},
        {7200, "120m:00s"}, {-3, "00m:00s"}, {6000000, "100000m:00s"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(FormatDuration(seconds), text) << seconds;
}

TEST(Progress, ShowsTheStatisticsOfTheFileInHandEverySecond) {
    // A plain file of 81912 bytes pads to 81920: 10240 blocks. Half are done at tick 40.
    TQV_ProgressMeter meter;
    meter.Start();
    EXPECT_EQ(meter.Ticks(), 1);
    for (int tick = 2; tick < 40; ++tick) {
        const auto reading = meter.Tick(5120, 10240, true);
        EXPECT_EQ(reading.Statistics.has_value(), tick == 20) << tick;
        EXPECT_EQ(reading.Bar1, 50);
    }
    const auto reading = meter.Tick(5120, 10240, true);
    EXPECT_EQ(meter.Ticks(), 40);
    EXPECT_EQ(reading.Bar1, 50);
    EXPECT_EQ(reading.Bar2, 50);
    ASSERT_TRUE(reading.Statistics.has_value());
    EXPECT_EQ(Texts(*reading.Statistics),
              (std::vector<std::string>{"Elapsed: 00m:02s", "Remaining: 00m:02s",
                                        "Estimated: 00m:04s", "Throughout: 20480 bytes per second",
                                        "Done: 40 KBytes", "Size: 80 Kbytes"}));

    // The next file starts at tick 1 again with its own counters.
    meter.Start();
    EXPECT_EQ(meter.Ticks(), 1);
}

TEST(Progress, TheBarsRunAgainstEachOther) {
    struct Case {
        std::int32_t done, total;
        bool encrypting;
        int bar1, bar2;
    };
    const Case cases[] = {
        {2560, 10240, true, 75, 25},  // encrypting: the plain list's bar empties
        {2560, 10240, false, 25, 75}, // decrypting: the plain list's bar fills
        {10240, 10240, true, 0, 100}, {0, 10240, false, 0, 100},
        {0, 0, true, 100, 0},    // the engine has not counted yet: no division by zero
        {12, 10, false, 100, 0}, // never past the end
        {-4, 10, false, 0, 100},
    };
    for (const Case& c : cases) {
        TQV_ProgressMeter meter;
        meter.Start();
        const auto reading = meter.Tick(c.done, c.total, c.encrypting);
        EXPECT_EQ(reading.Bar1, c.bar1) << c.done << "/" << c.total << " " << c.encrypting;
        EXPECT_EQ(reading.Bar2, c.bar2) << c.done << "/" << c.total << " " << c.encrypting;
    }
}

TEST(Progress, NoStatisticsBeforeABlockIsDone) {
    TQV_ProgressMeter meter;
    meter.Start();
    for (int tick = 2; tick <= 20; ++tick)
        EXPECT_FALSE(meter.Tick(0, 10240, true).Statistics.has_value());
    // Once a block is done, the next whole second shows the figures.
    for (int tick = 21; tick < 40; ++tick)
        EXPECT_FALSE(meter.Tick(1, 10240, true).Statistics.has_value());
    EXPECT_TRUE(meter.Tick(1, 10240, true).Statistics.has_value());
}

TEST(Progress, FiguresOfAFileNearTwoGigabytesDoNotOverflow) {
    // The largest crypted file: 268435455 blocks, the plain file 8 bytes less than 2 GiB.
    const std::int32_t total = 268435455;
    const std::int32_t done = 201326591; // three quarters
    TQV_ProgressMeter meter;
    meter.Start();
    TQV_ProgressMeter::Reading reading;
    for (int tick = 2; tick <= 20 * 61 * 60 + 20 * 5; ++tick)
        reading = meter.Tick(done, total, false);
    EXPECT_EQ(reading.Bar1, 74);
    EXPECT_EQ(reading.Bar2, 26);
    ASSERT_TRUE(reading.Statistics.has_value());
    // 67108864 blocks left at 201326591 blocks in 3665 s: 1221 s.
    EXPECT_EQ(Texts(*reading.Statistics),
              (std::vector<std::string>{"Elapsed: 61m:05s", "Remaining: 20m:21s",
                                        "Estimated: 81m:26s", "Throughout: 439457 bytes per second",
                                        "Done: 1572863 KBytes", "Size: 2097151 Kbytes"}));
}
