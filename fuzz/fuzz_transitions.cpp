// The transition scanner and the run summary over arbitrary bytes and
// settings, two files in a row (the group carries over): the counters must
// stay consistent with each other and with the number of reads.
#include "fuzz_util.h"
#include "transitions/transitions.h"

using namespace qv;
using namespace qv::fuzz;

namespace {

std::string outputPath;

void checkStat(const DeltaStat& stat, std::int64_t transitions) {
    if (transitions == 0) {
        FUZZ_CHECK(stat.min == 65535 && stat.max == 0 && stat.sum == 0);
        return;
    }
    FUZZ_CHECK(stat.min <= 65535 && stat.max >= 0);
}

void checkGroup(const TransitionGroup& group) {
    FUZZ_CHECK((group.lineMask & ~0x7Fu) == 0);
    for (const GroupSlot& slot : group.slots) {
        FUZZ_CHECK(slot.length <= kLogReadMax && slot.text[slot.length] == '\0');
        FUZZ_CHECK(slot.lineNumber >= 0);
    }
}

void checkFile(const TransitionAnalysis& analysis, std::string_view raw) {
    const FileStats& s = analysis.fileStats;
    const auto reads = cutReads(convertTextMode(raw), kLogReadMax);
    FUZZ_CHECK(s.lineCount == static_cast<std::int64_t>(reads.size()));
    FUZZ_CHECK(s.transitionCount >= 0 && s.transitionCount <= s.startlineCount);
    FUZZ_CHECK(s.startlineCount <= s.lineCount);
    FUZZ_CHECK(s.blockErrorCount >= 0 && s.blockErrorCount <= s.startlineCount);
    FUZZ_CHECK(s.blockErrorReported == 0 || (s.blockErrorReported == 1 && s.blockErrorCount > 0));
    for (const DeltaStat& stat : s.delays)
        checkStat(stat, s.transitionCount);
    checkGroup(analysis.transitionGroup);
}

void scanFile(TransitionAnalysis& analysis, std::string_view raw, std::size_t bufferSize) {
    resetFileStats(analysis);
    {
        MemorySource source(raw);
        LineReader reader(source, kLogReadMax, bufferSize);
        scanTransitions(reader, analysis);
    }
    checkFile(analysis, raw);
    printRunSummary(analysis);
}

// A text as a settings field holds it: up to a NUL, at most 51 bytes.
std::string_view fieldText(Cursor& in) {
    const std::string_view text = in.text(55);
    return text.substr(0, std::min(text.find('\0'), std::size_t{51}));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    outputPath = makeScratchDirectory() + "/out.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint8_t split = in.byte();
    const std::size_t bufferSize = 1 + in.byte() * 16u; // small buffers refill often
    TransitionOptions options;
    options.levelFilter = flags & 1;
    options.excelMode = (flags >> 1) & 1;
    options.summaryMode = (flags >> 2) & 1 ? flags >> 3 : 0;
    options.srchname = fieldText(in);
    options.outputtext = fieldText(in);
    options.levelText = fieldText(in);
    const bool toFile = (flags >> 7) & 1;
    const std::string_view raw = in.rest();
    const std::string_view first = raw.substr(0, raw.size() * split / 255);

    std::unique_ptr<TextFileWriter> out;
    if (toFile)
        out = std::make_unique<TextFileWriter>(outputPath.c_str());
    Report report(nullConsole(), out.get());
    TransitionAnalysis analysis(options, report);
    scanFile(analysis, first, bufferSize);
    scanFile(analysis, raw.substr(first.size()), bufferSize);
    if (out)
        FUZZ_CHECK(out->close());
    return 0;
}
