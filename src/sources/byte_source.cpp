#include "sources/byte_source.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstring>

namespace qv {

std::size_t FileSource::read(char* buffer, std::size_t size) {
    const std::size_t n = std::fread(buffer, 1, size, file_);
    if (n < size && std::ferror(file_) && error_.empty())
        error_ = lastErrorText();
    return n;
}

bool FileSource::peek(char* buffer, std::size_t size, std::size_t& got) {
    // Only a regular file can give bytes back: on Windows a seek on a pipe or
    // console may report success after the bytes are gone.
    if (regularFileSize(file_) < 0)
        return false;
    const long at = std::ftell(file_);
    if (at < 0 || std::fseek(file_, at, SEEK_SET) != 0)
        return false; // not seekable: the bytes could not be given back
    got = std::fread(buffer, 1, size, file_);
    const bool back = std::fseek(file_, at, SEEK_SET) == 0;
    std::clearerr(file_); // a read error shows again when the bytes are read
    return back;
}

bool MemorySource::peek(char* buffer, std::size_t size, std::size_t& got) {
    got = std::min(size, bytes_.size() - std::min(pos_, bytes_.size()));
    if (got > 0) // an empty view may hold no pointer at all
        std::memcpy(buffer, bytes_.data() + pos_, got);
    return true;
}

std::size_t MemorySource::read(char* buffer, std::size_t size) {
    const std::size_t limit = std::min(failAt_, bytes_.size());
    if (pos_ >= limit) {
        failed_ = failAt_ <= bytes_.size();
        return 0;
    }
    const std::size_t take = std::min({size, limit - pos_, chunk_});
    std::memcpy(buffer, bytes_.data() + pos_, take);
    pos_ += take;
    return take;
}

} // namespace qv
