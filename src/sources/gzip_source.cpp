#include "sources/gzip_source.h"

#include "sources/inflater.h"

#include <algorithm>
#include <cstring>

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

GzipSource::GzipSource(ByteSource& compressed, std::string_view head)
    : compressed_(compressed), inflater_(std::make_unique<Inflater>()),
      input_(new char[kInputSize]) {
    if (!inflater_->started()) {
        fail(inflater_->damage());
        return;
    }
    if (!head.empty()) // a view of nothing may hold no pointer at all
        std::memcpy(input_.get(), head.data(), head.size());
    inflater_->setInput(input_.get(), head.size());
}

GzipSource::~GzipSource() = default;

void GzipSource::fail(const char* why) {
    error_ = why;
    ended_ = true;
}

// More compressed bytes behind what is left; false at their end or on an error.
bool GzipSource::refill() {
    if (inputEnded_)
        return false;
    const std::size_t left = inflater_->availIn();
    std::memmove(input_.get(), inflater_->nextIn(), left);
    const std::size_t n = compressed_.read(input_.get() + left, kInputSize - left);
    if (n == 0) {
        inputEnded_ = true;
        if (compressed_.failed())
            fail(compressed_.errorText().c_str());
        return false;
    }
    inflater_->setInput(input_.get(), left + n);
    return true;
}

// Zero bytes after a member are padding (tape blocks, some archivers), not
// another member: a member starts with 1f 8b.
bool GzipSource::startNextMember() {
    const char* in = inflater_->nextIn();
    std::size_t left = inflater_->availIn();
    while (left > 0 && *in == 0) {
        ++in;
        --left;
    }
    inflater_->setInput(in, left);
    if (left == 0)
        return false;
    inflater_->nextMember();
    betweenMembers_ = false;
    return true;
}

std::size_t GzipSource::read(char* buffer, std::size_t size) {
    std::size_t given = 0;
    while (!ended_ && given < size) {
        if (betweenMembers_ && !startNextMember()) {
            // Text already inflated goes out before a wait for more input
            // (a followed log may not grow for hours).
            if (given > 0)
                break;
            if (!refill())
                ended_ = true; // the end of the last member is the end of the text
            continue;
        }
        const std::size_t before = inflater_->availIn();
        std::size_t wrote = 0;
        const Inflater::Step step = inflater_->inflate(buffer + given, size - given, wrote);
        given += wrote;
        if (step == Inflater::Step::MemberEnd) {
            betweenMembers_ = true; // concatenated archives are one text
        } else if (step == Inflater::Step::Damaged) {
            fail(inflater_->damage());
        } else if (wrote == 0 && (inflater_->availIn() == 0 || inflater_->availIn() == before)) {
            // The inflater wants more input.
            if (given > 0)
                break;
            if (!refill()) {
                if (!ended_)
                    fail("unexpected end of compressed data");
                break;
            }
        }
    }
    return given;
}

} // namespace qv
