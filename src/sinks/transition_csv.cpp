#include "sinks/transition_csv.h"

#include "sinks/numbers.h"

namespace qv {

namespace {

// The delay columns, then sniff, then whether each delay is sound: the
// soundness columns came last so that the columns before keep their places.
std::string headerRow() {
    std::string header = "file,group,kind,start_line,start_tc,xfer_line,rtr1_line";
    for (int d = 0; d < kDelayCount; ++d)
        (header += ',') += delayKey(d);
    header += ",sniff";
    for (int d = 0; d < kDelayCount; ++d)
        (header += ',').append(delayKey(d)) += "_sound";
    return header + "\r\n";
}

} // namespace

void appendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendCsvTextField(std::string& out, std::string_view field) {
    // A lone "-" (standard input's name) is no formula in any spreadsheet.
    if (!field.empty() && field != "-" &&
        std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos) {
        std::string guarded = "'";
        guarded += field;
        appendCsvField(out, guarded);
        return;
    }
    appendCsvField(out, field);
}

void appendTimecodeText(std::string& out, std::uint32_t raw) {
    for (int pair = 3; pair >= 0; --pair) {
        const unsigned byte = (raw >> (pair * 8)) & 0xFFu;
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0x0Fu];
        if (pair > 0)
            out += ':';
    }
}

TransitionCsv::TransitionCsv(const std::string& path) : file_(path.c_str()) {
    file_.writeRaw(headerRow());
}

void TransitionCsv::beginFile(std::string_view name) {
    fileField_.clear();
    appendCsvTextField(fileField_, name);
}

void TransitionCsv::group(const TransitionRecord& record) {
    std::string& row = row_;
    row.clear();
    row += fileField_;
    row += ',';
    appendNumber(row, record.groupNumber);
    row += record.fade ? ",FADE," : ",MIX,";
    appendNumber(row, record.startLine);
    row += ',';
    appendTimecodeText(row, record.startTimecode);
    for (std::int64_t value : {record.xferLine, record.routerLine}) {
        row += ',';
        appendNumber(row, value);
    }
    for (std::int64_t value : record.delays) {
        row += ',';
        appendNumber(row, value);
    }
    row += record.sniffSeen ? ",YES" : ",NO";
    for (bool sound : record.delaySound)
        row += sound ? ",YES" : ",NO";
    row += "\r\n";
    file_.writeRaw(row);
}

} // namespace qv
