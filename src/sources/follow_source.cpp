#include "sources/follow_source.h"

#include "sources/gzip_source.h"

#include <algorithm>

namespace qv {

FollowSource::FollowSource(std::FILE* file, std::string path, FollowHooks& hooks,
                           int pollMilliseconds)
    : file_(file), stream_(file), path_(std::move(path)), id_(regularFileIdOf(file)), hooks_(hooks),
      watch_(watchFolderOf(path_.c_str())), pollMilliseconds_(pollMilliseconds) {}

std::size_t FollowSource::read(char* buffer, std::size_t size) {
    for (;;) {
        if (end_ == FollowEnd::Following && hooks_.stopRequested())
            finish(FollowEnd::Stopped);
        if (limit_ >= 0)
            size = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(size), limit_ - offset_));
        if (size == 0)
            return 0;
        const std::size_t n = file_.read(buffer, size);
        if (n > 0) {
            offset_ += static_cast<std::int64_t>(n);
            return n;
        }
        if (file_.failed() || end_ != FollowEnd::Following)
            return 0;
        // The end-of-file marks would stop every later read: stdio's, and on
        // Windows the C runtime's own below it. A seek clears both.
        std::fseek(stream_, 0, SEEK_CUR);
        if (ended())
            continue;
        hooks_.beforeWait();
        watch_->wait(pollMilliseconds_);
    }
}

bool FollowSource::peek(char* buffer, std::size_t size, std::size_t& got) {
    for (;;) {
        if (!file_.peek(buffer, size, got))
            return false;
        if (got >= size || !mayBecomeGzipHead({buffer, got}) || hooks_.stopRequested() || ended())
            return true;
        hooks_.beforeWait();
        watch_->wait(pollMilliseconds_);
    }
}

void FollowSource::waitForEnd() {
    while (end_ == FollowEnd::Following) {
        if (hooks_.stopRequested()) {
            end_ = FollowEnd::Stopped;
            return;
        }
        if (ended())
            return;
        hooks_.beforeWait();
        watch_->wait(pollMilliseconds_);
    }
}

// Looks at the file and its path; true (with `end_` set) when the follow of
// this file has ended. A path that names nothing is not an end: the file
// may be in the middle of being replaced, and the open one is still there.
bool FollowSource::ended() {
    // A size that cannot be had now (a network drive away for a moment) is
    // no truncation: the next look may see it again.
    const std::int64_t size = regularFileSize(stream_);
    // A file whose size says nothing of what it holds (/proc: always 0) never
    // shrinks: only a size that once covered what was read can.
    if (size >= offset_)
        sizeCovered_ = true;
    if (sizeCovered_ && size >= 0 && size < offset_) {
        end_ = FollowEnd::Truncated;
        limit_ = offset_;
        return true;
    }
    const FileId atPath = fileIdOf(path_.c_str());
    if (atPath.known && id_.known && !(atPath == id_)) {
        finish(FollowEnd::Replaced);
        return true;
    }
    if (hooks_.superseded()) {
        finish(FollowEnd::Superseded);
        return true;
    }
    return false;
}

// The file is read on to the size it has now, no further.
void FollowSource::finish(FollowEnd how) {
    end_ = how;
    limit_ = std::max(offset_, regularFileSize(stream_));
}

} // namespace qv
