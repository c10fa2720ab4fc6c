#include "platform/line_reader.h"

#include <algorithm>
#include <cstring>

namespace qv {

LineReader::LineReader(std::FILE* file, std::size_t maxRead, std::size_t bufferSize)
    : file_(file), maxRead_(maxRead), capacity_(std::max(bufferSize, maxRead + 2)),
      buffer_(new char[capacity_]) {}

bool LineReader::next(std::string_view& line) {
    for (;;) {
        const std::size_t avail = end_ - pos_;
        const char* start = buffer_.get() + pos_;
        std::size_t length = 0;
        if (const void* nl = std::memchr(start, '\n', std::min(avail, maxRead_))) {
            length = static_cast<std::size_t>(static_cast<const char*>(nl) - start) + 1;
        } else if (avail >= maxRead_) {
            length = maxRead_;
        } else if (atEnd_) {
            if (avail == 0)
                return false;
            length = avail;
        } else {
            refill();
            continue;
        }
        line = std::string_view(start, length);
        pos_ += length;
        return true;
    }
}

// Moves the unread tail to the front and appends the next converted chunk.
bool LineReader::refill() {
    char* base = buffer_.get();
    std::memmove(base, base + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    // One byte is kept free in front of the raw chunk for a held "\r".
    char* raw = base + end_ + 1;
    const std::size_t n = std::fread(raw, 1, capacity_ - end_ - 1, file_);
    if (n == 0) {
        readError_ = std::ferror(file_) != 0;
        atEnd_ = true;
        if (heldCR_) {
            base[end_++] = '\r';
            heldCR_ = false;
        }
        return false;
    }
    if (heldCR_) {
        raw[-1] = '\r';
        heldCR_ = false;
        end_ += convert(raw - 1, n + 1);
    } else {
        // Converting in place with the output one byte behind the input.
        std::memmove(raw - 1, raw, n);
        end_ += convert(raw - 1, n);
    }
    return true;
}

// Text-mode conversion in place; returns the converted length.
std::size_t LineReader::convert(char* data, std::size_t size) {
    if (const void* eof = std::memchr(data, 0x1A, size)) {
        size = static_cast<std::size_t>(static_cast<const char*>(eof) - data);
        atEnd_ = true;
    }
    char* out = data;
    const char* in = data;
    const char* const stop = data + size;
    while (in < stop) {
        const char* cr = static_cast<const char*>(std::memchr(in, '\r', stop - in));
        const char* segmentEnd = cr ? cr : stop;
        const std::size_t segment = static_cast<std::size_t>(segmentEnd - in);
        if (out != in)
            std::memmove(out, in, segment);
        out += segment;
        in = segmentEnd;
        if (!cr)
            break;
        ++in;
        if (in == stop && !atEnd_) {
            heldCR_ = true; // decided by the first byte of the next chunk
        } else if (in == stop || *in != '\n') {
            *out++ = '\r';
        }
    }
    return static_cast<std::size_t>(out - data);
}

} // namespace qv
