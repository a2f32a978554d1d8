// The progress display of the file being encrypted or decrypted, and the status line: what the
// 50 ms timer shows in the two progress bars and the six statistics fields, and the short
// settling sequence the status line shows before each message. Plain computations; the main
// window puts the results into its controls.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

inline constexpr int ProgressInterval = 50; // milliseconds between ticks
inline constexpr int TicksPerSecond = 1000 / ProgressInterval;

// The texts the status line shows one after another for a message: the message preceded by
// 4, 3, 2, 1, 0, 1, 2, 3, 4, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 1, 0, 1, 0 blanks, then the
// message itself; 26 texts, the last one the message.
std::vector<std::string> StatusSettlingTexts(const std::string& message);

// A time of s seconds as minutes and seconds, two digits each at least: 65 reads "01m:05s",
// two hours "120m:00s".
std::string FormatDuration(std::int64_t seconds);

// The six statistics fields, in the order of the status bars: the upper bar holds elapsed,
// remaining and throughput, the lower one estimated, done and size.
struct ProgressStatistics {
    std::string Elapsed;
    std::string Remaining;
    std::string Throughout;
    std::string Estimated;
    std::string Done;
    std::string Size;
};

// The statistics after seconds elapsed with blocksDone of blocksTotal 8-byte blocks done.
// blocksDone must be above 0.
ProgressStatistics ComputeStatistics(std::int64_t seconds, std::int32_t blocksDone,
                                     std::int32_t blocksTotal);

// The tick count of the progress timer and what each tick shows. Each file starts again at
// tick 1, so the figures always describe the file in hand.
class TQV_ProgressMeter {
public:
    struct Reading {
        int Bar1 = 0; // under the plain list
        int Bar2 = 0; // under the crypted list
        // Only every TicksPerSecond ticks, and only once blocks are done.
        std::optional<ProgressStatistics> Statistics;
    };

    void Start() { ticks_ = 1; }
    std::int32_t Ticks() const { return ticks_; }

    // One tick of the timer. While encrypting, the bar under the plain list empties as the bar
    // under the crypted list fills; while decrypting it is the other way round.
    Reading Tick(std::int32_t blocksDone, std::int32_t blocksTotal, bool encrypting,
                 int maximum = 100);

private:
    std::int32_t ticks_ = 0;
};

} // namespace qv
