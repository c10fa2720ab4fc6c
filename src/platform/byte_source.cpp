#include "platform/byte_source.h"

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
