#include "platform/replacing_file.h"

#include "platform/platform.h"

#include <cstdio>
#include <filesystem>

namespace qv {

namespace {

// Only a regular file (or none yet) is replaced: a device or a FIFO named as
// the target is written into, never renamed over.
bool replaceable(const std::string& target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    return !fs::exists(status) || fs::is_regular_file(status);
}

// A link named as the target stays a link: what it leads to is replaced.
std::string placeOf(const std::string& target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(target, ec)))
        return target;
    const fs::path real = fs::weakly_canonical(target, ec);
    return ec ? target : real.string();
}

} // namespace

// In the target's own folder: a rename across file systems is a copy.
std::string ReplacingFile::temporaryPathFor(const std::string& target) {
    const std::string placed = placeOf(target);
    return replaceable(placed) ? placed + ".quorvex-new" : placed;
}

ReplacingFile::ReplacingFile(std::string target)
    : target_(std::move(target)), placed_(placeOf(target_)),
      temporaryPath_(temporaryPathFor(target_)) {
    temporary_ = std::make_unique<TextFileWriter>(temporaryPath_.c_str());
    if (!temporary_->isOpen()) {
        error_ = temporary_->errorText();
        temporary_.reset(); // another run's file, or none: not ours to remove
    }
}

ReplacingFile::~ReplacingFile() {
    discard();
}

bool ReplacingFile::fail(const std::string& why) {
    error_ = why;
    temporary_.reset();
    if (!direct())
        std::remove(temporaryPath_.c_str());
    return false;
}

bool ReplacingFile::commit(bool again) {
    if (!temporary_)
        return fail(error_.empty() ? "not open" : error_);
    const bool written = temporary_->close();
    const std::string why = temporary_->errorText();
    temporary_.reset();
    if (!written)
        return fail(why);
    std::string moveError;
    if (!direct() && !replaceFile(temporaryPath_.c_str(), placed_.c_str(), &moveError))
        return fail(moveError);
    if (again) {
        temporary_ = std::make_unique<TextFileWriter>(temporaryPath_.c_str());
        if (!temporary_->isOpen()) {
            error_ = temporary_->errorText();
            temporary_.reset();
            return false;
        }
    }
    return true;
}

void ReplacingFile::discard() {
    if (!temporary_)
        return;
    temporary_.reset();
    if (!direct())
        std::remove(temporaryPath_.c_str());
}

} // namespace qv
