#include "Random.h"

#include <ctime>
#include <sys/time.h>

namespace qv {

namespace {
std::uint32_t seed = 0;
}

std::uint32_t RandomSeed() noexcept {
    return seed;
}

void SetRandomSeed(std::uint32_t value) noexcept {
    seed = value;
}

void SeedRandomFromClock() noexcept {
    timeval now{};
    gettimeofday(&now, nullptr);
    const std::uint64_t secondsOfDay = static_cast<std::uint64_t>(now.tv_sec) % 86400;
    seed = static_cast<std::uint32_t>(secondsOfDay * 1000 +
                                      static_cast<std::uint64_t>(now.tv_usec) / 1000);
}

std::uint32_t RandomBelow(std::uint32_t n) noexcept {
    seed = seed * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * n) >> 32);
}

} // namespace qv
