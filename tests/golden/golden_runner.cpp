// Runs one golden case through the real binary in a fresh directory and
// compares standard output, exit code and written files byte for byte.
// Case layout (see README.md beside this file):
//   args               one argument per line (after the program name)
//   input/             copied into the empty working directory first
//   mkdirs             optional: directories to create there, one per line
//   symlinks           optional: "name -> target" lines, links made there
//   expected/stdout    exact bytes of standard output
//   expected/exit      exit code (0 when absent)
//   expected/files/    each file must exist afterwards with exactly these bytes
//   expected/absent    optional: names that must not exist afterwards
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
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
    bool crlfStdout = false; // a Windows C runtime writes "\r\n" to redirected stdout
};

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
        else
            return false;
    }
    return !options.binary.empty() && !options.caseDir.empty();
}

int runBinary(const Options& options, const fs::path& work, const fs::path& capture) {
    std::string command = "cd ";
    command += shellQuote(work.string());
    command += " && ";
    if (!options.launcher.empty()) {
        command += options.launcher;
        command += ' ';
    }
    command += shellQuote(fs::absolute(options.binary).string());
    for (const std::string& arg : readLines(options.caseDir / "args")) {
        command += ' ';
        command += shellQuote(arg);
    }
    command += " > ";
    command += shellQuote(capture.string());
    command += " 2>&1 < /dev/null";
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

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << "usage: golden_runner --binary PATH --case DIR [--launcher CMD] [--update]"
                     " [--crlf-stdout]\n";
        return 2;
    }
    char pattern[] = "/tmp/qv-golden-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path root = pattern;
    const fs::path work = root / "work";
    const fs::path capture = root / "stdout";
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

    const int exitCode = runBinary(options, work, capture);
    std::string actual = readFile(capture);
    if (options.crlfStdout)
        actual = dropCR(actual);
    const fs::path expected = options.caseDir / "expected";

    if (options.update) {
        writeFile(expected / "stdout", actual);
        writeFile(expected / "exit", std::to_string(exitCode) + "\n");
        for (const auto& entry : fs::recursive_directory_iterator(work)) {
            const fs::path rel = fs::relative(entry.path(), work);
            const fs::path original = options.caseDir / "input" / rel;
            if (entry.is_regular_file() &&
                (!fs::exists(original) || readFile(original) != readFile(entry.path())))
                writeFile(expected / "files" / rel, readFile(entry.path()));
        }
        fs::remove_all(root);
        std::cout << "updated " << options.caseDir << "\n";
        return 0;
    }

    bool ok = compare("stdout", readFile(expected / "stdout"), actual);
    const std::vector<std::string> exitLines = readLines(expected / "exit");
    const int expectedExit = exitLines.empty() ? 0 : std::atoi(exitLines[0].c_str());
    if (exitCode != expectedExit) {
        std::cerr << "MISMATCH in exit code: expected " << expectedExit << ", actual " << exitCode
                  << "\n";
        ok = false;
    }
    if (fs::exists(expected / "files")) {
        for (const auto& entry : fs::recursive_directory_iterator(expected / "files")) {
            if (!entry.is_regular_file())
                continue;
            const fs::path rel = fs::relative(entry.path(), expected / "files");
            if (!fs::exists(work / rel)) {
                std::cerr << "MISSING file " << rel << "\n";
                ok = false;
                continue;
            }
            ok &= compare(rel.string(), readFile(entry.path()), readFile(work / rel));
        }
    }
    for (const std::string& name : readLines(expected / "absent")) {
        if (!name.empty() && fs::exists(work / name)) {
            std::cerr << "UNEXPECTED file " << name << "\n";
            ok = false;
        }
    }
    fs::remove_all(root);
    return ok ? 0 : 1;
}
