// Reading a file one chunk ahead on a helper thread, so that the system's
// copy of the next chunk overlaps the work on the current one.
#pragma once

#include "sources/byte_source.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qv {

class ReadAhead final : public ChunkFeed {
  public:
    /// Reads chunks of up to `chunkSize` bytes from `source`, each into a
    /// buffer of `bufferSize` bytes at offset bufferSize - chunkSize, up to
    /// `depth` chunks ahead of the caller. The first read starts at once.
    /// Nothing else may use `source` until destruction.
    ReadAhead(ByteSource& source, std::size_t bufferSize, std::size_t chunkSize, int depth = 3);
    /// Waits for a read under way, then stops the thread.
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    /// Waits for the oldest chunk not yet taken.
    Chunk wait() override;
    TextBuffer& buffer() override { return slots_[taken_].buffer; }
    /// Hands that buffer back for a later chunk.
    void next() override;
    std::size_t bufferSize() const override { return bufferSize_; }
    std::size_t room() const override { return chunkAt_; }

  private:
    struct Slot {
        TextBuffer buffer;
        Chunk chunk{0, false};
    };

    void run();
    template <class Done> void await(Done done);
    void changeReady(int by);

    ByteSource& source_;
    std::size_t bufferSize_;
    std::size_t chunkSize_;
    std::size_t chunkAt_;
    // A ring of buffers: the caller takes them in order from `taken_`, the
    // thread fills them in order from `filling_`. A few chunks of slack let
    // a stretch that scans slowly and one that reads slowly even out.
    std::vector<Slot> slots_;
    std::size_t taken_ = 0;   // the caller's side only
    std::size_t filling_ = 0; // the thread's side only
    // Each side spins a short while before it sleeps: a chunk takes tens of
    // microseconds, and waking a sleeping thread costs about as much.
    std::atomic<int> ready_{0}; // chunks read and not yet handed back
    std::atomic<bool> quit_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_; // last: starts once everything above is set
};

} // namespace qv
