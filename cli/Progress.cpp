#include "Progress.h"

#include "FileSystem.h"
#include "Pwd.h"

#include <algorithm>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qv::cli {

namespace {

int TerminalWidth() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ProgressBar::ProgressBar(const CryptProgress& blocks)
    : blocks_(blocks), enabled_(isatty(STDERR_FILENO) == 1) {}

void ProgressBar::Start(const std::string& label) {
    label_ = label;
    start_ = lastDraw_ = std::chrono::steady_clock::now();
    if (enabled_)
        Draw();
}

void ProgressBar::Update() {
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(100))
        return;
    lastDraw_ = now;
    Draw();
}

void ProgressBar::Clear() {
    if (!enabled_ || !shown_)
        return;
    const char clear[] = "\r\033[K";
    WriteAll(STDERR_FILENO, clear, sizeof clear - 1);
    shown_ = false;
}

void ProgressBar::Draw() {
    const double done = blocks_.Done();
    const double total = std::max(blocks_.Total(), 1);
    const double fraction = std::clamp(done / total, 0.0, 1.0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? done * 8.0 / 1e6 / seconds : 0;

    char figures[64];
    std::snprintf(figures, sizeof figures, " %3d%%  %7.1f MB/s", static_cast<int>(fraction * 100),
                  rate);
    // label [#####.....] figures, fitted to the terminal's width
    const int width = TerminalWidth() - 1;
    std::string label = label_;
    const int figuresWidth = static_cast<int>(std::string(figures).size());
    int barWidth = std::min(40, width - figuresWidth - 4 - static_cast<int>(label.size()));
    if (barWidth < 10) {
        barWidth = std::max(0, std::min(10, width - figuresWidth - 4));
        const int room = std::max(0, width - figuresWidth - 4 - barWidth);
        if (static_cast<int>(label.size()) > room)
            label = room > 3 ? "..." + label.substr(label.size() - (room - 3)) : "";
    }
    const int filled = static_cast<int>(fraction * barWidth);
    std::string line = "\r" + label + " [" + std::string(filled, '#') +
                       std::string(barWidth - filled, '.') + "]" + figures + "\033[K";
    WriteAll(STDERR_FILENO, line.data(), line.size());
    shown_ = true;
}

} // namespace qv::cli
