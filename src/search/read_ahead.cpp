#include "search/read_ahead.h"

#include <algorithm>
#include <chrono>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#include <immintrin.h>
#define QV_SPIN_PAUSE() _mm_pause()
#else
#define QV_SPIN_PAUSE() std::this_thread::yield()
#endif

namespace qv {

namespace {
constexpr std::chrono::microseconds kSpinTime{200};
}

ReadAhead::ReadAhead(ByteSource& source, std::size_t bufferSize, std::size_t chunkSize, int depth)
    : source_(source), bufferSize_(bufferSize), chunkSize_(chunkSize),
      chunkAt_(bufferSize - chunkSize), slots_(static_cast<std::size_t>(std::max(depth, 1))) {
    for (Slot& slot : slots_)
        slot.buffer = allocateTextBuffer(bufferSize);
    thread_ = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_.store(true);
    }
    changed_.notify_all();
    thread_.join();
}

// Spins until `done()`, for a while, then sleeps until it is.
template <class Done> void ReadAhead::await(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + kSpinTime;
    for (unsigned i = 1;; ++i) {
        if (done())
            return;
        QV_SPIN_PAUSE();
        if (i % 64 == 0 && std::chrono::steady_clock::now() > deadline)
            break;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, done);
}

// Under the lock, so that a side about to sleep cannot miss the change.
void ReadAhead::changeReady(int by) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ready_.fetch_add(by, std::memory_order_acq_rel);
    }
    changed_.notify_all();
}

ChunkFeed::Chunk ReadAhead::wait() {
    await([this] { return ready_.load(std::memory_order_acquire) > 0; });
    return slots_[taken_].chunk;
}

void ReadAhead::next() {
    taken_ = (taken_ + 1) % slots_.size();
    changeReady(-1);
}

// After the end (or an error) nothing more is read: a source may not be
// asked again once it has said so.
void ReadAhead::run() {
    const int depth = static_cast<int>(slots_.size());
    for (;;) {
        await([this, depth] {
            return ready_.load(std::memory_order_acquire) < depth || quit_.load();
        });
        if (quit_.load())
            return;
        Slot& slot = slots_[filling_];
        const std::size_t size = source_.read(slot.buffer.get() + chunkAt_, chunkSize_);
        slot.chunk = {size, size == 0 && source_.failed()};
        filling_ = (filling_ + 1) % slots_.size();
        changeReady(1);
        if (size == 0) {
            await([this] { return quit_.load(); });
            return;
        }
    }
}

} // namespace qv
