// Runs one golden case through the real binary in a fresh directory and
// compares standard output, standard error (where the case gives it), exit
// code and written files byte for byte.
// Case layout (see README.md beside this file):
//   args               one argument per line (after the program name); @TMP@
//                      stands for the absolute path of the working directory
//                      and is written back for it in the captured output
//   input/             copied into the empty working directory first
//   stdin              optional: the bytes of standard input (else /dev/null)
//   mkdirs             optional: directories to create there, one per line
//   symlinks           optional: "name -> target" lines, links made there
//   expected/stdout    exact bytes of standard output
//   expected/stderr    optional: exact bytes of standard error
//   expected/exit      exit code (0 when absent)
//   expected/files/    each file must exist afterwards with exactly these bytes
//                      (@TMP@ written back for the working directory)
//   expected/absent    optional: names that must not exist afterwards
//   expected-windows/  optional: with --windows, its stdout, exit, files/ and
//                      absent replace those of expected/; `reason` says why
//   skip-windows       optional: with --windows the case is skipped (exit 77);
//                      its first line says why
//   skip-if-exists     optional: a path on its first line, the reason on its
//                      second; the case is skipped while that path exists
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string binary;
    fs::path caseDir;
    std::string launcher;
    bool update = false;
    bool crlfStdout = false;   // a Windows C runtime writes "\r\n" to redirected stdout
    bool windows = false;      // the binary is a Windows build
    bool gzipLogs = false;     // every *.log of input/ is compressed first, under its own name
    bool ignoreStderr = false; // the launcher adds options whose notes change standard error
};

constexpr int kSkipped = 77; // CTest's SKIP_RETURN_CODE for these tests
constexpr int kNothingPrinted = 3;
constexpr const char* kTmp = "@TMP@";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty())
        return text;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> readLines(const fs::path& path) {
    std::vector<std::string> lines;
    if (!fs::exists(path))
        return lines;
    std::string text = readFile(path);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos)
            nl = text.size();
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

std::string shellQuote(const std::string& text) {
    std::string quoted(1, '\'');
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string visible(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

bool compare(const std::string& what, const std::string& expected, const std::string& actual) {
    if (expected == actual)
        return true;
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    std::cerr << "MISMATCH in " << what << " at byte " << at << "\n--- expected ---\n"
              << visible(expected) << "\n--- actual ---\n"
              << visible(actual) << "\n----------------\n";
    return false;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--binary" && i + 1 < argc)
            options.binary = argv[++i];
        else if (arg == "--case" && i + 1 < argc)
            options.caseDir = argv[++i];
        else if (arg == "--launcher" && i + 1 < argc)
            options.launcher = argv[++i];
        else if (arg == "--update")
            options.update = true;
        else if (arg == "--crlf-stdout")
            options.crlfStdout = true;
        else if (arg == "--windows")
            options.windows = true;
        else if (arg == "--gzip-logs")
            options.gzipLogs = true;
        else if (arg == "--ignore-stderr")
            options.ignoreStderr = true;
        else
            return false;
    }
    return !options.binary.empty() && !options.caseDir.empty();
}

int runBinary(const Options& options, const fs::path& work, const fs::path& capture,
              const fs::path& errors) {
    std::string command = "cd ";
    command += shellQuote(work.string());
    // The wall clock of a metrics file, fixed so that its bytes can be compared.
    command += " && QUORVEX_METRICS_TIME=1800000000 ";
    if (!options.launcher.empty()) {
        command += options.launcher;
        command += ' ';
    }
    command += shellQuote(fs::absolute(options.binary).string());
    for (const std::string& arg : readLines(options.caseDir / "args")) {
        command += ' ';
        command += shellQuote(replaceAll(arg, kTmp, work.string()));
    }
    command += " > ";
    command += shellQuote(capture.string());
    command += " 2> ";
    command += shellQuote(errors.string());
    const fs::path input = options.caseDir / "stdin";
    command += " < ";
    command += fs::exists(input) ? shellQuote(fs::absolute(input).string()) : "/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string dropCR(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    }
    return out;
}

std::string firstLine(const fs::path& path) {
    const std::vector<std::string> lines = readLines(path);
    return lines.empty() ? std::string() : lines[0];
}

// Where a Windows build legitimately differs, the case says so in a file of
// its own, with the reason; a case without a reason is an error.
bool checkPlatformFiles(const Options& options, bool& skip) {
    skip = false;
    if (!options.windows)
        return true;
    const fs::path skipFile = options.caseDir / "skip-windows";
    const fs::path reasonFile = options.caseDir / "expected-windows" / "reason";
    if (fs::exists(skipFile)) {
        skip = !firstLine(skipFile).empty();
        if (skip)
            std::cout << "skipped on Windows: " << firstLine(skipFile) << "\n";
        else
            std::cerr << "skip-windows must give the reason on its first line\n";
        return skip;
    }
    if (fs::exists(options.caseDir / "expected-windows") && firstLine(reasonFile).empty()) {
        std::cerr << "expected-windows/reason must say why Windows differs\n";
        return false;
    }
    return true;
}

// The expected file `name`, from expected-windows/ when this is a Windows
// run and that folder has it.
fs::path expectedFile(const Options& options, const std::string& name) {
    const fs::path windows = options.caseDir / "expected-windows" / name;
    if (options.windows && fs::exists(windows))
        return windows;
    return options.caseDir / "expected" / name;
}

fs::path prepareWork(const Options& options, const fs::path& root) {
    const fs::path work = root / "w"; // short: @TMP@ must fit a 51-character field
    fs::create_directories(work);
    if (fs::exists(options.caseDir / "input"))
        fs::copy(options.caseDir / "input", work, fs::copy_options::recursive);
    for (const std::string& dir : readLines(options.caseDir / "mkdirs"))
        fs::create_directories(work / dir);
    for (const std::string& link : readLines(options.caseDir / "symlinks")) {
        const std::size_t arrow = link.find(" -> ");
        if (arrow != std::string::npos)
            fs::create_symlink(link.substr(arrow + 4), work / link.substr(0, arrow));
    }
    return work;
}

struct RunOutput {
    std::string stdoutText;
    std::string stderrText;
    int exitCode;
};

bool isLogName(const fs::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".log";
}

// A compressed log must give the report of its text: every *.log file of the
// input is gzipped under its own name. Returns the names compressed.
std::vector<fs::path> gzipLogs(const fs::path& work) {
    std::vector<fs::path> compressed;
    for (const auto& entry : fs::recursive_directory_iterator(work)) {
        if (!entry.is_regular_file() || entry.is_symlink() || !isLogName(entry.path()))
            continue;
        const std::string path = entry.path().string();
        const std::string command = "gzip -n -6 -c " + shellQuote(path) + " > " +
                                    shellQuote(path + ".gz") + " && mv " +
                                    shellQuote(path + ".gz") + " " + shellQuote(path);
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("gzip failed: " + path);
        compressed.push_back(fs::relative(entry.path(), work));
    }
    return compressed;
}

int updateCase(const Options& options, const fs::path& work, const RunOutput& run) {
    // A Windows run records only into an existing expected-windows/ (with its reason).
    const fs::path expected = options.caseDir / (options.windows ? "expected-windows" : "expected");
    if (options.windows && !fs::exists(expected / "reason")) {
        std::cerr << "no expected-windows/reason: this case needs no Windows expectations\n";
        return 1;
    }
    writeFile(expected / "stdout", run.stdoutText);
    if (!run.stderrText.empty() || fs::exists(expected / "stderr"))
        writeFile(expected / "stderr", run.stderrText);
    writeFile(expected / "exit", std::to_string(run.exitCode) + "\n");
    for (const auto& entry : fs::recursive_directory_iterator(work)) {
        const fs::path rel = fs::relative(entry.path(), work);
        const fs::path original = options.caseDir / "input" / rel;
        if (entry.is_regular_file() &&
            (!fs::exists(original) || readFile(original) != readFile(entry.path())))
            writeFile(expected / "files" / rel,
                      replaceAll(readFile(entry.path()), work.string(), kTmp));
    }
    std::cout << "updated " << expected << "\n";
    return 0;
}

bool checkFiles(const Options& options, const fs::path& work,
                const std::vector<fs::path>& compressed) {
    bool ok = true;
    const fs::path files = expectedFile(options, "files");
    if (fs::exists(files)) {
        for (const auto& entry : fs::recursive_directory_iterator(files)) {
            if (!entry.is_regular_file())
                continue;
            const fs::path rel = fs::relative(entry.path(), files);
            // A log kept as the input had it: compressed here.
            if (std::find(compressed.begin(), compressed.end(), rel) != compressed.end())
                continue;
            if (!fs::exists(work / rel)) {
                std::cerr << "MISSING file " << rel << "\n";
                ok = false;
                continue;
            }
            ok &= compare(rel.string(), readFile(entry.path()),
                          replaceAll(readFile(work / rel), work.string(), kTmp));
        }
    }
    for (const std::string& name : readLines(expectedFile(options, "absent"))) {
        if (!name.empty() && fs::exists(work / name)) {
            std::cerr << "UNEXPECTED file " << name << "\n";
            ok = false;
        }
    }
    return ok;
}

bool checkCase(const Options& options, const fs::path& work, const RunOutput& run,
               const std::vector<fs::path>& compressed) {
    bool ok = compare("stdout", readFile(expectedFile(options, "stdout")), run.stdoutText);
    const fs::path expectedErrors = expectedFile(options, "stderr");
    if (fs::exists(expectedErrors) && !options.ignoreStderr)
        ok &= compare("stderr", readFile(expectedErrors), run.stderrText);
    const int exitCode = run.exitCode;
    const std::string exitLine = firstLine(expectedFile(options, "exit"));
    const int expectedExit = exitLine.empty() ? 0 : std::atoi(exitLine.c_str());
    if (exitCode != expectedExit) {
        std::cerr << "MISMATCH in exit code: expected " << expectedExit << ", actual " << exitCode
                  << "\n";
        ok = false;
    }
    return checkFiles(options, work, compressed) && ok;
}

// One run of the case in a fresh working directory: 0 when everything
// matches, kNothingPrinted when it failed with no output at all, else 1.
int runCase(const Options& options) {
    char pattern[] = "/tmp/qvg.XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path root = pattern;
    const fs::path work = prepareWork(options, root);
    const std::vector<fs::path> compressed =
        options.gzipLogs ? gzipLogs(work) : std::vector<fs::path>{};
    const fs::path capture = root / "stdout";
    const fs::path errors = root / "stderr";
    RunOutput run;
    run.exitCode = runBinary(options, work, capture, errors);
    run.stdoutText = readFile(capture);
    run.stderrText = readFile(errors);
    if (options.crlfStdout) {
        run.stdoutText = dropCR(run.stdoutText);
        run.stderrText = dropCR(run.stderrText);
    }
    run.stdoutText = replaceAll(run.stdoutText, work.string(), kTmp);
    run.stderrText = replaceAll(run.stderrText, work.string(), kTmp);
    const bool ok = options.update ? updateCase(options, work, run) == 0
                                   : checkCase(options, work, run, compressed);
    fs::remove_all(root);
    if (ok)
        return 0;
    std::cerr << "--- actual stderr (exit " << run.exitCode << ") ---\n"
              << run.stderrText << "\n----------------\n";
    return run.stdoutText.empty() ? kNothingPrinted : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << "usage: golden_runner --binary PATH --case DIR [--launcher CMD] [--update]"
                     " [--crlf-stdout] [--windows] [--gzip-logs] [--ignore-stderr]\n";
        return 2;
    }
    bool skip = false;
    if (!checkPlatformFiles(options, skip))
        return 1;
    if (skip)
        return kSkipped;
    const std::vector<std::string> skipIf = readLines(options.caseDir / "skip-if-exists");
    if (skipIf.size() >= 2 && fs::exists(fs::symlink_status(skipIf[0]))) {
        std::cout << "skipped while " << skipIf[0] << " exists: " << skipIf[1] << "\n";
        return kSkipped;
    }
    int result = runCase(options);
    // An emulator (Wine) now and then fails to start the program at all; one
    // more attempt tells that apart from a real fault, which repeats.
    if (result == kNothingPrinted && !options.launcher.empty()) {
        std::cerr << "the run under " << options.launcher
                  << " printed nothing; running the case once more\n";
        result = runCase(options);
    }
    return result == 0 ? 0 : 1;
}
