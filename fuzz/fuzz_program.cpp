// The whole program over arbitrary argument vectors, in a scratch directory
// that holds a log, a configuration file and a directory taken from the input.
// Every name is kept inside that directory. The run must end with 0 or 1,
// never change the log of a single-file run, and write no more than its
// input can account for; exit code 3 only with /limit.
#include "frontend/program.h"
#include "fuzz_util.h"
#include "report/report.h"

#include <filesystem>
#include <unistd.h>

using namespace qv;
using namespace qv::fuzz;
namespace fs = std::filesystem;

namespace {

// "/follow" is left out on purpose: a followed run waits for its log to
// grow until a Ctrl-C, so here it becomes "_follow" like any other word.
const char* const kOptionWords[] = {"/o",     "/on",      "/s",        "/sum", "/sumon", "/sumoff",
                                    "/multi", "/multion", "/multioff", "/d",   "/excel", "/cmderr",
                                    "/takes", "/grep",    "/q",        "/csv", "/plot",  "/hours",
                                    "/limit", "/cfg",     "/gencfg",   "/h",   "/v"};

// Options whose value names a file to write (or read).
const char* const kFileOptions[] = {"/on", "/csv", "/plot", "/cfg", "/hours"};

bool takesFileName(std::string_view arg) {
    return std::find(std::begin(kFileOptions), std::end(kFileOptions), arg) !=
           std::end(kFileOptions);
}

// A "/" would reach outside the scratch directory, so it becomes "_".
std::string withoutSlash(std::string_view arg) {
    std::string safe(arg);
    std::replace(safe.begin(), safe.end(), '/', '_');
    return safe;
}

// Option words stay, unless they are the value of an option that takes a
// file name ("/csv /o" would create "/o").
std::string confine(std::string_view arg, std::string_view previous) {
    if (takesFileName(previous))
        return withoutSlash(arg);
    for (const char* word : kOptionWords) {
        if (arg == word)
            return std::string(arg);
    }
    return withoutSlash(arg);
}

std::vector<std::string_view> splitAtNul(std::string_view text) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const std::size_t nul = text.find('\0');
        pieces.push_back(text.substr(0, nul));
        if (nul == std::string_view::npos)
            return pieces;
        text.remove_prefix(nul + 1);
    }
}

void writeFile(const char* name, std::string_view bytes) {
    std::FILE* f = std::fopen(name, "wb");
    FUZZ_CHECK(f != nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void prepareDirectory(std::uint8_t flags, const std::vector<std::string_view>& pieces) {
    for (const auto& entry : fs::directory_iterator("."))
        fs::remove_all(entry.path());
    if (flags & 1)
        writeFile("a.log", pieces[0]);
    // OUTFILENAME there names the output file: keep it inside too.
    if (flags & 2)
        writeFile("qv.cfg", withoutSlash(pieces.size() > 1 ? pieces[1] : std::string_view()));
    if (flags & 4)
        fs::create_directory("d");
    if (flags & 8)
        writeFile("b.log", pieces[0].substr(pieces[0].size() / 2));
}

std::uintmax_t bytesInDirectory() {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator("."))
        if (entry.is_regular_file())
            total += entry.file_size();
    return total;
}

bool isRegularFile(const std::string& name) {
    std::error_code ec;
    return !name.empty() && fs::is_regular_file(name, ec);
}

// Whether the run may have taken argument 1 as a pattern: then a match may
// be an output file, which the run skips but may truncate first.
bool mayBePatternRun(const std::vector<std::string>& args) {
    return std::any_of(args.begin() + 1, args.end(),
                       [](const std::string& a) { return a == "/multi" || a == "/multion"; });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FUZZ_CHECK(chdir(makeScratchDirectory().c_str()) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor in(data, size);
    const std::uint8_t flags = in.byte();
    const std::vector<std::string_view> pieces = splitAtNul(in.rest());
    prepareDirectory(flags, pieces);

    std::vector<std::string> args{"quorvex"};
    for (std::size_t i = 2; i < pieces.size(); ++i)
        args.push_back(confine(pieces[i], i > 2 ? pieces[i - 1] : std::string_view()));
    // "-" as the log would read the fuzzer's own standard input.
    if (args.size() > 1 && args[1] == "-")
        args[1] = "_";
    std::vector<const char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);

    const bool logIsFile = args.size() > 1 && isRegularFile(args[1]);
    const std::string logBefore = logIsFile ? readWholeFile(args[1].c_str()) : std::string();
    const bool generates = std::find(args.begin(), args.end(), "/gencfg") != args.end();

    const int code = runProgram(static_cast<int>(args.size()), argv.data(), nullConsole());

    // 3: a delay over a /limit.
    const bool limits = std::find(args.begin(), args.end(), "/limit") != args.end();
    FUZZ_CHECK(code == 0 || code == 1 || (limits && code == 3));
    if (logIsFile && !mayBePatternRun(args) && !generates)
        FUZZ_CHECK(readWholeFile(args[1].c_str()) == logBefore);
    FUZZ_CHECK(bytesInDirectory() <= 64 * size + std::size_t{64} * 1024);
    return 0;
}
