#include "Progress.h"

#include "FileSystem.h"
#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qv::cli {

namespace {

// Every line quorvane-cli writes goes out under this lock, and so does the progress line.
std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}

bool lineShown = false; // under OutputLock

void TakeAwayLine() {
    if (!lineShown)
        return;
    const char clear[] = "\r\033[K";
    WriteAll(STDERR_FILENO, clear, sizeof clear - 1);
    lineShown = false;
}

int TerminalWidth() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

std::string Megabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bytes / 1e6);
    return text;
}

std::string Duration(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

void WriteLines(int fd, const std::string& text) {
    const std::lock_guard lock(OutputLock());
    TakeAwayLine();
    if (fd == STDOUT_FILENO)
        std::fflush(stdout);
    WriteAll(fd, text.data(), text.size());
}

void Report(const std::string& subject, const std::string& message) {
    std::string line = Program;
    line += ": ";
    if (!subject.empty())
        line.append(subject).append(": ");
    line.append(message).append("\n");
    WriteLines(STDERR_FILENO, line);
}

RunProgress::RunProgress() : blocks_(1), enabled_(isatty(STDERR_FILENO) == 1) {}

void RunProgress::Start(const std::vector<std::int64_t>& sizes, const std::string& label) {
    sizes_ = sizes;
    label_ = label;
    bytesTotal_ = 0;
    for (const std::int64_t size : sizes)
        bytesTotal_ += size;
    filesDone_ = 0;
    bytesDone_ = 0;
    start_ = std::chrono::steady_clock::now();
    lastDraw_ = -1000000000;
    Update();
}

void RunProgress::SetWorkers(unsigned workers) {
    blocks_ = std::vector<CryptProgress>(std::max(workers, 1u));
}

CryptProgress& RunProgress::Blocks(unsigned worker) {
    return blocks_[worker];
}

void RunProgress::FileDone(std::size_t index) {
    ++filesDone_;
    if (index < sizes_.size())
        bytesDone_ += sizes_[index];
}

void RunProgress::Update() {
    if (!enabled_)
        return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const auto now = static_cast<std::int64_t>(seconds * 1e9);
    std::int64_t last = lastDraw_.load();
    if (now - last < 100000000 || !lastDraw_.compare_exchange_strong(last, now))
        return;
    std::unique_lock lock(OutputLock(), std::try_to_lock);
    if (!lock.owns_lock())
        return;

    // The files in hand count with the blocks they have done so far.
    double done = static_cast<double>(bytesDone_.load());
    for (const CryptProgress& blocks : blocks_)
        done += 8.0 * blocks.Done();
    const double total = std::max<double>(static_cast<double>(bytesTotal_), 1);
    done = std::min(done, total);
    const double fraction = done / total;
    const double rate = seconds > 0 ? done / seconds : 0;

    std::string figures = " " + std::to_string(static_cast<int>(fraction * 100)) + "%  " +
                          Megabytes(done) + " of " + Megabytes(total) + " MB  " + Megabytes(rate) +
                          " MB/s";
    if (rate > 0 && seconds >= 1)
        figures += "  " + Duration((total - done) / rate) + " left";
    std::string label = label_;
    if (sizes_.size() != 1)
        label =
            std::to_string(filesDone_.load()) + " of " + std::to_string(sizes_.size()) + " files";
    // label [#####.....] figures, fitted to the terminal's width
    const int width = TerminalWidth() - 1;
    const int figuresWidth = static_cast<int>(figures.size());
    int barWidth = std::min(30, width - figuresWidth - 3 - static_cast<int>(label.size()));
    if (barWidth < 10) {
        barWidth = std::max(0, std::min(10, width - figuresWidth - 3));
        const int room = std::max(0, width - figuresWidth - 3 - barWidth);
        if (static_cast<int>(label.size()) > room)
            label = room > 3 ? "..." + label.substr(label.size() - (room - 3)) : "";
    }
    const int filled = static_cast<int>(fraction * barWidth);
    const std::string line = "\r" + label + " [" + std::string(filled, '#') +
                             std::string(barWidth - filled, '.') + "]" + figures + "\033[K";
    WriteAll(STDERR_FILENO, line.data(), line.size());
    lineShown = true;
}

void RunProgress::Finish() {
    const std::lock_guard lock(OutputLock());
    TakeAwayLine();
}

std::unique_lock<std::mutex> RunProgress::Pause() {
    std::unique_lock lock(OutputLock());
    TakeAwayLine();
    return lock;
}

} // namespace qv::cli
