#include "Random.h"

#include <atomic>
#include <ctime>
#include <sys/time.h>

namespace qv {

namespace {
// Wipes on several threads draw from it at once: each step of the sequence is taken whole.
std::atomic<std::uint32_t> seed{0};
} // namespace

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

namespace {

std::uint32_t Next(std::uint32_t value) noexcept {
    return value * 134775813u + 1u;
}

std::uint32_t Scaled(std::uint32_t value, std::uint32_t n) noexcept {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(value) * n) >> 32);
}

} // namespace

std::uint32_t RandomBelow(std::uint32_t n) noexcept {
    std::uint32_t current = seed.load(std::memory_order_relaxed);
    while (!seed.compare_exchange_weak(current, Next(current), std::memory_order_relaxed)) {
    }
    return Scaled(Next(current), n);
}

void RandomBytes(std::uint8_t* bytes, std::size_t count) noexcept {
    std::uint32_t first = seed.load(std::memory_order_relaxed);
    std::uint32_t last = 0;
    do {
        last = first;
        for (std::size_t i = 0; i < count; ++i) {
            last = Next(last);
            bytes[i] = static_cast<std::uint8_t>(Scaled(last, 256));
        }
    } while (!seed.compare_exchange_weak(first, last, std::memory_order_relaxed));
}

} // namespace qv
