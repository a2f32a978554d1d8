#include "ChunkPipeline.h"

#include "Crc.h"
#include "CryptFile.h"
#include "FileSystem.h"
#include "Pwd.h"

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

} // namespace

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

void ChunkRing::Filled(std::size_t chunk, std::size_t length) {
    std::lock_guard lock(mutex_);
    lengths_[chunk % Slots] = length;
    filled_ = chunk + 1;
    if (drainerWaits_ && filled_ - drained_ >= Slots / 2)
        changed_.notify_all();
}

bool ChunkRing::WaitToDrain(std::size_t chunk, std::size_t& length) {
    std::unique_lock lock(mutex_);
    while (!closed_ && !ended_ && chunk >= filled_) {
        drainerWaits_ = true;
        changed_.wait(lock);
    }
    drainerWaits_ = false;
    if (closed_ || chunk >= filled_)
        return false;
    length = lengths_[chunk % Slots];
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
        ring_.Filled(chunk, plainBytes);
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
    for (std::size_t chunk = 0; ring_.WaitToDrain(chunk, length); ++chunk) {
        checksum = UpdateCrc(checksum, ring_.Slot(chunk), length);
        ring_.Drained(chunk);
    }
    checksum_ = checksum; // read by the caller after the join
}

EncryptAhead::EncryptAhead(int input, AtomicFile& output, std::int64_t plainSize,
                           std::int64_t paddedSize)
    : input_(input), output_(output), plainSize_(plainSize), paddedSize_(paddedSize),
      chunks_(static_cast<std::size_t>((paddedSize + std::int64_t(ChunkBytes) - 1) /
                                       std::int64_t(ChunkBytes))),
      threaded_(WorthAHelper(paddedSize)) {
    static_assert(ChunkBytes == CryptChunkSize);
}

EncryptAhead::~EncryptAhead() {
    if (helper_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            changed_.notify_all();
        }
        helper_.join();
    }
}

bool EncryptAhead::Allocate() {
    if (!AllocateBytes(buffers_, (threaded_ ? Slots : 1) * ChunkBytes))
        return false;
    if (threaded_)
        threaded_ = StartHelper(helper_, [this] { Run(); });
    return true;
}

bool EncryptAhead::ReadChunk(std::size_t chunk, std::uint8_t* data, std::size_t& length) {
    const std::int64_t offset = static_cast<std::int64_t>(chunk * ChunkBytes);
    length = ClampedLength(paddedSize_ - offset, ChunkBytes);
    const std::size_t plainBytes = ClampedLength(plainSize_ - offset, length);
    // A short read means the file shrank while it was read: its size in the header would be
    // wrong.
    if (ReadFull(input_, data, plainBytes) != static_cast<long>(plainBytes))
        return false;
    std::memset(data + plainBytes, 0, length - plainBytes); // the pad bytes
    checksum_ = UpdateCrc(checksum_, data, plainBytes);
    return true;
}

std::int32_t EncryptAhead::Next(std::size_t chunk, std::uint8_t*& data, std::size_t& length) {
    if (!threaded_) {
        data = buffers_.data();
        const bool ok = ReadChunk(chunk, data, length);
        lengths_[0] = length;
        return ok ? CryptOk : CryptReadFailed;
    }
    std::unique_lock lock(mutex_);
    while (chunk >= read_ && !readFailed_ && !writeFailed_) {
        callerWaits_ = true;
        changed_.wait(lock);
    }
    callerWaits_ = false;
    if (writeFailed_)
        return CryptWriteFailed;
    if (chunk >= read_) {
        // The file could not be read to its end. The chunks before are written first, so that a
        // disk that filled up meanwhile is reported as it would be without the helper.
        const std::int32_t code = WaitForWrites(lock);
        return code != CryptOk ? code : CryptReadFailed;
    }
    data = Slot(chunk);
    length = lengths_[chunk % Slots];
    return CryptOk;
}

std::int32_t EncryptAhead::Enciphered(std::size_t chunk) {
    if (!threaded_)
        return output_.Write(buffers_.data(), lengths_[0]) ? CryptOk : CryptWriteFailed;
    std::lock_guard lock(mutex_);
    enciphered_ = chunk + 1;
    if (helperWaits_ && (enciphered_ - written_ >= Slots / 2 || enciphered_ == chunks_))
        changed_.notify_all();
    return writeFailed_ ? CryptWriteFailed : CryptOk;
}

std::int32_t EncryptAhead::WaitForWrites(std::unique_lock<std::mutex>& lock) {
    finishing_ = true;
    changed_.notify_all();
    while (written_ < enciphered_ && !writeFailed_) {
        callerWaits_ = true;
        changed_.wait(lock);
    }
    callerWaits_ = false;
    return writeFailed_ ? CryptWriteFailed : CryptOk;
}

std::int32_t EncryptAhead::Finish(std::uint32_t& checksum) {
    std::int32_t code = CryptOk;
    if (threaded_) {
        {
            std::unique_lock lock(mutex_);
            code = WaitForWrites(lock);
            closed_ = true; // everything is read and written
            changed_.notify_all();
        }
        helper_.join();
    }
    checksum = checksum_;
    return code;
}

void EncryptAhead::Run() {
    std::unique_lock lock(mutex_);
    while (!closed_ && !writeFailed_) {
        if (written_ < enciphered_) {
            // Writing first frees the buffers for reading.
            const std::size_t chunk = written_;
            lock.unlock();
            const bool ok = output_.Write(Slot(chunk), lengths_[chunk % Slots]);
            lock.lock();
            if (!ok)
                writeFailed_ = true;
            else
                written_ = chunk + 1;
            if (callerWaits_ && (!ok || written_ == enciphered_))
                changed_.notify_all();
        } else if (!readFailed_ && read_ < chunks_ && read_ < written_ + Slots) {
            const std::size_t chunk = read_;
            lock.unlock();
            std::size_t length = 0;
            const bool ok = ReadChunk(chunk, Slot(chunk), length);
            lock.lock();
            lengths_[chunk % Slots] = length;
            if (!ok)
                readFailed_ = true;
            else
                read_ = chunk + 1;
            if (callerWaits_)
                changed_.notify_all();
        } else if (finishing_ && written_ == enciphered_) {
            break;
        } else {
            helperWaits_ = true;
            changed_.wait(lock);
            helperWaits_ = false;
        }
    }
    if (callerWaits_)
        changed_.notify_all();
}

} // namespace qv
