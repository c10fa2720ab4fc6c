#include "sinks/transition_csv.h"

#include "sinks/numbers.h"

namespace qv {

namespace {

constexpr std::string_view kHeader = "file,group,kind,start_line,start_tc,xfer_line,rtr1_line,"
                                     "rev2router,rtrcmd2status,rtrcmd2mx,sniff\r\n";

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
    if (!field.empty() &&
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
    file_.writeRaw(kHeader);
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
    for (std::int64_t value : {record.xferLine, record.routerLine, record.delays[0],
                               record.delays[1], record.delays[2]}) {
        row += ',';
        appendNumber(row, value);
    }
    row += record.sniffSeen ? ",YES\r\n" : ",NO\r\n";
    file_.writeRaw(row);
}

} // namespace qv
