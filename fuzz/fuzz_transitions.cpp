// The transition scanner and the run summary over arbitrary bytes and
// settings, two files in a row (the group carries over): the counters must
// stay consistent with each other and with the number of reads.
#include "report/report.h"
#include "frontend/settings.h"
#include "fuzz_util.h"
#include "transitions/analysis_state.h"
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

void checkGroup() {
    FUZZ_CHECK((transitionGroup.lineMask & ~0x7Fu) == 0);
    for (const GroupSlot& slot : transitionGroup.slots) {
        FUZZ_CHECK(slot.length <= kLogReadMax && slot.text[slot.length] == '\0');
        FUZZ_CHECK(slot.lineNumber >= 0);
    }
}

void checkFile(std::string_view raw) {
    const FileStats& s = fileStats;
    const auto reads = referenceReads(convertTextMode(raw), kLogReadMax);
    FUZZ_CHECK(s.lineCount == static_cast<std::int64_t>(reads.size()));
    FUZZ_CHECK(s.transitionCount >= 0 && s.transitionCount <= s.startlineCount);
    FUZZ_CHECK(s.startlineCount <= s.lineCount);
    FUZZ_CHECK(s.blockErrorCount >= 0 && s.blockErrorCount <= s.startlineCount);
    FUZZ_CHECK(s.blockErrorReported == 0 || (s.blockErrorReported == 1 && s.blockErrorCount > 0));
    checkStat(s.Rev2Router, s.transitionCount);
    checkStat(s.RtrCmd2Status, s.transitionCount);
    checkStat(s.RtrCmd2MX, s.transitionCount);
    checkGroup();
}

void scanFile(std::string_view raw, int summaryMode, std::size_t bufferSize) {
    resetFileStats();
    {
        MemoryFile file(raw);
        LineReader reader(file.get(), kLogReadMax, bufferSize);
        scanTransitions(reader, outputFile, summaryMode);
    }
    checkFile(raw);
    printRunSummary();
}

void applySettings(Cursor& in, std::uint8_t flags) {
    resetRunSettings();
    settings.levelFilter = flags & 1;
    settings.excelMode = (flags >> 1) & 1;
    copyField(settings.srchname, in.text(sizeof settings.srchname + 4));
    copyField(settings.outputtext, in.text(sizeof settings.outputtext + 4));
    copyField(settings.levelText, in.text(sizeof settings.levelText + 4));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceConsole();
    outputPath = makeScratchDirectory() + "/out.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint8_t split = in.byte();
    const std::size_t bufferSize = 1 + in.byte() * 16u; // small buffers refill often
    applySettings(in, flags);
    const int summaryMode = (flags >> 2) & 1 ? flags >> 3 : 0;
    const bool toFile = (flags >> 7) & 1;
    const std::string_view raw = in.rest();
    const std::string_view first = raw.substr(0, raw.size() * split / 255);

    transitionGroup = TransitionGroup{};
    outputFile = toFile ? new TextFileWriter(outputPath.c_str()) : nullptr;
    scanFile(first, summaryMode, bufferSize);
    scanFile(raw.substr(first.size()), summaryMode, bufferSize);
    if (outputFile) {
        FUZZ_CHECK(outputFile->close());
        delete outputFile;
        outputFile = nullptr;
    }
    return 0;
}
