// Writes a deterministic, realistic automation log of any size for the
// benchmark. Every line carries its BCD timecode at columns 65 to 72.
//
//   loggen [--size N[K|M|G]] [--seed N] [--crlf] [--fps 30|29.97|25] [-o FILE]
//          [--busy [--processes N] [--marker-share P] [--followed-share P]
//                  [--near-miss-share P]] [--near-miss] [--one-line N[K|M|G]]
//
// The standard log has fades and mixes of three processes, most of them of
// the followed process WQVX, router takes and refreshes, sniffer status,
// timecode command errors, take lines, noise lines of 80 to 200 characters
// and a few lines longer than one read. --busy writes a busy station
// instead: N processes (default 8) fade and mix at the same time, each with
// every marker line and its own router lines, so that P percent of the lines
// hold a marker of some process (default 10) and the followed process is
// named on P percent (default 2); --near-miss-share P percent of the lines
// come close to a marker without being one (default 0). --near-miss is a
// busy station of one process (markers on 1.5%, WQVX on 2%, near misses on
// 12%, lines of 120 to 180 characters). --one-line writes one line of words.
//
// --fps writes the timecodes of a station at that rate (29.97: drop-frame);
// the clock still runs 0, 2 or 4 fields per line. The same options always
// give the same bytes.
#include "generators.h"
#include "log_lines.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace loggen;

// A number with an optional K, M or G suffix (powers of 1024).
std::uint64_t parseSize(const char* text) {
    char* end = nullptr;
    const std::uint64_t value = std::strtoull(text, &end, 10);
    const char* suffix = std::strchr("KMG", std::toupper(static_cast<unsigned char>(*end)));
    return suffix && *end ? value << (10 * (suffix - "KMG" + 1)) : value;
}

// A percentage from 0 to 50, or -1 when the text is none.
double parsePercent(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0 && value <= 50 ? value : -1;
}

// One line of `size` bytes of words, then a newline.
void writeOneLine(LogWriter& out, std::uint64_t size, std::uint64_t seed) {
    Rng rng(seed);
    std::string chunk;
    while (out.written() < size) {
        chunk.clear();
        while (chunk.size() < 4096)
            chunk.append(rng.pick(fillWords())).append(" ");
        chunk.resize(std::min<std::uint64_t>(chunk.size(), size - out.written()));
        out.raw(chunk);
    }
    out.raw("\n");
}

struct Options {
    std::uint64_t size = 64ull << 20;
    std::uint64_t oneLine = 0;
    std::uint64_t seed = 1;
    bool crlf = false;
    bool busy = false;
    StationRate rate;
    BusySettings station;
    const char* path = nullptr;
};

// The near-miss busy log: the followed process alone fades and mixes (on
// about 2% of the lines), other processes write near misses on 12%.
BusySettings nearMissStation() {
    BusySettings s;
    s.processes = 1;
    s.markerPercent = 1.5;
    s.followedPercent = 2;
    s.nearMissPercent = 12;
    return s;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--crlf" || arg == "--busy") {
            (arg == "--crlf" ? o.crlf : o.busy) = true;
            continue;
        }
        if (arg == "--near-miss") {
            o.busy = true;
            o.station = nearMissStation();
            continue;
        }
        if (!value)
            return false;
        if (arg == "--size")
            o.size = parseSize(value);
        else if (arg == "--one-line")
            o.oneLine = parseSize(value);
        else if (arg == "--seed")
            o.seed = std::strtoull(value, nullptr, 10);
        else if (arg == "--processes")
            o.station.processes = std::atoi(value);
        else if (arg == "--marker-share")
            o.station.markerPercent = parsePercent(value);
        else if (arg == "--followed-share")
            o.station.followedPercent = parsePercent(value);
        else if (arg == "--near-miss-share")
            o.station.nearMissPercent = parsePercent(value);
        else if (arg == "-o")
            o.path = value;
        else if (arg == "--fps") {
            if (!StationRate::parse(value, o.rate))
                return false;
        } else
            return false;
        ++i;
    }
    const BusySettings& s = o.station;
    return s.processes >= 1 && s.processes <= BusyStation::kMaxProcesses && s.markerPercent >= 0 &&
           s.followedPercent >= 0 && s.nearMissPercent >= 0;
}

int usage() {
    std::fputs("usage: loggen [--size N[K|M|G]] [--seed N] [--crlf] [--fps 30|29.97|25] [-o FILE]\n"
               "              [--busy [--processes 1-26] [--marker-share PERCENT]\n"
               "                      [--followed-share PERCENT] [--near-miss-share PERCENT]]\n"
               "              [--near-miss] [--one-line N[K|M|G]]\n"
               "PERCENT is a number from 0 to 50.\n",
               stderr);
    return 2;
}

void writeLog(LogWriter& out, const Options& o) {
    if (o.oneLine > 0) {
        writeOneLine(out, o.oneLine, o.seed);
    } else if (o.busy) {
        BusyStation station(out, o.seed, o.station);
        while (out.written() < o.size)
            station.line();
    } else {
        StandardLog log(out, o.seed);
        while (out.written() < o.size)
            log.event();
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options))
        return usage();
    std::FILE* file = options.path ? std::fopen(options.path, "wb") : stdout;
    if (!file) {
        std::perror(options.path);
        return 1;
    }
    {
        LogWriter out(file, options.crlf, options.rate);
        writeLog(out, options);
    }
    const bool failed = std::ferror(file) != 0;
    if (options.path)
        std::fclose(file);
    return failed ? 1 : 0;
}
