// Standard error and standard output of quorvane-cli shared by its workers: whole lines only,
// and one progress line for the whole run on standard error, drawn only when that is a terminal,
// so that scripts and logs get no control characters.
#pragma once

#include "Pwd.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qv::cli {

// Writes text (one or more whole lines) to fd in one piece, after taking the progress line
// away; the line comes back with its next update. Safe from any thread.
void WriteLines(int fd, const std::string& text);

// The progress of a run: files done of all, bytes, throughput and time left, with a bar.
class RunProgress {
public:
    RunProgress();

    // A run over files of these sizes in bytes; label names the run when it has one file.
    void Start(const std::vector<std::int64_t>& sizes, const std::string& label);
    // Where worker w counts the blocks of its file in hand; the same for the whole run.
    CryptProgress& Blocks(unsigned worker);
    void SetWorkers(unsigned workers);
    // File index is done (whatever became of it).
    void FileDone(std::size_t index);
    // After every chunk, from any worker; redraws at most ten times a second.
    void Update();
    // Removes the line for good.
    void Finish();

    // Holds the output of the whole process, so that a question at the terminal is not drawn
    // over; the line is taken away first.
    std::unique_lock<std::mutex> Pause();

private:
    std::vector<std::int64_t> sizes_;
    std::string label_;
    std::vector<CryptProgress> blocks_;
    std::atomic<std::size_t> filesDone_{0};
    std::atomic<std::int64_t> bytesDone_{0};
    std::int64_t bytesTotal_ = 0;
    bool enabled_;
    std::chrono::steady_clock::time_point start_;
    std::atomic<std::int64_t> lastDraw_{0}; // nanoseconds since start_
};

} // namespace qv::cli
