#include "search/line_reader.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace qv {

// Room for the longest pending tail the block search leaves behind.
LineReader::LineReader(ByteSource& source, std::size_t maxRead, std::size_t bufferSize)
    : source_(source), maxRead_(maxRead), capacity_(std::max(bufferSize, 4 * (maxRead + 1))),
      aheadRoom_((2 * (maxRead + 1) + 63) / 64 * 64) {
    if (!takeFeed(source.chunkFeed()))
        buffer_ = allocateTextBuffer(capacity_);
}

// The feed's buffers trade places with the reader's, so they must be alike,
// with room for what a fill may have pending.
bool LineReader::takeFeed(ChunkFeed* feed) {
    if (!feed || feed->room() < aheadRoom_ || feed->bufferSize() < 4 * (maxRead_ + 1))
        return false;
    capacity_ = feed->bufferSize();
    aheadRoom_ = feed->room();
    buffer_ = allocateTextBuffer(capacity_);
    feed_ = feed;
    return true;
}

void LineReader::readAhead() {
    // With one usable processor the two threads would only take turns.
    if (feed_ || end_ != 0 || atEnd_ || aheadRoom_ >= capacity_ || usableCores() < 2)
        return;
    try {
        ahead_ = std::make_unique<ReadAhead>(source_, capacity_, capacity_ - aheadRoom_);
        feed_ = ahead_.get();
    } catch (const std::exception&) {
        // No thread (or no memory) to spare: read in this thread as ever.
    }
}

bool LineReader::next(std::string_view& line) {
    // The byte after a full read tells whether a "\r\n" ends it. A newline
    // already in hand decides the read: asking for more would keep a line
    // that is complete waiting for the next one while a log is followed.
    while (end_ - pos_ <= maxRead_ && !findNewline(buffer_.get() + pos_) && fill()) {
    }
    char* start = buffer_.get() + pos_;
    char* newline = findNewline(start);
    // Only the bytes up to the newline matter to this read. If a Ctrl-Z
    // ends the input before them, look again within what is left.
    checkCtrlZ(newline ? static_cast<std::size_t>(newline - buffer_.get()) + 1
                       : std::min(end_, pos_ + maxRead_ + 1));
    if (newline && newline >= buffer_.get() + end_)
        newline = findNewline(start);
    const std::size_t avail = end_ - pos_;
    if (avail == 0)
        return false;
    if (newline) {
        const std::size_t length = static_cast<std::size_t>(newline - start) + 1;
        if (newline > start && newline[-1] == '\r') {
            newline[-1] = '\n'; // "\r\n" reads as "\n"
            line = std::string_view(start, length - 1);
            pos_ += length;
            return true;
        }
        if (length <= maxRead_) {
            line = std::string_view(start, length);
            pos_ += length;
            return true;
        }
    }
    const std::size_t length = std::min(avail, maxRead_);
    line = std::string_view(start, length);
    pos_ += length;
    return true;
}

// The first newline within the bytes a read can take, or nullptr.
char* LineReader::findNewline(char* start) const {
    const std::size_t window = std::min(end_ - pos_, maxRead_ + 1);
    return static_cast<char*>(std::memchr(start, '\n', window));
}

// Looks for a Ctrl-Z up to `upTo` at least, and some way beyond so that
// reading line by line costs one search per stretch rather than per read.
void LineReader::checkCtrlZ(std::size_t upTo) {
    const std::size_t from = std::max(checked_, pos_);
    if (from >= upTo)
        return;
    const std::size_t to = std::min(end_, std::max(upTo, from + ctrlZAhead_));
    char* base = buffer_.get();
    if (const void* eof = std::memchr(base + from, 0x1A, to - from)) {
        cutAt(static_cast<const char*>(eof));
        return;
    }
    checked_ = to;
}

void LineReader::cutAt(const char* at) {
    ++generation_;
    end_ = static_cast<std::size_t>(at - buffer_.get());
    checked_ = end_;
    atEnd_ = true; // Ctrl-Z ends the file
}

void LineReader::moveToFront() {
    char* base = buffer_.get();
    std::memmove(base, base + pos_, end_ - pos_);
    end_ -= pos_;
    checked_ = checked_ > pos_ ? checked_ - pos_ : 0;
    pos_ = 0;
}

bool LineReader::fill() {
    ++generation_;
    if (feed_)
        return fillAhead();
    moveToFront();
    // Nothing is read past a Ctrl-Z, not even to meet a read error there.
    checkCtrlZ(end_);
    if (atEnd_ || end_ == capacity_)
        return false;
    char* chunk = buffer_.get() + end_;
    const std::size_t n = source_.read(chunk, capacity_ - end_);
    if (n == 0) {
        readError_ = source_.failed();
        atEnd_ = true;
        return false;
    }
    end_ += n;
    return true;
}

// The pending bytes are copied in front of the chunk read ahead and the
// two buffers trade places, which spares moving the chunk. Callers keep
// little pending, two reads at most; more takes the slower way.
bool LineReader::fillAhead() {
    checkCtrlZ(end_); // nothing is taken past a Ctrl-Z
    const std::size_t tail = end_ - pos_;
    if (atEnd_ || leftSize_ != 0 || tail > aheadRoom_)
        return fillFromChunk();
    const ChunkFeed::Chunk chunk = feed_->wait();
    if (chunk.size == 0) {
        readError_ = chunk.error;
        atEnd_ = true;
        return false;
    }
    TextBuffer& other = feed_->buffer();
    std::memcpy(other.get() + aheadRoom_ - tail, buffer_.get() + pos_, tail);
    buffer_.swap(other);
    pos_ = aheadRoom_ - tail;
    end_ = aheadRoom_ + chunk.size;
    checked_ = aheadRoom_;
    feed_->next();
    return true;
}

// As the plain fill, with the bytes copied from the chunk read ahead.
bool LineReader::fillFromChunk() {
    moveToFront();
    if (atEnd_ || end_ == capacity_)
        return false;
    if (leftSize_ == 0) {
        const ChunkFeed::Chunk chunk = feed_->wait();
        if (chunk.size == 0) {
            readError_ = chunk.error;
            atEnd_ = true;
            return false;
        }
        leftAt_ = aheadRoom_;
        leftSize_ = chunk.size;
    }
    const std::size_t n = std::min(leftSize_, capacity_ - end_);
    std::memcpy(buffer_.get() + end_, feed_->buffer().get() + leftAt_, n);
    end_ += n;
    leftAt_ += n;
    leftSize_ -= n;
    if (leftSize_ == 0)
        feed_->next();
    return true;
}

} // namespace qv
