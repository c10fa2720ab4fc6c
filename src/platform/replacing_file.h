// A file that is written whole and then put in place of its target in one
// step, so that a reader (a browser, an exporter) never sees half of it.
#pragma once

#include "platform/text_writer.h"

#include <memory>
#include <string>

namespace qv {

class ReplacingFile {
  public:
    /// Creates and locks the temporary file beside `target` at once: a
    /// folder that cannot take the file, or another run writing it, is
    /// found out before the run starts rather than at its end.
    explicit ReplacingFile(std::string target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    /// The temporary file a target is written to before it is renamed; the
    /// target itself when that is a device or FIFO.
    static std::string temporaryPathFor(const std::string& target);

    bool isOpen() const { return temporary_ && temporary_->isOpen(); }
    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temporaryPath_; }
    const std::string& errorText() const { return error_; }

    /// Where the next version goes; empty each time after `commit`.
    TextFileWriter& writer() { return *temporary_; }

    /// Closes the temporary file and puts it in place of the target; with
    /// `again` a fresh temporary file takes its place for the next version.
    /// False (with `errorText`) when a write, the close or the move failed.
    bool commit(bool again);

    /// Removes the temporary file; the target stays as it was.
    void discard();

  private:
    // A device or FIFO target is written in place.
    bool direct() const { return temporaryPath_ == placed_; }
    bool fail(const std::string& why);

    std::string target_;
    std::string placed_; // the target, or where it leads when it is a link
    std::string temporaryPath_;
    std::unique_ptr<TextFileWriter> temporary_;
    std::string error_;
};

} // namespace qv
