// A log read while it is written: at its end the source waits for more
// instead of ending, so that every scan reads a growing file unchanged.
#pragma once

#include "platform/platform.h"
#include "sources/byte_source.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace qv {

/// How the following of one file ended.
enum class FollowEnd {
    Following,  // not ended (reading stopped on its own: a Ctrl-Z, a read error)
    EndOfFile,  // not followed at all: read to its end as without /follow
    Stopped,    // a stop key: read as far as the file was at that moment
    Truncated,  // smaller than what was read: it ends where it was read
    Replaced,   // another file at its path: read as far as it was then
    Superseded, // a newer match of the run's pattern: read as far as it was then
};

/// What a followed source asks of the run around it.
class FollowHooks {
  public:
    virtual ~FollowHooks() = default;
    /// Before each wait: everything reported so far must reach its files now.
    virtual void beforeWait() = 0;
    virtual bool stopRequested() = 0;
    /// True when a newer file has taken this one's place.
    virtual bool superseded() = 0;
};

class FollowSource final : public ByteSource {
  public:
    /// Follows the open regular `file` (not owned), opened from `path`;
    /// looks at it at least every `pollMilliseconds`.
    FollowSource(std::FILE* file, std::string path, FollowHooks& hooks, int pollMilliseconds = 250);

    /// Blocks until there are bytes or the follow has ended (then 0).
    std::size_t read(char* buffer, std::size_t size) override;
    bool failed() const override { return file_.failed(); }
    std::string errorText() const override { return file_.errorText(); }
    /// The file's first bytes, given back: no wait for a third byte of a log
    /// that holds only a short first line; but while the file holds nothing
    /// or only the start of a compressed log's head, it waits for the rest
    /// (or the follow's end), so that a compressed log that has only begun
    /// to be written is not taken for text.
    bool peek(char* buffer, std::size_t size, std::size_t& got) override;

    /// For a scan that ended before the source did (at a Ctrl-Z): waits,
    /// reading nothing, until the follow ends.
    void waitForEnd();
    FollowEnd end() const { return end_; }

  private:
    bool ended();
    void finish(FollowEnd how);

    FileSource file_;
    std::FILE* stream_;
    std::string path_;
    FileId id_;
    FollowHooks& hooks_;
    std::unique_ptr<FileWatch> watch_;
    int pollMilliseconds_;
    std::int64_t offset_ = 0;  // bytes read so far
    std::int64_t limit_ = -1;  // once ended: read no further than this
    bool sizeCovered_ = false; // the size was once at least what was read
    FollowEnd end_ = FollowEnd::Following;
};

} // namespace qv
