// The transitions CSV: one row per timed group of every file of the run,
// RFC 4180 (CRLF row ends, quoted fields where needed).
#pragma once

#include "platform/text_writer.h"
#include "transitions/group_log.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// Appends `field`, in double quotes with inner quotes doubled when it holds
/// a comma, a quote, a CR or an LF.
void appendCsvField(std::string& out, std::string_view field);

/// Appends a text field that a spreadsheet must not take for a formula: one
/// that begins with "=", "+", "-", "@", a tab or a CR gets a "'" in front
/// (a lone "-" does not).
void appendCsvTextField(std::string& out, std::string_view field);

/// Appends "hh:mm:ss:ff" made of the eight hex digits of a raw timecode, so
/// a BCD digit above 9 shows as its (lower-case) letter.
void appendTimecodeText(std::string& out, std::uint32_t raw);

class TransitionCsv final : public TransitionObserver {
  public:
    /// Creates or truncates `path` and writes the header row.
    explicit TransitionCsv(const std::string& path);

    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return file_.path(); }
    /// Writes the rows so far out to the file.
    void flush() { file_.flush(); }
    bool failed() const { return file_.failed(); }
    /// False when any write, the flush or the close failed.
    bool close() { return file_.close(); }
    const std::string& errorText() const { return file_.errorText(); }

    void beginFile(std::string_view name) override;
    void group(const TransitionRecord& record) override;
    void endFile(const FileSummaryFigures&) override {}

  private:
    TextFileWriter file_; // written raw: the rows carry their own CRLF
    std::string fileField_;
    std::string row_;
};

} // namespace qv
