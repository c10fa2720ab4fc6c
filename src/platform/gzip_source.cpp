#include "platform/gzip_source.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <zlib.h>

namespace qv {

namespace {

constexpr std::size_t kInputSize = std::size_t{1} << 18;

bool isGzip(std::string_view head) {
    return head.size() >= 3 && head[0] == '\x1f' && head[1] == '\x8b' && head[2] == '\x08';
}

/// Hands out `head` first, then the rest of `source`.
class PrefixedSource final : public ByteSource {
  public:
    PrefixedSource(ByteSource& source, std::string_view head) : source_(source), head_(head) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (head_.empty())
            return source_.read(buffer, size);
        const std::size_t n = std::min(size, head_.size());
        std::memcpy(buffer, head_.data(), n);
        head_.erase(0, n);
        return n;
    }
    bool failed() const override { return source_.failed(); }
    std::string errorText() const override { return source_.errorText(); }

  private:
    ByteSource& source_;
    std::string head_;
};

} // namespace

bool mayBecomeGzipHead(std::string_view head) {
    constexpr std::string_view kMagic("\x1f\x8b\x08", 3);
    return head.size() < kMagic.size() && kMagic.starts_with(head);
}

std::unique_ptr<ByteSource> openLogSource(ByteSource& file) {
    char head[3];
    std::size_t have = 0;
    // Looked at in place where the source can go back, so that the reads
    // that follow start where the file does (a read at an odd offset makes
    // every later copy out of the page cache a slower, misaligned one).
    if (file.peek(head, sizeof head, have)) {
        if (isGzip({head, have}))
            return std::make_unique<GzipSource>(file, std::string_view());
        return std::make_unique<PrefixedSource>(file, std::string_view());
    }
    while (have < sizeof head) {
        const std::size_t n = file.read(head + have, sizeof head - have);
        if (n == 0)
            break;
        have += n;
    }
    const std::string_view taken(head, have);
    if (isGzip(taken))
        return std::make_unique<GzipSource>(file, taken);
    return std::make_unique<PrefixedSource>(file, taken);
}

struct GzipSource::Inflater {
    z_stream stream{};
};

GzipSource::GzipSource(ByteSource& compressed, std::string_view head)
    : compressed_(compressed), inflater_(std::make_unique<Inflater>()),
      input_(new char[kInputSize]) {
    z_stream& z = inflater_->stream;
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) { // 16: a gzip wrapper, not zlib's
        fail("cannot start inflating");
        return;
    }
    if (!head.empty()) // a view of nothing may hold no pointer at all
        std::memcpy(input_.get(), head.data(), head.size());
    z.next_in = reinterpret_cast<Bytef*>(input_.get());
    z.avail_in = static_cast<uInt>(head.size());
}

GzipSource::~GzipSource() {
    inflateEnd(&inflater_->stream);
}

void GzipSource::fail(const char* why) {
    error_ = why;
    ended_ = true;
}

// More compressed bytes behind what is left; false at their end or on an error.
bool GzipSource::refill() {
    z_stream& z = inflater_->stream;
    if (inputEnded_)
        return false;
    std::memmove(input_.get(), z.next_in, z.avail_in);
    const std::size_t n = compressed_.read(input_.get() + z.avail_in, kInputSize - z.avail_in);
    if (n == 0) {
        inputEnded_ = true;
        if (compressed_.failed())
            fail(compressed_.errorText().c_str());
        return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(input_.get());
    z.avail_in += static_cast<uInt>(n);
    return true;
}

// Zero bytes after a member are padding (tape blocks, some archivers), not
// another member: a member starts with 1f 8b.
bool GzipSource::startNextMember() {
    z_stream& z = inflater_->stream;
    while (z.avail_in > 0 && *z.next_in == 0) {
        ++z.next_in;
        --z.avail_in;
    }
    if (z.avail_in == 0)
        return false;
    inflateReset(&z);
    betweenMembers_ = false;
    return true;
}

std::size_t GzipSource::read(char* buffer, std::size_t size) {
    z_stream& z = inflater_->stream;
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
    const uInt wanted = z.avail_out;
    while (!ended_ && z.avail_out > 0) {
        if (z.avail_in == 0) {
            // Text already inflated goes out before a wait for more input
            // (a followed log may not grow for hours).
            if (z.avail_out < wanted)
                break;
            if (!refill()) {
                if (!ended_ && !betweenMembers_)
                    fail("unexpected end of compressed data");
                ended_ = true;
                break;
            }
        }
        if (betweenMembers_ && !startNextMember())
            continue;
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END)
            betweenMembers_ = true; // concatenated archives are one text
        else if (status != Z_OK && (status != Z_BUF_ERROR || z.avail_in > 0))
            fail(z.msg ? z.msg : "corrupt compressed data");
    }
    return wanted - z.avail_out;
}

} // namespace qv
