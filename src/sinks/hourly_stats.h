// The hourly statistics (/hours): per log file and hour of the day, how many
// groups completed and broke off, and the spread of each sound delay with a
// count of the unsound ones. Groups whose opening timecode is misread have
// no hour: they share one row after the file's hours. Rows of a file are
// written when it ends; until then it keeps the sound delays of each of its
// groups (at most 12 bytes a group), never anything per line.
#pragma once

#include "platform/text_writer.h"
#include "transitions/group_log.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class HourlyStats final : public TransitionObserver {
  public:
    /// Creates or truncates `path` and writes the header row.
    explicit HourlyStats(const std::string& path);

    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return file_.path(); }
    /// Puts the rows so far on disk (a followed run waits long between files).
    void flush() { file_.flush(); }
    bool failed() const { return file_.failed(); }
    /// False when any write, the flush or the close failed.
    bool close() { return file_.close(); }
    const std::string& errorText() const { return file_.errorText(); }

    void beginFile(std::string_view name) override;
    void group(const TransitionRecord& record) override;
    void brokenGroup(const BrokenGroup& broken) override;
    /// Writes the file's rows and lets go of its groups.
    void endFile(const FileSummaryFigures& summary) override;

  private:
    /// The groups of one hour of the day, or of the misread row.
    struct Hour {
        std::int64_t groups = 0;
        std::int64_t brokenGroups = 0;
        std::vector<std::int32_t> delays[kDelayCount]; // the sound ones
        std::int64_t unsound[kDelayCount] = {};

        bool empty() const { return brokenGroups == 0 && groups == 0; }
    };

    Hour& hourOf(std::uint32_t rawTimecode, bool startSound);
    void appendRow(Hour& counts, std::string_view hourText);

    TextFileWriter file_; // written raw: the rows carry their own CRLF
    std::string fileField_;
    std::array<Hour, 24> hours_;
    Hour misread_;       // groups whose opening timecode is no time of day
    int firstHour_ = -1; // of the file's first group or block error with a sound opening
    std::string row_;
};

} // namespace qv
