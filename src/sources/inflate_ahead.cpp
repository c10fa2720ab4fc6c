#include "sources/inflate_ahead.h"

#include "sources/gzip_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qv {

namespace {

// The current file may always queue this many chunks, whatever the later
// files hold: the scan never waits on text it will read only later.
constexpr std::size_t kCurrentReserve = 4;

bool isGzipHead(const char* head, std::size_t size) {
    return size >= 3 && head[0] == '\x1f' && head[1] == '\x8b' && head[2] == '\x08';
}

} // namespace

/// What the scan reads: the queue of one lane, in order, then its end. A
/// reader either copies from it or takes its chunks' buffers over whole.
class InflateAhead::LaneSource final : public ByteSource, public ChunkFeed {
  public:
    LaneSource(InflateAhead& owner, std::size_t index) : owner_(owner), index_(index) {}
    std::size_t read(char* buffer, std::size_t size) override {
        return owner_.readChunk(index_, buffer, size, failed_, error_);
    }
    bool failed() const override { return failed_; }
    std::string errorText() const override { return error_; }
    ChunkFeed* chunkFeed() override { return this; }

    Chunk wait() override {
        front_ = owner_.waitForChunk(index_, failed_, error_);
        return {front_ ? front_->size : 0, failed_};
    }
    TextBuffer& buffer() override { return front_->bytes; }
    void next() override {
        owner_.chunkTaken(index_);
        front_ = nullptr;
    }
    std::size_t bufferSize() const override { return kChunkBuffer; }
    std::size_t room() const override { return kChunkRoom; }

  private:
    InflateAhead& owner_;
    std::size_t index_;
    InflateAhead::Chunk* front_ = nullptr; // the chunk waited for
    bool failed_ = false;
    std::string error_;
};

InflateAhead::InflateAhead(std::vector<std::string> paths, int threads, std::size_t pool)
    : paths_(std::move(paths)), pool_(pool), lanes_(paths_.size()) {
    for (int i = 0; i < std::max(threads, 1); ++i)
        workers_.emplace_back([this] { work(); });
}

InflateAhead::~InflateAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

// Each thread takes the next file not yet started, in order, so the file the
// scan reads is always started before any after it.
void InflateAhead::work() {
    for (;;) {
        std::size_t index;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (stop_ || nextToStart_ >= lanes_.size())
                return;
            index = nextToStart_++;
        }
        std::string whyNot;
        std::FILE* file = openForRead(paths_[index].c_str(), &whyNot);
        FileSource bytes(file);
        char head[3];
        std::size_t got = 0;
        // The scan opens the file again at its turn and reports what fails then.
        const bool compressed = file && bytes.peek(head, sizeof head, got) && isGzipHead(head, got);
        if (compressed) {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                lanes_[index].state = State::Inflating;
                lanes_[index].id = regularFileIdOf(file);
            }
            GzipSource text(bytes, "");
            inflateLane(index, text);
        } else {
            const std::lock_guard<std::mutex> lock(mutex_);
            lanes_[index].state = State::NotTaken;
        }
        if (file)
            std::fclose(file);
        changed_.notify_all();
    }
}

bool InflateAhead::mayQueue(std::size_t index) const {
    if (index == current_ && lanes_[index].chunks.size() < kCurrentReserve)
        return true;
    return queued_ + kChunkText <= pool_;
}

InflateAhead::Chunk InflateAhead::freeChunk() {
    if (spare_.empty())
        return {allocateTextBuffer(kChunkBuffer), 0};
    Chunk chunk = std::move(spare_.back());
    spare_.pop_back();
    chunk.size = 0;
    return chunk;
}

// Fills chunks from `text` until its end, an error, or the scan has gone past
// the file (then what is left is not wanted).
void InflateAhead::inflateLane(std::size_t index, ByteSource& text) {
    Lane& lane = lanes_[index];
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || index < current_ || mayQueue(index); });
            if (stop_ || index < current_) {
                lane.state = State::Ended;
                return;
            }
            chunk = freeChunk();
        }
        std::size_t n = 0;
        char* const into = chunk.bytes.get() + kChunkRoom;
        while (chunk.size < kChunkText &&
               (n = text.read(into + chunk.size, kChunkText - chunk.size)) > 0)
            chunk.size += n;
        const bool end = chunk.size < kChunkText;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (chunk.size > 0 && index >= current_) {
                queued_ += chunk.size;
                lane.chunks.push_back(std::move(chunk));
            } else {
                spare_.push_back(std::move(chunk));
            }
            if (end) {
                if (text.failed())
                    lane.error = text.errorText();
                lane.state = State::Ended;
            }
        }
        changed_.notify_all();
        if (end)
            return;
    }
}

void InflateAhead::drop(Lane& lane) {
    for (Chunk& chunk : lane.chunks) {
        queued_ -= chunk.size;
        spare_.push_back(std::move(chunk));
    }
    lane.chunks.clear();
}

std::unique_ptr<ByteSource> InflateAhead::take(std::size_t index, FileId id) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (std::size_t i = current_; i < index && i < lanes_.size(); ++i)
        drop(lanes_[i]);
    current_ = index;
    frontTaken_ = 0;
    changed_.notify_all();
    if (index >= lanes_.size())
        return nullptr;
    Lane& lane = lanes_[index];
    changed_.wait(lock, [&] { return lane.state != State::Waiting; });
    if (lane.state == State::NotTaken || !(lane.id == id)) {
        // Another file at the path since: the scan reads what it opened.
        current_ = index + 1;
        drop(lane);
        changed_.notify_all();
        return nullptr;
    }
    return std::make_unique<LaneSource>(*this, index);
}

// Only the scan's thread takes chunks off a lane, and the workers' pushes
// leave the first one where it is: its bytes are used without the lock.
InflateAhead::Chunk* InflateAhead::waitForChunk(std::size_t index, bool& failed,
                                                std::string& error) {
    std::unique_lock<std::mutex> lock(mutex_);
    Lane& lane = lanes_[index];
    changed_.wait(lock, [&] { return !lane.chunks.empty() || lane.state == State::Ended; });
    if (!lane.chunks.empty())
        return &lane.chunks.front();
    failed = !lane.error.empty();
    error = lane.error;
    return nullptr;
}

// The first chunk of the lane is done with; its buffer goes to the spares.
void InflateAhead::chunkTaken(std::size_t index) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        Lane& lane = lanes_[index];
        queued_ -= lane.chunks.front().size;
        spare_.push_back(std::move(lane.chunks.front()));
        lane.chunks.pop_front();
        frontTaken_ = 0;
    }
    changed_.notify_all();
}

std::size_t InflateAhead::readChunk(std::size_t index, char* buffer, std::size_t size, bool& failed,
                                    std::string& error) {
    const Chunk* front = waitForChunk(index, failed, error);
    if (!front)
        return 0;
    const std::size_t n = std::min(size, front->size - frontTaken_);
    std::memcpy(buffer, front->bytes.get() + kChunkRoom + frontTaken_, n);
    frontTaken_ += n;
    if (frontTaken_ == front->size)
        chunkTaken(index);
    return n;
}

} // namespace qv
