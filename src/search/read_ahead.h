// Reading a file one chunk ahead on a helper thread, so that the system's
// copy of the next chunk overlaps the work on the current one.
#pragma once

#include "platform/byte_source.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class ReadAhead {
  public:
    /// Reads chunks of up to `chunkSize` bytes from `source` into a buffer of
    /// `bufferSize` bytes, each at offset bufferSize - chunkSize. The first
    /// read starts at once. Nothing else may use `source` until destruction.
    ReadAhead(ByteSource& source, std::size_t bufferSize, std::size_t chunkSize);
    /// Waits for a read under way, then stops the thread.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    struct Chunk {
        std::size_t size; // 0: the end of the input, or an error
        bool error;       // the source failed, once `size` is 0
    };
    /// Waits for the read under way. Its bytes stay in `buffer()` until
    /// `next` is called.
    Chunk wait();
    /// The buffer holding the chunk waited for; the caller may swap it for
    /// another of the same size before calling `next`.
    std::unique_ptr<char[]>& buffer() { return buffer_; }
    /// Starts reading the following chunk into `buffer()`.
    void next();

  private:
    void run();
    template <class Done> void await(Done done);
    void setReading(bool reading);

    ByteSource& source_;
    std::size_t chunkSize_;
    std::size_t chunkAt_;
    std::unique_ptr<char[]> buffer_;
    Chunk chunk_{0, false};
    // Each side spins a short while before it sleeps: a chunk takes tens of
    // microseconds, and waking a sleeping thread costs about as much.
    std::atomic<bool> reading_{true}; // a read is asked for or under way
    std::atomic<bool> quit_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_; // last: starts once everything above is set
};

} // namespace qv
