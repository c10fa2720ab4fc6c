// The compressed logs of a pattern run inflated ahead on the spare cores: the
// files after the one being scanned are inflated on other threads into a
// bounded pool while the scan works, so a month of archives keeps every core
// busy. The scan still takes the files one after the other, in order.
#pragma once

#include "platform/platform.h"
#include "platform/text_buffer.h"
#include "sources/byte_source.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class InflateAhead {
  public:
    /// Inflated text waiting for the scan, over all files: with it, what a
    /// run holds beyond one file's reading is at most this plus a chunk
    /// buffer and an inflater's input (256 KiB) per thread.
    static constexpr std::size_t kPoolBytes = std::size_t{128} << 20;
    /// The text of a file is queued in chunks of kChunkText bytes, each
    /// kChunkRoom into a buffer of a large page, which the scan's reader
    /// takes over whole (see ChunkFeed).
    static constexpr std::size_t kChunkBuffer = kLargePageSize;
    static constexpr std::size_t kChunkRoom = 4096;
    static constexpr std::size_t kChunkText = kChunkBuffer - kChunkRoom;

    /// Inflates the compressed ones of `paths` on `threads` threads; `pool`
    /// bytes of text at most wait for the scan.
    InflateAhead(std::vector<std::string> paths, int threads, std::size_t pool = kPoolBytes);
    ~InflateAhead();
    InflateAhead(const InflateAhead&) = delete;
    InflateAhead& operator=(const InflateAhead&) = delete;

    /// The text of `paths[index]`, for the scan that now starts on it; null
    /// where it is not a compressed log or not the file `id` the scan opened
    /// (then the scan reads the file itself). Indexes must not go back.
    std::unique_ptr<ByteSource> take(std::size_t index, FileId id);

  private:
    struct Chunk {
        TextBuffer bytes; // text at kChunkRoom
        std::size_t size = 0;
    };
    enum class State { Waiting, Inflating, Ended, NotTaken };
    struct Lane {
        State state = State::Waiting;
        FileId id;
        std::deque<Chunk> chunks;
        std::string error; // once ended: why the text ended early
    };
    class LaneSource;

    void work();
    void inflateLane(std::size_t index, ByteSource& text);
    bool mayQueue(std::size_t index) const;
    Chunk freeChunk();
    std::size_t readChunk(std::size_t index, char* buffer, std::size_t size, bool& failed,
                          std::string& error);
    Chunk* waitForChunk(std::size_t index, bool& failed, std::string& error);
    void chunkTaken(std::size_t index);
    void drop(Lane& lane);

    std::vector<std::string> paths_;
    std::size_t pool_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Lane> lanes_;
    std::vector<Chunk> spare_; // chunks given back, for reuse
    std::size_t queued_ = 0;   // bytes in the lanes' queues
    std::size_t nextToStart_ = 0;
    std::size_t current_ = 0;    // the lane the scan reads
    std::size_t frontTaken_ = 0; // bytes of the current lane's first chunk taken
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

} // namespace qv
