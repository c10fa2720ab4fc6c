// The log reader over arbitrary bytes, read limits and buffer sizes, with an
// optional read error: the reads must be exactly the fgets-style cut of the
// text-mode stream, and an error must be reported as one.
#include "fuzz_util.h"
#include "search/line_reader.h"

#include <unistd.h>

using namespace qv;
using namespace qv::fuzz;

namespace {

std::size_t pickMaxRead(std::uint8_t b) {
    switch (b % 4) {
    case 0:
        return kLogReadMax;
    case 1:
        return kConfigReadMax;
    default:
        return 1 + b % 17; // tiny limits put every rule at a boundary
    }
}

void checkReads(const std::vector<std::string>& reads, std::string_view expected,
                std::size_t maxRead) {
    std::string joined;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const std::string& read = reads[i];
        FUZZ_CHECK(!read.empty() && read.size() <= maxRead);
        const std::size_t nl = read.find('\n');
        FUZZ_CHECK(nl == std::string::npos || nl + 1 == read.size()); // stops after a newline
        const bool last = i + 1 == reads.size();
        FUZZ_CHECK(last || read.back() == '\n' || read.size() == maxRead);
        joined += read;
    }
    FUZZ_CHECK(joined == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor in(data, size);
    const std::size_t maxRead = pickMaxRead(in.byte());
    const std::uint8_t bufferPick = in.byte();
    // Tiny buffers put every rule across a refill; now and then the real size.
    const std::size_t bufferSize = bufferPick < 128   ? bufferPick
                                   : bufferPick < 255 ? bufferPick * std::size_t{32}
                                                      : std::size_t{1} << 20;
    const std::uint8_t chunkPick = in.byte();
    const std::uint8_t failPick = in.byte();
    const std::string_view raw = in.rest();
    // A read error after a chosen number of bytes, in about a third of the runs.
    const bool fail = failPick % 3 == 0;
    const std::size_t failAt =
        fail ? std::min<std::size_t>(raw.size(), failPick * std::size_t{7}) : SIZE_MAX;

    MemorySource source(raw, 1 + chunkPick, failAt);
    LineReader reader(source, maxRead, bufferSize);
    std::vector<std::string> reads;
    std::string_view line;
    while (reader.next(line))
        reads.emplace_back(line);
    FUZZ_CHECK(!reader.next(line)); // stays at the end

    const std::string_view delivered = raw.substr(0, std::min(failAt, raw.size()));
    checkReads(reads, convertTextMode(delivered), maxRead);
    // Ctrl-Z ends the stream before the failing read is ever made.
    const bool errorReached = fail && delivered.find('\x1A') == std::string_view::npos;
    FUZZ_CHECK(reader.readError() == errorReached);
    return 0;
}
