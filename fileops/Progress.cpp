#include "Progress.h"

#include <algorithm>
#include <cstdio>

namespace qv {

std::vector<std::string> StatusSettlingTexts(const std::string& message) {
    std::vector<std::string> texts;
    texts.reserve(26);
    // Five passes: k blanks before the message, taken away one at a time down to none, then put
    // back one at a time up to k - 1.
    for (int k = 5; k >= 1; --k) {
        std::string text = std::string(static_cast<std::size_t>(k), ' ') + message;
        for (int i = 0; i < k; ++i) {
            text.erase(0, 1);
            texts.push_back(text);
        }
        for (int i = 0; i < k - 1; ++i) {
            text.insert(0, 1, ' ');
            texts.push_back(text);
        }
    }
    texts.push_back(message);
    return texts;
}

std::string FormatDuration(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    char text[48];
    std::snprintf(text, sizeof text, "%2.2lldm:%2.2llds", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

ProgressStatistics ComputeStatistics(std::int64_t seconds, std::int32_t blocksDone,
                                     std::int32_t blocksTotal) {
    // Products in 64 bits: blocks of a file near 2 GiB times 8, or times the seconds, do not fit
    // 32 bits.
    const std::int64_t done = std::max<std::int32_t>(blocksDone, 1);
    const std::int64_t total = blocksTotal;
    const std::int64_t elapsed = std::max<std::int64_t>(seconds, 1);
    const std::int64_t remaining = std::max<std::int64_t>((total - done) * elapsed / done, 0);
    ProgressStatistics s;
    s.Elapsed = "Elapsed: " + FormatDuration(elapsed);
    s.Remaining = "Remaining: " + FormatDuration(remaining);
    s.Estimated = "Estimated: " + FormatDuration(elapsed + remaining);
    s.Throughout = "Throughout: " + std::to_string(done * 8 / elapsed) + " bytes per second";
    s.Done = "Done: " + std::to_string(done * 8 / 1024) + " KBytes";
    s.Size = "Size: " + std::to_string(std::max<std::int64_t>(total, 0) * 8 / 1024) + " Kbytes";
    return s;
}

TQV_ProgressMeter::Reading TQV_ProgressMeter::Tick(std::int32_t blocksDone,
                                                   std::int32_t blocksTotal, bool encrypting,
                                                   int maximum) {
    ++ticks_;
    // Counters the engine has not set yet (no total) show an empty bar rather than dividing by
    // zero, and the bars never run past their ends.
    std::int64_t p = 0;
    if (blocksTotal > 0 && blocksDone > 0)
        p = std::min<std::int64_t>(std::int64_t{maximum} * blocksDone / blocksTotal, maximum);
    const int filled = static_cast<int>(p);
    const int emptied = maximum - filled;
    Reading reading;
    reading.Bar1 = encrypting ? emptied : filled;
    reading.Bar2 = encrypting ? filled : emptied;
    if (blocksDone > 0 && ticks_ % TicksPerSecond == 0)
        reading.Statistics = ComputeStatistics(ticks_ / TicksPerSecond, blocksDone, blocksTotal);
    return reading;
}

} // namespace qv
