// A second thread beside the cipher: while the calling thread enciphers or deciphers one chunk,
// the helper takes the data checksum of others (and, when a file is encrypted, reads them ahead
// and writes them behind). The checksum is the one step of a file that cannot be split (every
// byte's step needs the step before), so on its own thread it no longer adds its time to the
// cipher's.
//
// Chunks go through a ring of buffers in order. Everything the caller sees stays on its own
// thread and in its order: it gets chunk k after chunk k-1, runs its callback after each, and a
// stop or a failure ends the helper before the call returns. Small files, and machines with one
// processor, get the same sequence on the calling thread alone: a thread costs more than it saves
// there.
#pragma once

#include "FileSystem.h"
#include "SecureMemory.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace qv {

// Sizes the buffer; false when there is no memory for it.
bool AllocateBytes(SecureBytes& bytes, std::size_t size);
// bytes, kept between 0 and length: how much of a chunk of length bytes a file still fills.
std::size_t ClampedLength(std::int64_t bytes, std::size_t length);

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
    void Filled(std::size_t chunk, std::size_t length);
    // Drainer: waits until chunk has been filled; false once Close was called or the filler
    // ended before it. length is what the filler gave.
    bool WaitToDrain(std::size_t chunk, std::size_t& length);
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

// Encryption: the helper reads the plain file chunk by chunk, fills the pad bytes of the last and
// takes the checksum; the caller enciphers each chunk in its buffer and hands it back; the
// helper writes it to the output behind the caller.
class EncryptAhead {
public:
    // input: the plain file at offset 0, plainSize bytes long; paddedSize: plainSize rounded up
    // to whole blocks, with 1 to 8 pad bytes; output: where the enciphered chunks go. output
    // must outlive this object.
    EncryptAhead(int input, AtomicFile& output, std::int64_t plainSize, std::int64_t paddedSize);
    ~EncryptAhead();
    EncryptAhead(const EncryptAhead&) = delete;
    EncryptAhead& operator=(const EncryptAhead&) = delete;

    // false when there is no memory for the buffers.
    bool Allocate();
    // Chunk k, read, with length its bytes with the pad: 0; CryptReadFailed when the file ended
    // early or could not be read; CryptWriteFailed when an earlier chunk could not be written.
    std::int32_t Next(std::size_t chunk, std::uint8_t*& data, std::size_t& length);
    // The caller enciphered chunk k in its buffer: 0, or CryptWriteFailed as above.
    std::int32_t Enciphered(std::size_t chunk);
    // After the last chunk: once every chunk is written and the reading is over, 0 or
    // CryptWriteFailed, and the checksum of the plain bytes.
    std::int32_t Finish(std::uint32_t& checksum);

private:
    void Run();
    // Reads chunk k into data: false on a short read or an error.
    bool ReadChunk(std::size_t chunk, std::uint8_t* data, std::size_t& length);
    std::uint8_t* Slot(std::size_t chunk) { return buffers_.data() + chunk % Slots * ChunkBytes; }
    // Waits, with the lock held, until every chunk handed back is written or a write failed.
    std::int32_t WaitForWrites(std::unique_lock<std::mutex>& lock);

    static constexpr std::size_t Slots = 16;
    static constexpr std::size_t ChunkBytes = 10240;

    int input_;
    AtomicFile& output_;
    std::int64_t plainSize_, paddedSize_;
    std::size_t chunks_;
    bool threaded_;
    SecureBytes buffers_; // Slots chunks, or one without a helper
    std::size_t lengths_[Slots] = {};
    std::uint32_t checksum_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t read_ = 0, enciphered_ = 0, written_ = 0;
    bool readFailed_ = false, writeFailed_ = false;
    bool finishing_ = false, closed_ = false;
    bool callerWaits_ = false, helperWaits_ = false;
    std::thread helper_;
};

} // namespace qv
