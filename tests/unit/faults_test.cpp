// Runs of the whole program against faults of the system around it: a full
// disk, an output file that is the log under another name, logs that fail,
// shrink or vanish while read, unreadable files, and oversized arguments and
// configuration files. The console is tapped so a test can act mid-run.
#if defined(__linux__)

#include "frontend/program.h"
#include "platform/platform.h"
#include "report/report.h"
#include "search/line_reader.h"
#include "sources/byte_source.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

/// A private working directory for one test; the old one comes back after.
class ScratchDir {
  public:
    ScratchDir() : old_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "qv-faults-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        fs::permissions(path_, fs::perms::all); // a dropped-privilege child works here too
        fs::current_path(path_);
    }
    ~ScratchDir() {
        fs::current_path(old_);
        fs::remove_all(path_);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path old_;
    fs::path path_;
};

/// Records the console and calls `onWrite` with everything written so far,
/// after each write, so that a test can change the files mid-run.
class ConsoleTap {
  public:
    explicit ConsoleTap(std::function<void(const std::string&)> onWrite = {})
        : onWrite_(std::move(onWrite)) {
        cookie_io_functions_t io{};
        io.write = &ConsoleTap::write;
        stream_ = fopencookie(this, "w", io);
        std::setvbuf(stream_, nullptr, _IONBF, 0);
    }
    ~ConsoleTap() { std::fclose(stream_); }
    ConsoleTap(const ConsoleTap&) = delete;
    ConsoleTap& operator=(const ConsoleTap&) = delete;
    const std::string& text() const { return text_; }
    std::FILE* stream() const { return stream_; }

  private:
    static ssize_t write(void* cookie, const char* data, std::size_t size) {
        auto* self = static_cast<ConsoleTap*>(cookie);
        self->text_.append(data, size);
        if (self->onWrite_)
            self->onWrite_(self->text_);
        return static_cast<ssize_t>(size);
    }

    std::function<void(const std::string&)> onWrite_;
    std::FILE* stream_;
    std::string text_;
};

int runQuorvex(const std::vector<std::string>& args, std::FILE* stream,
               std::FILE* errors = stderr) {
    std::vector<const char*> argv{"quorvex"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    Console console(stream, errors);
    return runProgram(static_cast<int>(argv.size() - 1), argv.data(), console);
}

struct RunResult {
    int code;
    std::string console;
};

RunResult run(const std::vector<std::string>& args,
              std::function<void(const std::string&)> onWrite = {}) {
    ConsoleTap tap(std::move(onWrite));
    const int code = runQuorvex(args, tap.stream());
    return {code, tap.text()};
}

std::string echo(const std::string& outputName, const char* modeName) {
    return "Using cfg file [qv.cfg] outputfile is " + outputName +
           "\nProcess name [WQVX], dst [dst 0130], level [lev 00]\ngrep text is [] \n"
           "multi is [OFF] sumary is [OFF]\nAnalyze Mode is " +
           modeName + "\n";
}

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

const std::string kTakesLog = "a src b\nno take\nc src d\n";
const std::string kTakesReport = "total takes was        2\nAverage takes/min was    0 \n"
                                 "Average takes/sec was    0 \n";

TEST(OutputFaults, FullDiskIsReportedAfterTheLastReport) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    RunResult r = run({"a.log", "/takes", "/on", "/dev/full"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.console, "Setting to count takes\nOverriding output name to [/dev/full]\n" +
                             echo("/dev/full", "COUNT TAKES ") +
                             "**** Processing File a.log ****\n" + kTakesReport +
                             "Error writing /dev/full\n");

    // More than the writer's buffer: writes fail mid-run, the scan still ends.
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big += "line " + std::to_string(i) + " of a log that does not fit one buffer\n";
    spit("big.log", big);
    r = run({"*.log", "/multi", "/grep", "", "/on", "/dev/full"});
    EXPECT_EQ(r.code, 1);
    const std::string tail = "   5000 line 4999 of a log that does not fit one buffer\n"
                             "Error writing /dev/full\n";
    ASSERT_GE(r.console.size(), tail.size());
    EXPECT_EQ(r.console.substr(r.console.size() - tail.size()), tail);
}

TEST(OutputFaults, OutputFileThatIsTheLogIsRefusedUnderAnyName) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    ASSERT_EQ(link("a.log", "hard.log"), 0);
    ASSERT_EQ(symlink("a.log", "soft.log"), 0);
    const std::string viaParent = "../" + dir.path().filename().string() + "/a.log";
    const struct {
        std::string log;
        std::string output;
    } cases[] = {
        {"a.log", "./a.log"}, {"a.log", "hard.log"}, {"a.log", "soft.log"},
        {"a.log", viaParent}, {"hard.log", "a.log"}, {"./soft.log", "hard.log"},
    };
    for (const auto& c : cases) {
        const RunResult r = run({c.log, "/on", c.output, "/takes"});
        EXPECT_EQ(r.code, 1) << c.log << " " << c.output;
        EXPECT_EQ(r.console, "Overriding output name to [" + c.output +
                                 "]\nSetting to count takes\nOutput file " + c.output +
                                 " is the log file\n");
        EXPECT_EQ(slurp("a.log"), kTakesLog);
    }
    // The same through the configuration file.
    spit("qv.cfg", "OUTFILENAME,hard.log\n");
    const RunResult r = run({"./a.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.console, "processing config file\ncfg-file override outfilename to [hard.log]\n"
                         "Output file hard.log is the log file\n");
    EXPECT_EQ(slurp("a.log"), kTakesLog);
}

TEST(OutputFaults, ConsoleThatCannotBeWrittenFailsTheRun) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    const int code = runQuorvex({"a.log", "/takes"}, full);
    std::fclose(full);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(run({"a.log", "/takes"}).code, 0);
}

// With an empty grep text every read is listed: reading the output file while
// writing it would never end.
TEST(OutputFaults, PatternRunSkipsTheOutputFile) {
    ScratchDir dir;
    spit("a.log", "one\ntwo\n");
    spit("out.log", "Using cfg file [qv.cfg] outputfile is out.log\r\nold contents\r\n");
    const RunResult r = run({"*.log", "/multi", "/on", "out.log", "/grep", "", "/sum"});
    EXPECT_EQ(r.code, 0);
    const std::string report = "**** Processing File a.log ****\n";
    EXPECT_EQ(r.console.substr(r.console.find("**** ")), report + "total lines        2\n");
    const std::string written = slurp("out.log");
    EXPECT_EQ(written.substr(written.find("**** ")), crlf(report + "total lines was        2\n"));
}

// A match that holds no earlier output is a log: named as an output it is
// refused, as a single-file run refuses it, and left whole.
TEST(OutputFaults, PatternRunNeverWritesOverALogNamedAsAnOutput) {
    ScratchDir dir;
    spit("a.log", "one\n");
    spit("b.log", "a log of its own\n");
    for (const char* option : {"/on", "/csv", "/hours", "/plot"}) {
        const RunResult r = run({"*.log", "/multi", option, "b.log"});
        EXPECT_EQ(r.code, 1) << option;
        EXPECT_NE(r.console.find(" file b.log is the log file\n"), std::string::npos) << option;
        EXPECT_EQ(slurp("b.log"), "a log of its own\n") << option;
    }
}

TEST(ReadFaults, ReaderTellsAnErrorFromTheEnd) {
    using Reads = std::vector<std::string>;
    const struct {
        std::string bytes;
        std::size_t failAt;
        Reads reads;
        bool error;
    } cases[] = {
        {"a\nb\r\nc", 6, {"a\n", "b\n", "c"}, true}, // fails after the last byte
        {"a\nb\r\nc", 4, {"a\n", "b\r"}, true},      // the held CR is delivered
        {"a\n\x1A"
         "b",
         3,
         {"a\n"},
         false}, // Ctrl-Z ends it before the error
        {"a\nb", 0, {}, true},
    };
    for (const auto& c : cases) {
        for (bool readAhead : {false, true}) {
            MemorySource source(c.bytes, 2, c.failAt);
            Reads reads;
            bool error = false;
            {
                LineReader reader(source, kLogReadMax, 3);
                if (readAhead)
                    reader.readAhead();
                std::string_view line;
                while (reader.next(line))
                    reads.emplace_back(line);
                error = reader.readError();
            }
            EXPECT_EQ(reads, c.reads) << c.failAt << " read ahead " << readAhead;
            EXPECT_EQ(error, c.error) << c.failAt << " read ahead " << readAhead;
        }
    }
}

TEST(ReadFaults, ReadErrorKeepsTheReportAndFailsTheRun) {
    ScratchDir dir;
    // Reading this file from its start fails with an I/O error.
    const RunResult r = run({"/proc/self/mem", "/takes", "/o"});
    EXPECT_EQ(r.code, 1);
    const std::string report = "**** Processing File /proc/self/mem ****\n"
                               "total takes was        0\nAverage takes/min was    0 \n"
                               "Average takes/sec was    0 \n";
    EXPECT_EQ(r.console, "Setting to count takes\nOutput File Active\n" +
                             echo("out.txt", "COUNT TAKES ") + report +
                             "Error reading /proc/self/mem\n");
    EXPECT_EQ(slurp("out.txt"), crlf(echo("out.txt", "COUNT TAKES ") + report));

    // A configuration file that cannot be read to its end stops the run
    // before the output file is opened.
    fs::remove("out.txt");
    const RunResult cfg = run({"a.log", "/cfg", "/proc/self/mem"});
    EXPECT_EQ(cfg.code, 1);
    EXPECT_EQ(cfg.console, "Overriding cfg file to [/proc/self/mem]\nprocessing config file\n"
                           "Error reading /proc/self/mem\n");
    EXPECT_FALSE(fs::exists("out.txt"));
}

TEST(ReadFaults, LogThatShrinksWhileReadFailsTheRunOneThatGrowsDoesNot) {
    ScratchDir dir;
    const std::string log = "x 1\nx 2\nx 3\n";
    const std::string rows = "      1 x 1\n      2 x 2\n      3 x 3\n";
    const std::string head = "Setting to grep Mode\nOverriding grep text to [x]\n";
    const std::string banner = "**** Processing File a.log ****\n";
    struct Case {
        const char* what;
        std::function<void()> change;
        int code;
        const char* after;
    } cases[] = {
        {"truncated", [] { ASSERT_EQ(truncate("a.log", 2), 0); }, 1, "Error reading a.log\n"},
        {"appended", [] { std::ofstream("a.log", std::ios::app) << "more\n"; }, 0, ""},
    };
    for (const Case& c : cases) {
        spit("a.log", log);
        bool changed = false;
        // The first row proves the scan is under way.
        const RunResult r = run({"a.log", "/grep", "x"}, [&](const std::string& console) {
            if (!changed && console.ends_with("      1 x 1\n")) {
                changed = true;
                c.change();
            }
        });
        EXPECT_TRUE(changed) << c.what;
        EXPECT_EQ(r.code, c.code) << c.what;
        std::string grepEcho = echo("NULL", "GREP        ");
        grepEcho.replace(grepEcho.find("[] "), 3, "[x] ");
        EXPECT_EQ(r.console, head + grepEcho + banner + rows + c.after) << c.what;
    }
}

TEST(ReadFaults, LogThatVanishesMidRun) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    spit("b.log", kTakesLog);
    // Deleted while the pattern run is on the first file: the second cannot be
    // opened, the first file's report stays in the output file.
    const RunResult pattern =
        run({"*.log", "/multi", "/takes", "/o"}, [](const std::string& console) {
            if (console.ends_with("**** Processing File a.log ****\n"))
                fs::remove("b.log");
        });
    EXPECT_EQ(pattern.code, 1);
    const std::string report = "**** Processing File a.log ****\n" + kTakesReport;
    EXPECT_TRUE(pattern.console.ends_with(report + "Error opening b.log\n"));
    EXPECT_TRUE(slurp("out.txt").ends_with(crlf(report)));

    // Deleted while it is read: the open file is still read to its end.
    const RunResult single = run({"a.log", "/takes"}, [](const std::string& console) {
        if (console.ends_with("**** Processing File a.log ****\n"))
            fs::remove("a.log");
    });
    EXPECT_EQ(single.code, 0);
    EXPECT_TRUE(single.console.ends_with(report));
    EXPECT_FALSE(fs::exists("a.log"));
}

// A match that comes to name the output file while an earlier one is read
// is refused at its turn; it and the matches after it go untold otherwise.
TEST(ReadFaults, MatchRefusedAtItsTurnCountsAsNotAnalysed) {
    ScratchDir dir;
    for (const char* name : {"a.log", "b.log", "c.log"})
        spit(name, kTakesLog);
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    int code = 0;
    {
        ConsoleTap tap([](const std::string& console) {
            if (console.ends_with("**** Processing File a.log ****\n")) {
                fs::remove("b.log");
                ASSERT_EQ(symlink("out.txt", "b.log"), 0);
            }
        });
        code = runQuorvex({"*.log", "/multi", "/takes", "/o"}, tap.stream(), errors);
        EXPECT_TRUE(tap.text().ends_with(kTakesReport + std::string("Output file out.txt is the "
                                                                    "log file\n")));
    }
    EXPECT_EQ(code, 1);
    EXPECT_EQ(test::contents(errors), "quorvex: Output file out.txt is the log file\n"
                                      "quorvex: 2 matches of '*.log' not analysed\n");
    std::fclose(errors);
}

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The program runs in-process under the fuzz targets and the memory test: a
// run that ends early must still close the log and the configuration file.
TEST(ReadFaults, RunThatEndsEarlyClosesItsFiles) {
    ScratchDir dir;
    spit("a.log", "WQVX one\n");
    const std::size_t before = openDescriptors();
    spit("qv.cfg", "FPS,24\n"); // not a rate: ends the run while the file is read
    RunResult r = run({"a.log", "/takes"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(openDescriptors(), before) << "the configuration file";
    fs::remove("qv.cfg");
    // The output file cannot take the first flush before the wait for more.
    r = run({"a.log", "/follow", "/grep", "WQVX", "/on", "/dev/full"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.console.find("      1 WQVX one\n"), std::string::npos);
    EXPECT_EQ(openDescriptors(), before) << "the log";
}

// Root reads any file, so as root the run is made by a child without privileges.
RunResult runUnprivileged(const std::vector<std::string>& args) {
    if (geteuid() != 0)
        return run(args);
    std::FILE* capture = std::tmpfile();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (setgid(nobody) != 0 || setuid(nobody) != 0)
            _exit(99);
        const int code = runQuorvex(args, capture);
        std::fflush(capture);
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::string text;
    std::rewind(capture);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, capture)) > 0)
        text.append(buffer, n);
    std::fclose(capture);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST(ReadFaults, UnreadableLogAndConfigFile) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    spit("qv.cfg", "SEARCHNAME,KXYZ\n");
    fs::permissions("a.log", fs::perms::none);
    fs::permissions("qv.cfg", fs::perms::none);
    const RunResult r = runUnprivileged({"a.log", "/takes"});
    EXPECT_EQ(r.code, 1);
    // The configuration file is skipped silently; the log cannot be opened.
    EXPECT_EQ(r.console,
              "Setting to count takes\n" + echo("NULL", "COUNT TAKES ") + "Error opening a.log\n");
}

TEST(BadInput, ArgumentsOfAnyLength) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    const std::string huge(std::size_t{100} * 1024, 'v');
    RunResult r = run({huge, "/s", huge, "/d", huge, "/grep", huge, "/on", huge, "/cfg", huge});
    EXPECT_EQ(r.code, 1);
    const std::string v51(51, 'v'), v99(99, 'v'), v49(49, 'v');
    EXPECT_EQ(r.console, "Overriding cfg file to [" + v49 + "]\nOverriding search name to [" + v51 +
                             "]\nOverriding destination to [" + v51 +
                             "]\nSetting to grep Mode\nOverriding grep text to [" + v99 +
                             "]\nOverriding output name to [" + v51 + "]\nUsing cfg file [" + v49 +
                             "] outputfile is " + v51 + "\nProcess name [" + v51 + "], dst [" +
                             v51 + "], level [lev 00]\ngrep text is [" + v99 +
                             "] \nmulti is [OFF] sumary is [OFF]\nAnalyze Mode is GREP        \n"
                             "Error opening " +
                             huge + "\n");
    EXPECT_TRUE(fs::exists(v51));

    // As a pattern, with and without wildcards in it.
    const std::string stars =
        std::string(std::size_t{50} * 1024, '*') + std::string(std::size_t{50} * 1024, 'q');
    for (const std::string& pattern : {huge, stars}) {
        r = run({pattern, "/multi", "/takes"});
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(r.console.ends_with("Coundn't find matching file for [" + pattern + "]\n"));
    }
}

TEST(BadInput, BinaryAndEnormousConfigFiles) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>(i * 37 % 251 == 0x1A ? 0 : i * 37 % 251); // no Ctrl-Z
    const std::string line(198, 'x');
    std::string enormous;
    for (int i = 0; i < 40000; ++i) // 8 MB of lines without a key
        enormous += line + "\n";
    const std::string oneLine(std::size_t{8} << 20, ','); // one line of delimiters only
    for (const std::string& junk : {binary, enormous, oneLine}) {
        spit("qv.cfg", junk + "\nSEARCHNAME,KXYZ\n");
        const RunResult r = run({"a.log", "/takes"});
        EXPECT_EQ(r.code, 0);
        EXPECT_NE(r.console.find("cfg-file override srchname to [KXYZ]\n"), std::string::npos);
        EXPECT_NE(r.console.find("Process name [KXYZ]"), std::string::npos);
        EXPECT_TRUE(r.console.ends_with(kTakesReport));
    }
}

struct ConfinedRun {
    int code = -1;         // exit code, when the child exited
    bool finished = false; // false: killed (file size limit, the alarm)
    std::string errors;    // standard error
};

// A run in a child process under a 10 MB file size limit and a 10 s alarm,
// so that a run that feeds on its own output or waits for ever fails the
// test instead of filling the disk or hanging it. Standard output is
// `stdoutPath` opened with `mode`; standard input is `stdinPath` if given.
ConfinedRun runConfined(const std::vector<std::string>& args, const std::string& stdoutPath,
                        const char* mode, const std::string& stdinPath = "") {
    std::FILE* errors = std::tmpfile();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{10 << 20, 10 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        alarm(10);
        std::FILE* out = std::fopen(stdoutPath.c_str(), mode);
        if (!out || (!stdinPath.empty() && !std::freopen(stdinPath.c_str(), "rb", stdin)))
            _exit(99);
        const int code = runQuorvex(args, out, errors);
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ConfinedRun result;
    result.finished = WIFEXITED(status);
    result.code = result.finished ? WEXITSTATUS(status) : -1;
    std::rewind(errors);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, errors)) > 0;)
        result.errors.append(buffer, n);
    std::fclose(errors);
    return result;
}

// With an empty grep text every read is listed: a run whose standard output
// is one of its logs would grow it until the disk is full.
TEST(OwnOutput, StandardOutputIsNeverReadAsALog) {
    ScratchDir dir;
    spit("a.log", "one\ntwo\n");
    spit("b.log", "three\n");
    ConfinedRun r = runConfined({"*", "/multi", "/grep", ""}, "report.txt", "w");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 0);
    const std::string report = slurp("report.txt");
    EXPECT_NE(report.find("**** Processing File a.log ****\n      1 one\n"), std::string::npos);
    EXPECT_NE(report.find("**** Processing File b.log ****\n      1 three\n"), std::string::npos);
    EXPECT_EQ(report.find("Processing File report.txt"), std::string::npos);

    // A single log that is standard output is refused before a byte is written.
    for (const char* mode : {"a", "r+"}) {
        r = runConfined({"a.log", "/grep", "", "/s", "x"}, "a.log", mode);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(slurp("a.log"), "one\ntwo\n");
        EXPECT_EQ(r.errors, "quorvex: log file a.log is also standard output: not read\n");
    }
    // A list of logs is refused as each of them would be alone, with a line per such log.
    r = runConfined({"a.log", "b.log", "/grep", "", "/sum"}, "b.log", "a");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(slurp("b.log"), "three\n");
    EXPECT_EQ(r.errors, "quorvex: log file b.log is also standard output: not read\n");
    // Nor does what was echoed before a bad value ended the run land there.
    r = runConfined({"a.log", "b.log", "/s", "x", "/limit", "bogus"}, "b.log", "a");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(slurp("b.log"), "three\n");
    // The same through standard input.
    r = runConfined({"-", "/takes"}, "a.log", "a", "a.log");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(slurp("a.log"), "one\ntwo\n");
}

// Standard output a pipe that the log names (`quorvex /dev/stdout /sum | cat`):
// the run would wait for ever on bytes only it could write.
TEST(OwnOutput, StandardOutputPipeIsNeverReadAsALog) {
    ScratchDir dir;
    ASSERT_EQ(mkfifo("own.fifo", 0600), 0);
    const int keepOpen = open("own.fifo", O_RDWR); // lets the child open it at once
    ASSERT_GE(keepOpen, 0);
    spit("a.log", kTakesLog);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"own.fifo", "/sum"}, {"a.log", "own.fifo", "/sum"}}) {
        const ConfinedRun r = runConfined(args, "own.fifo", "w");
        ASSERT_TRUE(r.finished) << "the run read its own output pipe";
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.errors, "quorvex: log file own.fifo is also standard output: not read\n");
    }
    close(keepOpen);
}

// A log read from standard input is the same file as an output named
// after it: refused before that output truncates it, also when a bad option
// ends the run early.
TEST(OwnOutput, StandardInputsFileIsNeverAnOutput) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    const std::vector<std::vector<std::string>> runs = {
        {"-", "/on", "a.log", "/takes"},
        {"-", "/csv", "./a.log"},
        {"-", "/hours", "a.log"},
        {"-", "/plot", "a.log"},
    };
    for (const std::vector<std::string>& args : runs) {
        const ConfinedRun r = runConfined(args, "out.txt", "w", "a.log");
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.code, 1) << args[1];
        EXPECT_NE(r.errors.find("a.log is the log file"), std::string::npos) << r.errors;
        EXPECT_EQ(slurp("a.log"), kTakesLog) << args[1];
    }
    const ConfinedRun r =
        runConfined({"-", "/o", "/on", "o.txt", "/limit", "bogus"}, "a.log", "a", "a.log");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(slurp("a.log"), kTakesLog);
}

// Reading a FIFO waits for a writer that never comes.
TEST(OwnOutput, PatternRunSkipsFifosAndDevices) {
    ScratchDir dir;
    spit("a.log", kTakesLog);
    ASSERT_EQ(mkfifo("p.log", 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", "z.log"), 0);
    const ConfinedRun r = runConfined({"*.log", "/multi", "/takes"}, "out.txt", "w");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 0);
    const std::string report = slurp("out.txt");
    EXPECT_NE(report.find("**** Processing File a.log ****\n" + std::string(kTakesReport)),
              std::string::npos);
    EXPECT_EQ(report.find("p.log"), std::string::npos);
    EXPECT_EQ(report.find("z.log"), std::string::npos);
}

// A hard link is the same file under another name: truncating the output
// file would destroy the log.
TEST(OwnOutput, OutputFileHardLinkedToAMatchIsRefused) {
    ScratchDir dir;
    fs::create_directory("logs");
    spit("logs/mon.log", kTakesLog);
    ASSERT_EQ(link("logs/mon.log", "out.txt"), 0);
    const RunResult r = run({"logs/*.log", "/multi", "/sum", "/o"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.console.ends_with("Output file out.txt is the log file\n"));
    EXPECT_EQ(slurp("logs/mon.log"), kTakesLog);
}

// A file opened while a standard descriptor is closed would take its place
// and receive the console's text.
TEST(OwnOutput, ClosedStandardDescriptorsAreReopened) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(1);
        reopenClosedStandardStreams();
        std::FILE* csv = std::tmpfile();
        _exit(fcntl(1, F_GETFD) != -1 && csv && fileno(csv) > 2 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A log that is a link to an output not created yet resolves to it all the
// same: the run would otherwise analyse its own output.
TEST(OwnOutput, DanglingLinkToAnOutputIsRefused) {
    ScratchDir dir;
    ASSERT_EQ(symlink("out.txt", "x.log"), 0);
    ASSERT_EQ(symlink("c.csv", "y.log"), 0);
    ConfinedRun r = runConfined({"x.log", "/o", "/grep", ""}, "report.txt", "w");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.errors, "quorvex: Output file out.txt is the log file\n");
    EXPECT_FALSE(fs::exists("out.txt"));
    r = runConfined({"y.log", "/csv", "c.csv"}, "report.txt", "w");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.errors, "quorvex: CSV file c.csv is the log file\n");
    // Among the matches of a pattern too.
    spit("a.log", "one\n");
    r = runConfined({"*.log", "/multi", "/o", "/grep", ""}, "report.txt", "w");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(fs::exists("out.txt"));
}

// A followed path that comes to name the run's own output (a rotation that
// leaves a link behind) passes the guard of the first open again.
TEST(OwnOutput, FollowedPathReplacedByALinkToTheOutputIsRefused) {
    ScratchDir dir;
    spit("x.log", "WQVX one\n");
    std::FILE* errors = std::tmpfile();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{10 << 20, 10 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        alarm(10);
        std::FILE* out = std::fopen("report.txt", "w");
        const int code = runQuorvex({"x.log", "/follow", "/grep", "WQVX", "/on", "out.txt"},
                                    out ? out : stdout, errors);
        std::fflush(nullptr);
        _exit(code);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (slurp("out.txt").find("WQVX one") == std::string::npos &&
           std::chrono::steady_clock::now() < until)
        usleep(10000);
    ASSERT_EQ(std::rename("x.log", "x.old"), 0);
    ASSERT_EQ(symlink("out.txt", "x.log"), 0);
    int status = 0;
    waitpid(child, &status, 0);
    std::fclose(errors);
    ASSERT_TRUE(WIFEXITED(status)) << "killed: it read its own output";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_LT(fs::file_size("out.txt"), 4096u);
}

// The configuration file and standard output's own file are never written
// over by an output.
TEST(OwnOutput, OutputsNeverOverwriteTheConfigurationOrStandardOutput) {
    ScratchDir dir;
    spit("a.log", "one\n");
    const std::string config = "# mine\nSRCHNAME,WQVX\n";
    spit("my.cfg", config);
    spit("qv.cfg", config);
    const std::vector<std::vector<std::string>> runs = {
        {"a.log", "/cfg", "my.cfg", "/on", "my.cfg"},
        {"a.log", "/cfg", "my.cfg", "/csv", "./my.cfg"},
        {"a.log", "/hours", "qv.cfg"},
        {"a.log", "/plot", "qv.cfg"},
    };
    for (const auto& args : runs) {
        const ConfinedRun r = runConfined(args, "report.txt", "w");
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.code, 1) << args[2];
        EXPECT_NE(r.errors.find("is the configuration file\n"), std::string::npos) << r.errors;
    }
    EXPECT_EQ(slurp("my.cfg"), config);
    EXPECT_EQ(slurp("qv.cfg"), config);
    // An output that is where standard output goes: two writers, one file.
    const ConfinedRun r = runConfined({"a.log", "/csv", "r.csv"}, "r.csv", "w");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.errors, "quorvex: CSV file r.csv is standard output\n");
}

// A second run writing a file another run holds is refused and truncates
// nothing; the chart's folder is tried at start-up, not after the whole run.
TEST(OwnOutput, FilesAnotherRunWritesAreRefused) {
    ScratchDir dir;
    spit("a.log", "one\n");
    for (const char* name : {"out.txt", "c.csv", "h.csv"}) {
        spit(name, "the other run's rows\n");
    }
    spit("c.svg.quorvex-new", "the other run's chart\n");
    for (const char* name : {"out.txt", "c.csv", "h.csv", "c.svg.quorvex-new"}) {
        const int held = open(name, O_RDWR);
        ASSERT_GE(held, 0);
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
        const std::string target = std::string(name).substr(0, std::string(name).find(".quorvex"));
        const ConfinedRun r =
            runConfined({"a.log", "/on", "o2.txt", target == "out.txt" ? "/o" : "/s", "WQVX",
                         target == "out.txt"        ? "/on"
                         : target.ends_with(".svg") ? "/plot"
                                                    : "/csv",
                         target},
                        "report.txt", "w");
        close(held);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.code, 1) << name;
        EXPECT_NE(r.errors.find("another quorvex run is writing it"), std::string::npos)
            << r.errors;
        EXPECT_NE(slurp(name).find("the other run's"), std::string::npos) << name;
    }
    fs::create_directory("ro");
    fs::permissions("ro", fs::perms::owner_read | fs::perms::owner_exec);
    const bool root = geteuid() == 0;
    const ConfinedRun r = runConfined({"a.log", "/plot", "nodir/c.svg"}, "report.txt", "w");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(slurp("report.txt").find("Processing File"), std::string::npos)
        << "found out only after the run";
    if (!root) {
        const ConfinedRun ro = runConfined({"a.log", "/plot", "ro/c.svg"}, "report.txt", "w");
        EXPECT_EQ(ro.code, 1);
    }
}

} // namespace
} // namespace qv

#endif // __linux__
