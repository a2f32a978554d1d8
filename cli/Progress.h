// A progress bar with throughput on standard error, drawn only when that is a terminal, so
// that scripts and logs get no control characters.
#pragma once

#include "Pwd.h"

#include <chrono>
#include <string>

namespace qv::cli {

class ProgressBar {
public:
    // blocks: where the engine counts the blocks of the file in hand.
    explicit ProgressBar(const CryptProgress& blocks);

    // A new file; the bar follows the engine's block counters from now on.
    void Start(const std::string& label);
    // After every chunk; redraws at most ten times a second.
    void Update();
    // Removes the bar, so that a message can take its line.
    void Clear();

private:
    void Draw();

    const CryptProgress& blocks_;
    bool enabled_;
    bool shown_ = false;
    std::string label_;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

} // namespace qv::cli
