#include "ChunkPipeline.h"

#include "Crc.h"
#include "CryptFile.h"
#include "FileSystem.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <system_error>

namespace qv {

namespace {

// Below this many bytes a file is done on the calling thread alone: starting and ending a thread
// takes about as long as the checksum of a few dozen kilobytes.
constexpr std::int64_t HelperFromBytes = 256 * 1024;

bool WorthAHelper(std::int64_t bytes) {
    if (bytes < HelperFromBytes)
        return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
}

// Starts run on a new thread that takes no signals (a handler that interrupts its reads would
// only cost a retry, but the signals belong to the calling thread, which polls for them). false
// when the thread cannot be started.
template <typename Run>
bool StartHelper(std::thread& helper, Run run) {
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    bool started = true;
    try {
        helper = std::thread(run);
    } catch (const std::system_error&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return started;
}

bool AllocateBytes(SecureBytes& bytes, std::size_t size) {
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::size_t ClampedLength(std::int64_t bytes, std::size_t length) {
    return static_cast<std::size_t>(std::clamp<std::int64_t>(bytes, 0, std::int64_t(length)));
}

} // namespace

bool ChunkRing::Allocate(std::size_t chunkSize) {
    chunkSize_ = chunkSize;
    return AllocateBytes(buffers_, Slots * chunkSize);
}

bool ChunkRing::WaitToFill(std::size_t chunk) {
    std::unique_lock lock(mutex_);
    while (!closed_ && chunk >= drained_ + Slots) {
        fillerWaits_ = true;
        changed_.wait(lock);
    }
    fillerWaits_ = false;
    return !closed_;
}

void ChunkRing::Filled(std::size_t chunk, std::size_t length, bool ok) {
    std::lock_guard lock(mutex_);
    lengths_[chunk % Slots] = length;
    ok_[chunk % Slots] = ok;
    filled_ = chunk + 1;
    if (drainerWaits_ && (filled_ - drained_ >= Slots / 2 || !ok))
        changed_.notify_all();
}

bool ChunkRing::WaitToDrain(std::size_t chunk, std::size_t& length, bool& ok) {
    std::unique_lock lock(mutex_);
    while (!closed_ && !ended_ && chunk >= filled_) {
        drainerWaits_ = true;
        changed_.wait(lock);
    }
    drainerWaits_ = false;
    if (closed_ || chunk >= filled_)
        return false;
    length = lengths_[chunk % Slots];
    ok = ok_[chunk % Slots];
    return true;
}

void ChunkRing::Drained(std::size_t chunk) {
    std::lock_guard lock(mutex_);
    drained_ = chunk + 1;
    if (fillerWaits_ && filled_ - drained_ <= Slots / 2)
        changed_.notify_all();
}

void ChunkRing::EndFilling() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
}

void ChunkRing::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

ChecksumBehind::ChecksumBehind(std::int64_t dataBytes) : threaded_(WorthAHelper(dataBytes)) {}

ChecksumBehind::~ChecksumBehind() {
    if (helper_.joinable()) {
        ring_.Close();
        helper_.join();
    }
}

bool ChecksumBehind::Allocate() {
    if (threaded_) {
        if (!ring_.Allocate(CryptChunkSize))
            return false;
        threaded_ = StartHelper(helper_, [this] { Run(); });
    }
    return threaded_ || AllocateBytes(single_, CryptChunkSize);
}

std::uint8_t* ChecksumBehind::Buffer(std::size_t chunk) {
    if (!threaded_)
        return single_.data();
    ring_.WaitToFill(chunk); // only the destructor closes the ring
    return ring_.Slot(chunk);
}

void ChecksumBehind::Hand(std::size_t chunk, std::size_t plainBytes) {
    if (threaded_)
        ring_.Filled(chunk, plainBytes, true);
    else
        checksum_ = UpdateCrc(checksum_, single_.data(), plainBytes);
}

std::uint32_t ChecksumBehind::Finish() {
    if (helper_.joinable()) {
        ring_.EndFilling();
        helper_.join();
    }
    return checksum_;
}

void ChecksumBehind::Run() {
    std::uint32_t checksum = 0;
    std::size_t length = 0;
    bool ok = false;
    for (std::size_t chunk = 0; ring_.WaitToDrain(chunk, length, ok); ++chunk) {
        checksum = UpdateCrc(checksum, ring_.Slot(chunk), length);
        ring_.Drained(chunk);
    }
    checksum_ = checksum; // read by the caller after the join
}

ReadAhead::ReadAhead(int fd, std::int64_t plainSize, std::int64_t paddedSize)
    : fd_(fd), plainSize_(plainSize), paddedSize_(paddedSize),
      chunks_(static_cast<std::size_t>((paddedSize + std::int64_t(CryptChunkSize) - 1) /
                                       std::int64_t(CryptChunkSize))),
      threaded_(WorthAHelper(paddedSize)) {}

ReadAhead::~ReadAhead() {
    if (helper_.joinable()) {
        ring_.Close();
        helper_.join();
    }
}

bool ReadAhead::Allocate() {
    if (threaded_) {
        if (!ring_.Allocate(CryptChunkSize))
            return false;
        threaded_ = StartHelper(helper_, [this] { Run(); });
    }
    return threaded_ || AllocateBytes(single_, CryptChunkSize);
}

bool ReadAhead::ReadChunk(std::size_t chunk, std::uint8_t* data, std::size_t& length) {
    const std::int64_t offset = static_cast<std::int64_t>(chunk * CryptChunkSize);
    length = ClampedLength(paddedSize_ - offset, CryptChunkSize);
    const std::size_t plainBytes = ClampedLength(plainSize_ - offset, length);
    // A short read means the file shrank while it was read: its size in the header would be
    // wrong.
    if (ReadFull(fd_, data, plainBytes) != static_cast<long>(plainBytes))
        return false;
    std::memset(data + plainBytes, 0, length - plainBytes); // the pad bytes
    checksum_ = UpdateCrc(checksum_, data, plainBytes);
    return true;
}

bool ReadAhead::Next(std::size_t chunk, std::uint8_t*& data, std::size_t& length) {
    if (!threaded_) {
        data = single_.data();
        return ReadChunk(chunk, data, length);
    }
    bool ok = false;
    if (!ring_.WaitToDrain(chunk, length, ok))
        return false;
    data = ring_.Slot(chunk);
    return ok;
}

void ReadAhead::Release(std::size_t chunk) {
    if (threaded_)
        ring_.Drained(chunk);
}

std::uint32_t ReadAhead::Finish() {
    if (helper_.joinable())
        helper_.join();
    return checksum_;
}

void ReadAhead::Run() {
    for (std::size_t chunk = 0; chunk < chunks_; ++chunk) {
        if (!ring_.WaitToFill(chunk))
            return;
        std::size_t length = 0;
        const bool ok = ReadChunk(chunk, ring_.Slot(chunk), length);
        ring_.Filled(chunk, length, ok);
        if (!ok)
            break;
    }
    ring_.EndFilling();
}

} // namespace qv
