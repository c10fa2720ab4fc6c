// The hourly statistics (/hours): per log file and hour of the day, how many
// groups completed and broke off, and the spread of each delay. Rows of a
// file are written when it ends; until then it keeps the three delays of each
// of its groups (12 bytes a group), never anything per line.
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
    /// One hour value: the first byte of the raw timecode, "00" to "ff".
    struct Hour {
        std::int64_t brokenGroups = 0;
        std::vector<std::int32_t> delays[kDelayCount];

        bool empty() const { return brokenGroups == 0 && delays[0].empty(); }
    };

    Hour& hourOf(std::uint32_t rawTimecode);
    void appendRow(int hour);

    TextFileWriter file_; // written raw: the rows carry their own CRLF
    std::string fileField_;
    std::array<Hour, 256> hours_;
    int firstHour_ = -1; // of the file's first group or block error in 00-23
    std::string row_;
};

} // namespace qv
