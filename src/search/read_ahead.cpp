#include "search/read_ahead.h"

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

ReadAhead::ReadAhead(ByteSource& source, std::size_t bufferSize, std::size_t chunkSize)
    : source_(source), chunkSize_(chunkSize), chunkAt_(bufferSize - chunkSize),
      buffer_(new char[bufferSize]), thread_([this] { run(); }) {}

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
void ReadAhead::setReading(bool reading) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        reading_.store(reading, std::memory_order_release);
    }
    changed_.notify_all();
}

ReadAhead::Chunk ReadAhead::wait() {
    await([this] { return !reading_.load(std::memory_order_acquire); });
    return chunk_;
}

void ReadAhead::next() {
    setReading(true);
}

void ReadAhead::run() {
    for (;;) {
        await([this] { return reading_.load(std::memory_order_acquire) || quit_.load(); });
        if (quit_.load())
            return;
        const std::size_t size = source_.read(buffer_.get() + chunkAt_, chunkSize_);
        chunk_ = {size, size == 0 && source_.failed()};
        setReading(false);
    }
}

} // namespace qv
