// Logs kept gzip-compressed are read as the text they hold: a log whose
// first bytes are the gzip magic (1f 8b 08) is inflated as it is read, on
// the read-ahead thread when there is one. Anything else passes unchanged.
#pragma once

#include "sources/byte_source.h"

#include "sources/inflater.h"

#include <memory>
#include <string>
#include <string_view>

namespace qv {

/// The bytes of `file` as a log is to be read: inflated when they are a gzip
/// archive (several members read as one text), else as they are. Reads the
/// first bytes of `file` at once; `file` must outlive the result.
std::unique_ptr<ByteSource> openLogSource(ByteSource& file);

/// True when `head`, shorter than the gzip magic, is empty or its start: the
/// bytes still to come decide whether the log is compressed.
bool mayBecomeGzipHead(std::string_view head);

/// The text inside a gzip archive whose first bytes, already taken from
/// `compressed`, are `head`. A corrupt or truncated archive ends the text
/// with a read error; zero bytes after the last member are padding.
class GzipSource final : public ByteSource {
  public:
    GzipSource(ByteSource& compressed, std::string_view head);
    ~GzipSource() override;
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    std::size_t read(char* buffer, std::size_t size) override;
    bool failed() const override { return !error_.empty(); }
    std::string errorText() const override { return error_; }

  private:
    bool refill();
    bool startNextMember();
    void fail(const char* why);

    ByteSource& compressed_;
    std::unique_ptr<Inflater> inflater_;
    std::unique_ptr<char[]> input_;
    bool inputEnded_ = false;
    bool ended_ = false;
    bool betweenMembers_ = false;
    std::string error_;
};

} // namespace qv
