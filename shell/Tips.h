// The tips of the day: thirteen texts, each with the help topic that tells more, and the choice
// of the next one.
#pragma once

#include <array>
#include <cstddef>

namespace qv {

struct Tip {
    int Topic;        // the help topic with more about it
    const char* Text; // English, as every tip
};

inline constexpr std::size_t TipCount = 13;
extern const std::array<Tip, TipCount> Tips;

// The tip shown last, kept for the whole run; the next one is drawn from the program's
// pseudo-random generator until it differs from it. The first shown is never the first tip.
class TQV_TipChoice {
public:
    // Draws the next tip's index and remembers it.
    std::size_t Next();
    std::size_t Shown() const { return shown_; }

private:
    std::size_t shown_ = 0;
};

} // namespace qv
