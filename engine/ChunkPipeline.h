// A second thread beside the cipher: while the calling thread enciphers or deciphers one chunk,
// the helper takes the data checksum of others (and, when a file is encrypted, reads them
// ahead). The checksum is the one step of a file that cannot be split (every byte's step needs
// the step before), so on its own thread it no longer adds its time to the cipher's.
//
// Chunks go through a ring of buffers in order. Everything the caller sees stays on its own
// thread and in its order: it gets chunk k after chunk k-1, runs its callback after each, and a
// stop or a failure ends the helper before the call returns. Small files, and machines with one
// processor, get the same sequence on the calling thread alone: a thread costs more than it saves
// there.
#pragma once

#include "SecureMemory.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace qv {

// The buffers and their two counters: chunks filled by one side, chunks drained by the other.
// Each side waits only when it has run into the other, and is woken only once the other has
// gone half the ring ahead, so that the threads meet a few times per ring, not per chunk.
class ChunkRing {
public:
    static constexpr std::size_t Slots = 16;

    // false when there is no memory for the buffers.
    bool Allocate(std::size_t chunkSize);
    std::uint8_t* Slot(std::size_t chunk) { return buffers_.data() + chunk % Slots * chunkSize_; }

    // Filler: waits until chunk's slot has been drained; false once Close was called.
    bool WaitToFill(std::size_t chunk);
    void Filled(std::size_t chunk, std::size_t length, bool ok);
    // Drainer: waits until chunk has been filled; false once Close was called or the filler
    // ended before it. length and ok are what the filler gave.
    bool WaitToDrain(std::size_t chunk, std::size_t& length, bool& ok);
    void Drained(std::size_t chunk);
    // No more chunks from the filler.
    void EndFilling();
    // Both sides stop waiting and give up.
    void Close();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    SecureBytes buffers_;
    std::size_t chunkSize_ = 0;
    std::size_t lengths_[Slots] = {};
    bool ok_[Slots] = {};
    std::size_t filled_ = 0, drained_ = 0;
    bool fillerWaits_ = false, drainerWaits_ = false;
    bool ended_ = false, closed_ = false;
};

// Decryption: the caller deciphers each chunk into Buffer(k) and hands its plain bytes over; the
// checksum of them is taken behind it.
class ChecksumBehind {
public:
    // dataBytes: the enciphered bytes of the file, to judge whether a helper pays.
    explicit ChecksumBehind(std::int64_t dataBytes);
    ~ChecksumBehind();
    ChecksumBehind(const ChecksumBehind&) = delete;
    ChecksumBehind& operator=(const ChecksumBehind&) = delete;

    // false when there is no memory for the buffers.
    bool Allocate();
    // Where chunk k is to be deciphered; waits while the helper still reads that buffer.
    std::uint8_t* Buffer(std::size_t chunk);
    // The first plainBytes bytes of chunk k are final.
    void Hand(std::size_t chunk, std::size_t plainBytes);
    // The checksum of all bytes handed over, from 0.
    std::uint32_t Finish();

private:
    void Run();

    bool threaded_;
    ChunkRing ring_;
    SecureBytes single_; // the one buffer when there is no helper
    std::uint32_t checksum_ = 0;
    std::thread helper_;
};

// Encryption: the helper reads the plain file chunk by chunk, fills the pad bytes of the last
// and takes the checksum; the caller enciphers each chunk in its buffer and writes it.
class ReadAhead {
public:
    // fd: the plain file at offset 0, plainSize bytes long; paddedSize: plainSize rounded up to
    // whole blocks, with 1 to 8 pad bytes.
    ReadAhead(int fd, std::int64_t plainSize, std::int64_t paddedSize);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // false when there is no memory for the buffers.
    bool Allocate();
    // Chunk k, read (false when the file ended early or could not be read); length: its bytes
    // with the pad.
    bool Next(std::size_t chunk, std::uint8_t*& data, std::size_t& length);
    // The caller is done with chunk k's buffer.
    void Release(std::size_t chunk);
    // After the last chunk: the checksum of the plain bytes, once the reading is over.
    std::uint32_t Finish();

private:
    void Run();
    // Reads chunk k into data: false on a short read or an error.
    bool ReadChunk(std::size_t chunk, std::uint8_t* data, std::size_t& length);

    int fd_;
    std::int64_t plainSize_, paddedSize_;
    std::size_t chunks_;
    bool threaded_;
    ChunkRing ring_;
    SecureBytes single_;
    std::uint32_t checksum_ = 0;
    std::thread helper_;
};

} // namespace qv
