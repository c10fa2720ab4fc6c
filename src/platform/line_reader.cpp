#include "platform/line_reader.h"

#include <algorithm>
#include <cstring>

namespace qv {

// Room for the longest pending tail the block search leaves behind.
LineReader::LineReader(std::FILE* file, std::size_t maxRead, std::size_t bufferSize)
    : file_(file), maxRead_(maxRead), capacity_(std::max(bufferSize, 4 * (maxRead + 1))),
      buffer_(new char[capacity_]) {}

bool LineReader::next(std::string_view& line) {
    // The byte after a full read tells whether a "\r\n" ends it.
    while (end_ - pos_ <= maxRead_ && fill()) {
    }
    checkCtrlZ(std::min(end_, pos_ + maxRead_ + 1));
    const std::size_t avail = end_ - pos_;
    if (avail == 0)
        return false;
    char* start = buffer_.get() + pos_;
    if (void* found = std::memchr(start, '\n', std::min(avail, maxRead_ + 1))) {
        char* newline = static_cast<char*>(found);
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
    end_ = static_cast<std::size_t>(at - buffer_.get());
    checked_ = end_;
    atEnd_ = true; // Ctrl-Z ends the file
}

bool LineReader::fill() {
    char* base = buffer_.get();
    std::memmove(base, base + pos_, end_ - pos_);
    end_ -= pos_;
    checked_ = checked_ > pos_ ? checked_ - pos_ : 0;
    pos_ = 0;
    // Nothing is read past a Ctrl-Z, not even to meet a read error there.
    checkCtrlZ(end_);
    if (atEnd_ || end_ == capacity_)
        return false;
    char* chunk = base + end_;
    std::size_t n = std::fread(chunk, 1, capacity_ - end_, file_);
    if (n == 0) {
        readError_ = std::ferror(file_) != 0;
        atEnd_ = true;
        return false;
    }
    end_ += n;
    return true;
}

} // namespace qv
