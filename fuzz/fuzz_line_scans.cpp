// The three line scans over arbitrary bytes and settings: the line count must
// be the number of reads, and what reaches the output file must agree with an
// independent count of the matching reads.
#include "fuzz_util.h"
#include "report/report.h"
#include "scans/line_scans.h"

using namespace qv;
using namespace qv::fuzz;

namespace {

std::string outputPath;

std::size_t countMatching(const std::vector<std::string_view>& reads, std::string_view needle) {
    return static_cast<std::size_t>(std::count_if(reads.begin(), reads.end(), [&](auto read) {
        return read.find(needle) != std::string_view::npos;
    }));
}

std::vector<std::string_view> splitRows(std::string_view text) {
    std::vector<std::string_view> rows;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find("\r\n"), text.size());
        rows.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 2, text.size()));
    }
    return rows;
}

std::string expectedGrep(const std::vector<std::string_view>& reads, std::string_view needle,
                         bool summary) {
    char number[32];
    if (summary) {
        std::snprintf(number, sizeof number, "total lines was %8zu\n",
                      countMatching(reads, needle));
        return crlf(number);
    }
    std::string text;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        if (reads[i].find(needle) == std::string_view::npos)
            continue;
        std::snprintf(number, sizeof number, "%7zu ", i + 1);
        text += number;
        text += reads[i];
    }
    return crlf(text);
}

std::string expectedTakes(const std::vector<std::string_view>& reads) {
    const std::size_t takes = countMatching(reads, " src ");
    char text[160];
    std::snprintf(
        text, sizeof text,
        "total takes was %8zu\nAverage takes/min was %4zu \nAverage takes/sec was %4zu \n", takes,
        takes / 60, takes / 3600);
    return crlf(text);
}

void checkCommandErrors(const std::vector<std::string_view>& reads, std::string_view written,
                        bool summary) {
    const std::size_t errors = countMatching(reads, "CMD-ERROR on TC");
    const std::vector<std::string_view> rows = splitRows(written);
    const std::size_t perLine = summary ? 0 : errors;
    FUZZ_CHECK(rows.size() == perLine + 1 + (errors > 0 ? 2 : 0));
    for (std::size_t i = 0; i < perLine; ++i)
        FUZZ_CHECK(rows[i].starts_with("Delta was ") && rows[i].ends_with(" frames"));
    char total[64];
    std::snprintf(total, sizeof total, "total command errors is %8zu", errors);
    FUZZ_CHECK(rows[perLine] == total);
    for (std::size_t i = perLine + 1; i < rows.size(); ++i)
        FUZZ_CHECK(rows[i].starts_with("Average Delta was ") && rows[i].ends_with(" frames"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    outputPath = makeScratchDirectory() + "/out.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor in(data, size);
    const std::uint8_t flags = in.byte();
    const std::size_t bufferSize = 1 + in.byte() * 16u; // small buffers refill often
    const int mode = flags % 3;
    const int summaryMode = (flags >> 2) & 1 ? flags >> 3 : 0; // any non-zero value is summary
    // Cut to the grep text's field, as the settings would hold it.
    const std::string_view grepText = in.text(107);
    const std::string grep(grepText.substr(0, std::min(grepText.find('\0'), std::size_t{99})));
    const LineScanOptions options{summaryMode, grep, ((flags >> 7) & 1) != 0};
    const std::string_view raw = in.rest();

    std::int64_t lineCount = 0;
    {
        TextFileWriter out(outputPath.c_str());
        FUZZ_CHECK(out.isOpen());
        Report report(nullConsole(), &out);
        MemorySource source(raw);
        LineReader reader(source, kLogReadMax, bufferSize);
        if (mode == 0)
            scanCommandErrors(reader, report, options, lineCount);
        else if (mode == 1)
            countTakes(reader, report, options, lineCount);
        else
            grepLines(reader, report, options, lineCount);
        FUZZ_CHECK(out.close());
    }

    const std::string text = convertTextMode(raw);
    const auto reads = cutReads(text, kLogReadMax);
    FUZZ_CHECK(lineCount == static_cast<std::int64_t>(reads.size()));
    const std::string written = readWholeFile(outputPath.c_str());
    if (mode == 0)
        checkCommandErrors(reads, written, summaryMode != 0);
    else if (mode == 1)
        FUZZ_CHECK(written == expectedTakes(reads));
    else
        FUZZ_CHECK(written == expectedGrep(reads, grep.c_str(), summaryMode != 0));
    return 0;
}
