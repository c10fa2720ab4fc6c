// The transitions CSV and the delay chart, end to end through runProgram on
// generated logs, and the formatting they rest on.
#include "scratch_run.h"
#include "sinks/chart_stats.h"
#include "sinks/chart_text.h"
#include "sinks/transition_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string csvField(std::string_view text) {
    std::string out;
    appendCsvField(out, text);
    return out;
}

TEST(TransitionCsv, FieldsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(csvField("logs/a.log"), "logs/a.log");
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("a,b.log"), "\"a,b.log\"");
    EXPECT_EQ(csvField("say \"hi\".log"), "\"say \"\"hi\"\".log\"");
    EXPECT_EQ(csvField("a\rb"), "\"a\rb\"");
    EXPECT_EQ(csvField("a\nb"), "\"a\nb\"");
    EXPECT_EQ(csvField("\""), "\"\"\"\"");
}

TEST(TransitionCsv, FileNamesAreNeverFormulas) {
    const auto textField = [](std::string_view text) {
        std::string out;
        appendCsvTextField(out, text);
        return out;
    };
    EXPECT_EQ(textField("=cmd|' /C calc'!A0.log"), "'=cmd|' /C calc'!A0.log");
    EXPECT_EQ(textField("+1.log"), "'+1.log");
    EXPECT_EQ(textField("-2.log"), "'-2.log");
    EXPECT_EQ(textField("-"), "-"); // standard input's name
    EXPECT_EQ(textField("--"), "'--");
    EXPECT_EQ(textField("@x.log"), "'@x.log");
    EXPECT_EQ(textField("\tx.log"), "'\tx.log");
    EXPECT_EQ(textField("\rx.log"), "\"'\rx.log\""); // quoted for the CR as well
    EXPECT_EQ(textField("=a,b.log"), "\"'=a,b.log\"");
    EXPECT_EQ(textField("logs/a=b.log"), "logs/a=b.log");
    EXPECT_EQ(textField(""), "");
}

std::string timecodeText(std::uint32_t raw) {
    std::string out;
    appendTimecodeText(out, raw);
    return out;
}

TEST(TransitionCsv, TimecodeShowsTheDigitsAsRead) {
    EXPECT_EQ(timecodeText(0x01023004u), "01:02:30:04");
    EXPECT_EQ(timecodeText(0u), "00:00:00:00");
    EXPECT_EQ(timecodeText(0x0000001Au), "00:00:00:1a");
    EXPECT_EQ(timecodeText(0x7FFFFFFFu), "7f:ff:ff:ff");
    EXPECT_EQ(timecodeText(0xFFFFFFFEu), "ff:ff:ff:fe");
}

std::string xmlText(std::string_view bytes) {
    std::string out;
    appendXmlText(out, bytes);
    return out;
}

TEST(ChartText, XmlTextIsAlwaysWellFormed) {
    EXPECT_EQ(xmlText("it's <a> & \"b\""), "it&apos;s &lt;a&gt; &amp; &quot;b&quot;");
    EXPECT_EQ(xmlText("caf\xC3\xA9"), "caf\xC3\xA9");           // UTF-8 passes
    EXPECT_EQ(xmlText("caf\xE9.log"), "caf&#xE9;.log");         // a Latin-1 byte
    EXPECT_EQ(xmlText("\xC0\x80"), "&#xC0;&#x80;");             // overlong NUL
    EXPECT_EQ(xmlText("\xE2\x82"), "&#xE2;&#x82;");             // cut short
    EXPECT_EQ(xmlText("\xED\xA0\x80"), "&#xED;&#xA0;&#x80;");   // surrogate
    EXPECT_EQ(xmlText("\xF0\x9F\x93\x88"), "\xF0\x9F\x93\x88"); // beyond the BMP
    EXPECT_EQ(xmlText("\xF5\x80\x80"), "&#xF5;&#x80;&#x80;");   // no lead byte at all
    EXPECT_EQ(xmlText("\xFF\xBF\xBF\xBF"), "&#xFF;&#xBF;&#xBF;&#xBF;");
    EXPECT_EQ(xmlText(std::string_view("a\x01\tb", 4)), "a&#xFFFD;&#xFFFD;b");
    EXPECT_EQ(xmlText("a\xEF\xBF\xBE"
                      "b\xEF\xBF\xBF"),
              "a&#xFFFD;b&#xFFFD;"); // U+FFFE, U+FFFF
    EXPECT_EQ(xmlText("\xEF\xBF\xBD\xEF\xBF\xBC"),
              "\xEF\xBF\xBD\xEF\xBF\xBC"); // U+FFFD, U+FFFC pass
}

TEST(ChartText, DecimalsAndTimeLabels) {
    const auto decimal = [](double value) {
        std::string out;
        appendDecimal(out, value);
        return out;
    };
    EXPECT_EQ(decimal(3), "3");
    EXPECT_EQ(decimal(2.5), "2.5");
    EXPECT_EQ(decimal(-0.01), "0");
    EXPECT_EQ(decimal(-7.25), "-7.2");
    EXPECT_EQ(timeLabel(3 * 60 + 5), "03:05");
    EXPECT_EQ(timeLabel(23 * 60 + 59), "23:59");
    EXPECT_EQ(timeLabel(30 * 60), "30:00"); // BCD digits above 9 run past a day
}

TEST(ChartText, LongNumbersAreShortened) {
    EXPECT_EQ(compactNumber(0), "0");
    EXPECT_EQ(compactNumber(-12), "-12");
    EXPECT_EQ(compactNumber(99999999), "99999999"); // 8 digits stay
    EXPECT_EQ(compactNumber(-99999999), "-99999999");
    EXPECT_EQ(compactNumber(100000000), "1.0e8");
    EXPECT_EQ(compactNumber(2147483647), "2.1e9");
    EXPECT_EQ(compactNumber(-5183880000LL), "-5.2e9");
    EXPECT_EQ(compactNumber(12345678901234LL), "1.2e13");
    EXPECT_EQ(framesText(17), "8.5");
    EXPECT_EQ(framesText(-6), "-3");
    EXPECT_EQ(framesText(-7), "-3.5");
    EXPECT_EQ(framesText(400000000), "2.0e8");
}

TEST(ChartText, LongNamesAreCutBetweenCharacters) {
    const auto cut = [](std::string_view bytes, std::size_t chars) {
        std::string out;
        appendXmlText(out, bytes, chars);
        return out;
    };
    EXPECT_EQ(cut("short.log", 9), "short.log");
    EXPECT_EQ(cut("abcdefghij", 5), "abcd\xE2\x80\xA6");
    EXPECT_EQ(cut("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xE2\x80\xA6");
    EXPECT_EQ(cut("a&b&c", 3), "a&amp;\xE2\x80\xA6"); // an entity is one character
}

TEST(ChartText, AxesCoverTheDataInRoundSteps) {
    ValueAxis v = valueAxis(-3, 22, 6);
    EXPECT_EQ(v.lo, -5);
    EXPECT_EQ(v.hi, 25);
    EXPECT_EQ(v.step, 5);
    v = valueAxis(0, 0, 6); // one value still gets an interval
    EXPECT_EQ(v.lo, 0);
    EXPECT_EQ(v.hi, 1);
    v = valueAxis(0, 4.5, 6);
    EXPECT_EQ(v.step, 1);
    EXPECT_EQ(v.hi, 5);
}

// A log whose groups are known: each line is laid out so that its timecode
// stands at columns 65 to 72.
class LogMaker {
  public:
    explicit LogMaker(unsigned seed) : rng_(seed) {}

    struct Expected {
        bool fade;
        std::int64_t startLine, xferLine, routerLine;
        std::int64_t delays[3];
        bool sniff;
        std::string startTc;
    };

    std::string text;
    std::vector<Expected> groups;
    int broken = 0;

    void make(int count) {
        for (int i = 0; i < count; ++i) {
            clock_ += 2 * (30 + pick(600));
            noise();
            const bool breaks = pick(10) == 0;
            if (breaks) // broken off by the start of the next fade
                add("WQVX", "DOFADE:START", clock_, "broken");
            broken += breaks ? 1 : 0;
            if (!breaks && pick(3) == 0)
                mix();
            else
                fade();
        }
    }

  private:
    static constexpr const char* kTcText = "%02d:%02d:%02d:%02d";
    std::mt19937 rng_;
    std::int64_t clock_ = 1 * 216000;
    std::int64_t lines_ = 0;

    int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    // A time of day: a long log's clock passes midnight.
    static std::string timecode(std::int64_t fields, const char* format = "%02d%02d%02d%02d") {
        char text[16];
        std::snprintf(text, sizeof text, format, int(fields / 216000 % 24), int(fields / 3600 % 60),
                      int(fields / 60 % 60), int(fields % 60 / 2));
        return text;
    }
    std::int64_t add(const char* proc, const char* msg, std::int64_t fields,
                     const char* tail = "") {
        char prefix[80];
        std::snprintf(prefix, sizeof prefix, "12/08/26 01:00:00.000 %-8s %-34s", proc, msg);
        text += std::string(prefix) + timecode(fields) + " " + tail + "\n";
        return ++lines_;
    }
    void noise() {
        for (int n = pick(3); n > 0; --n)
            add("SWITCH", "TAKE bus A", clock_, "pst src 0006");
    }
    // Delays in fields: router after XFER, reverse line after router (may be
    // negative), DBGRTRTIME after XFER.
    void delays(std::int64_t& toRouter, std::int64_t& toReverse, std::int64_t& toStatus) {
        toRouter = 2 * (1 + pick(12));
        toReverse = 2 * (pick(14) - 4);
        toStatus = 2 * (4 + pick(30));
    }
    void fade() {
        std::int64_t toRouter, toReverse, toStatus;
        delays(toRouter, toReverse, toStatus);
        Expected e{true,
                   add("WQVX", "DOFADE:START", clock_, "fade"),
                   0,
                   0,
                   {},
                   false,
                   timecode(clock_, kTcText)};
        const std::int64_t xfer = clock_ + 10;
        e.xferLine = add("WQVX", "XFER XITION", xfer);
        e.routerLine = add("RTRCTL", "RTR TAKE", xfer + toRouter, "dst 0130 src 0001 lev 00");
        add("WQVX", "goto REV-BUS", xfer + toRouter + 2);
        add("WQVX", "goto REV-BLK", xfer + toRouter + toReverse);
        add("WQVX", "DBGRTRTIME", xfer + toStatus);
        e.sniff = pick(4) == 0;
        if (e.sniff)
            add("KQVX", "SNIFFER STATUS ok", xfer);
        add("WQVX", "DOFADE:DONE", xfer + toStatus + 4);
        e.delays[0] = toReverse;
        e.delays[1] = toStatus;
        e.delays[2] = toRouter;
        groups.push_back(e);
    }
    void mix() {
        std::int64_t toRouter, toReverse, toStatus;
        delays(toRouter, toReverse, toStatus);
        const std::int64_t xfer = clock_;
        Expected e{false,
                   add("WQVX", "XFER XITION", xfer, "mix"),
                   0,
                   0,
                   {},
                   false,
                   timecode(xfer, kTcText)};
        e.xferLine = e.startLine;
        add("WQVX", "DOMIX:swrtr goto rev-bus", xfer + toRouter + toReverse);
        e.routerLine = add("RTRCTL", "RTR TAKE", xfer + toRouter, "dst 0130 src 0002 lev 00");
        add("WQVX", "DBGRTRTIME", xfer + toStatus);
        add("WQVX", "DOMIX:swrtr trans done", xfer + toStatus + 4);
        e.delays[0] = toReverse;
        e.delays[1] = toStatus;
        e.delays[2] = toRouter;
        groups.push_back(e);
    }
};

class SideOutputs : public test::ScratchRun {};

struct CsvRow {
    std::vector<std::string> fields;
};

// RFC 4180 reader: rows end in CRLF, quoted fields may hold anything.
std::vector<CsvRow> parseCsv(const std::string& text) {
    std::vector<CsvRow> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().fields.push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().fields.push_back(field);
            field.clear();
            rows.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    rows.pop_back(); // after the last CRLF
    return rows;
}

// min/max/avg of one delay as the run summary prints it.
std::string summaryRow(const std::vector<CsvRow>& rows, std::size_t column) {
    long long min = 65535, max = 0, sum = 0;
    for (const CsvRow& row : rows) {
        const long long value = std::stoll(row.fields[column]);
        min = std::min(min, value);
        max = std::max(max, value);
        sum += value;
    }
    char text[64];
    std::snprintf(text, sizeof text, "[%3lld %3lld %2lld]", min, max,
                  sum / static_cast<long long>(rows.size()));
    return text;
}

TEST_F(SideOutputs, CsvRowsAddUpToTheRunSummary) {
    LogMaker maker(7);
    maker.make(400);
    writeFile("day.log", maker.text);
    ASSERT_EQ(run({"day.log", "/sum", "/csv", "rows.csv"}), 0);
    std::vector<CsvRow> rows = parseCsv(readFile("rows.csv"));
    ASSERT_FALSE(rows.empty());
    ASSERT_EQ(rows.front().fields.size(), 14u);
    EXPECT_EQ(rows.front().fields[13], "rtrcmd2mx_sound");
    rows.erase(rows.begin()); // header
    ASSERT_EQ(rows.size(), maker.groups.size());
    long long sums[3] = {}, expectedSums[3] = {};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::vector<std::string>& f = rows[i].fields;
        const LogMaker::Expected& e = maker.groups[i];
        ASSERT_EQ(f.size(), 14u);
        EXPECT_EQ(f[0], "day.log");
        EXPECT_EQ(f[1], std::to_string(i));
        EXPECT_EQ(f[2], e.fade ? "FADE" : "MIX");
        EXPECT_EQ(f[3], std::to_string(e.startLine));
        EXPECT_EQ(f[4], e.startTc);
        EXPECT_EQ(f[5], std::to_string(e.xferLine));
        EXPECT_EQ(f[6], std::to_string(e.routerLine));
        for (int d = 0; d < 3; ++d) {
            EXPECT_EQ(f[7 + static_cast<std::size_t>(d)], std::to_string(e.delays[d])) << i;
            sums[d] += std::stoll(f[7 + static_cast<std::size_t>(d)]);
            expectedSums[d] += e.delays[d];
        }
        EXPECT_EQ(f[10], e.sniff ? "YES" : "NO");
        for (std::size_t d = 11; d < 14; ++d)
            EXPECT_EQ(f[d], "YES") << i; // the maker writes only sound timecodes
    }
    for (int d = 0; d < 3; ++d)
        EXPECT_EQ(sums[d], expectedSums[d]) << d;
    EXPECT_NE(console.find("\tRev2Router    delta[min/max/avg] " + summaryRow(rows, 7)),
              std::string::npos);
    EXPECT_NE(console.find("\tRtrCmd2Status delta[min/max/avg] " + summaryRow(rows, 8)),
              std::string::npos);
    EXPECT_NE(console.find("\tRtrCmd2MX     delta[min/max/avg] " + summaryRow(rows, 9)),
              std::string::npos);
}

// The "TRANS Block errors" count of each file's run summary, by file name.
std::map<std::string, long long> summaryBlockErrors(const std::string& console) {
    std::map<std::string, long long> counts;
    const std::string banner = "**** Processing File ";
    const std::string errors = "\tTRANS Block errors  ";
    for (std::size_t at = console.find(banner); at != std::string::npos;
         at = console.find(banner, at + 1)) {
        const std::size_t nameAt = at + banner.size();
        const std::string name = console.substr(nameAt, console.find(" ****", nameAt) - nameAt);
        const std::size_t next = console.find(banner, nameAt);
        const std::size_t count = console.find(errors, nameAt);
        counts[name] = count < next ? std::stoll(console.substr(count + errors.size())) : 0;
    }
    return counts;
}

// Rows of /hours checked against the /csv rows of the same run: per file and
// hour the group count, per file and delay the sum behind the averages, and
// per file the block errors of the summary; hours of the day come first,
// from the file's first hour on.
TEST_F(SideOutputs, HourlyRowsAddUpToTheCsvRowsAndTheSummary) {
    LogMaker first(11), second(12);
    first.make(9000); // from 01:00 past midnight
    second.make(700);
    ASSERT_GT(first.broken, 0);
    writeFile("a.log", first.text);
    writeFile("b.log", second.text);
    ASSERT_EQ(run({"*.log", "/multi", "/sum", "/csv", "rows.csv", "/hours", "hours.csv"}), 0);
    std::vector<CsvRow> groups = parseCsv(readFile("rows.csv"));
    std::vector<CsvRow> hours = parseCsv(readFile("hours.csv"));
    ASSERT_EQ(hours.front().fields.size(), 22u);
    EXPECT_EQ(hours.front().fields[18], "rtrcmd2mx_avg");
    EXPECT_EQ(hours.front().fields[21], "rtrcmd2mx_unsound");
    groups.erase(groups.begin());
    hours.erase(hours.begin());
    const std::map<std::string, long long> blockErrors = summaryBlockErrors(console);
    ASSERT_EQ(blockErrors.size(), 2u);
    EXPECT_EQ(blockErrors.at("a.log"), first.broken);
    for (const std::string& file : {std::string("a.log"), std::string("b.log")}) {
        std::map<std::string, long long> groupsPerHour;
        double csvSums[3] = {}, hourSums[3] = {};
        for (const CsvRow& row : groups) {
            if (row.fields[0] != file)
                continue;
            ++groupsPerHour[row.fields[4].substr(0, 2)];
            for (std::size_t d = 0; d < 3; ++d)
                csvSums[d] += std::stod(row.fields[7 + d]);
        }
        long long groupCount = 0, errorCount = 0;
        int firstHour = -1, lastKey = -1;
        for (const CsvRow& row : hours) {
            const std::vector<std::string>& f = row.fields;
            if (f[0] != file)
                continue;
            const long long n = std::stoll(f[2]);
            EXPECT_EQ(n, groupsPerHour[f[1]]) << file << " hour " << f[1];
            groupCount += n;
            errorCount += std::stoll(f[3]);
            for (std::size_t d = 0; d < 3 && n > 0; ++d)
                hourSums[d] += static_cast<double>(n) * std::stod(f[8 + 5 * d]);
            const int hour = std::stoi(f[1]);
            if (firstHour < 0)
                firstHour = hour;
            const int key = hour < 24 ? (hour - firstHour + 24) % 24 : hour;
            EXPECT_GT(key, lastKey) << file << " hour " << f[1];
            lastKey = key;
        }
        EXPECT_EQ(groupCount, static_cast<long long>(std::count_if(
                                  groups.begin(), groups.end(),
                                  [&file](const CsvRow& r) { return r.fields[0] == file; })));
        EXPECT_EQ(errorCount, blockErrors.at(file)) << file;
        for (std::size_t d = 0; d < 3; ++d)
            EXPECT_NEAR(hourSums[d], csvSums[d], 0.05 * static_cast<double>(groupCount))
                << file << " delay " << d;
    }
    // a.log runs from 01:00 past midnight into the next morning: its rows go
    // from "01" round the clock to "00", each hour's groups of both days in
    // one row, then b.log's.
    const auto firstOfB = std::find_if(hours.begin(), hours.end(),
                                       [](const CsvRow& r) { return r.fields[0] == "b.log"; });
    ASSERT_EQ(firstOfB - hours.begin(), 24);
    EXPECT_EQ(hours.front().fields[1], "01");
    EXPECT_EQ(firstOfB[-1].fields[1], "00");
}

TEST_F(SideOutputs, EveryFileOfAPatternRunGetsItsRowsAndPanel) {
    LogMaker first(1), second(2);
    first.make(30);
    second.make(45);
    writeFile("a.log", first.text);
    writeFile("b.log", second.text);
    writeFile("c.log", "no transitions here\n");
    ASSERT_EQ(run({"*.log", "/multi", "/csv", "rows.csv", "/plot", "d.svg"}), 0);
    std::vector<CsvRow> rows = parseCsv(readFile("rows.csv"));
    rows.erase(rows.begin());
    const auto rowsOf = [&rows](const std::string& file) {
        return std::count_if(rows.begin(), rows.end(),
                             [&file](const CsvRow& r) { return r.fields[0] == file; });
    };
    EXPECT_EQ(rowsOf("a.log"), 30);
    EXPECT_EQ(rowsOf("b.log"), 45);
    EXPECT_EQ(rows.size(), 75u);
    EXPECT_EQ(rows[30].fields[1], "0"); // group numbers restart per file
    const std::string svg = readFile("d.svg");
    const auto title = [](const std::string& file, const LogMaker& maker) {
        return file + ": " + std::to_string(maker.groups.size()) + " transitions, " +
               std::to_string(maker.broken) + " block errors";
    };
    ASSERT_GT(first.broken + second.broken, 0);
    EXPECT_NE(svg.find(title("a.log", first)), std::string::npos);
    EXPECT_NE(svg.find(title("b.log", second)), std::string::npos);
    EXPECT_NE(svg.find("c.log: 0 transitions, 0 block errors, 1 lines"), std::string::npos);
    EXPECT_NE(svg.find("no completed transitions"), std::string::npos);
    EXPECT_NE(svg.find("a.log: 30 groups with sound delays"), std::string::npos); // overview
    EXPECT_EQ(svg.find("<script"), std::string::npos);
    EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
}

// The limits of /limit reach the chart; without /limit it draws none.
TEST_F(SideOutputs, LimitsAreDrawnOnTheChart) {
    LogMaker maker(3);
    maker.make(200);
    writeFile("a.log", maker.text);
    const int code = run({"a.log", "/sum", "/limit", "RtrCmd2MX:21", "/plot", "l.svg"});
    EXPECT_TRUE(code == 0 || code == 3) << code;
    EXPECT_NE(readFile("l.svg").find("limit rtrcmd2mx 10.5 fr"), std::string::npos);
    ASSERT_EQ(run({"a.log", "/sum", "/plot", "n.svg"}), 0);
    EXPECT_EQ(readFile("n.svg").find("limit "), std::string::npos);
}

TEST_F(SideOutputs, FileNamesAreQuotedInTheCsvAndEscapedInTheChart) {
#ifdef _WIN32
    const std::string name = "it's&co,a.log"; // Windows names hold no quote
    const std::string quoted = "\"it's&co,a.log\"";
#else
    const std::string name = "it's&co,\"a\".log";
    const std::string quoted = "\"it's&co,\"\"a\"\".log\"";
#endif
    LogMaker maker(3);
    maker.make(1);
    writeFile(name, maker.text);
    ASSERT_EQ(run({name, "/csv", "rows.csv", "/plot", "c.svg"}), 0);
    const std::vector<CsvRow> rows = parseCsv(readFile("rows.csv"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].fields[0], name);
    const std::string csv = readFile("rows.csv");
    EXPECT_EQ(csv.find(quoted + ",0,"), csv.find("\r\n") + 2); // the first row begins with it
    const std::string svg = readFile("c.svg");
    EXPECT_NE(svg.find("it&apos;s&amp;co,"), std::string::npos);
}

TEST_F(SideOutputs, TenThousandGroupsKeepTheChartSmall) {
    LogMaker maker(5);
    maker.make(10000);
    writeFile("big.log", maker.text);
    ASSERT_EQ(run({"big.log", "/sum", "/plot", "big.svg"}), 0);
    const std::string svg = readFile("big.svg");
    EXPECT_NE(svg.find(": 10000 transitions"), std::string::npos);
    EXPECT_LT(svg.size(), 100u * 1024);
}

TEST_F(SideOutputs, NamesThatWouldDestroyAFileAreRefused) {
    writeFile("a.log", "x\n");
    EXPECT_EQ(run({"a.log", "/csv", "a.log"}), 1);
    EXPECT_EQ(console.substr(console.rfind("CSV")), "CSV file a.log is the log file\n");
    EXPECT_EQ(readFile("a.log"), "x\n");
    EXPECT_EQ(run({"a.log", "/plot", "a.log"}), 1);
    EXPECT_EQ(readFile("a.log"), "x\n");
    EXPECT_EQ(run({"a.log", "/on", "o.txt", "/csv", "o.txt"}), 1);
    EXPECT_NE(console.find(" is the output file\n"), std::string::npos);
    EXPECT_EQ(run({"a.log", "/csv", "r.csv", "/plot", "r.csv"}), 1);
    EXPECT_NE(console.find("Chart file r.csv is the CSV file\n"), std::string::npos);
    EXPECT_EQ(run({"a.log", "/hours", "a.log"}), 1);
    EXPECT_EQ(readFile("a.log"), "x\n");
    EXPECT_EQ(run({"a.log", "/on", "o.txt", "/hours", "o.txt"}), 1);
    EXPECT_NE(console.find("Hours file o.txt is the output file\n"), std::string::npos);
    EXPECT_EQ(run({"a.log", "/hours", "h.csv", "/plot", "h.csv"}), 1);
    EXPECT_NE(console.find("Hours file h.csv is the chart file\n"), std::string::npos);
}

TEST_F(SideOutputs, AFailedWriteEndsTheRunWithExitCode1) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    LogMaker maker(4);
    maker.make(3);
    writeFile("a.log", maker.text);
    EXPECT_EQ(run({"a.log", "/csv", "/dev/full"}), 1);
    EXPECT_EQ(console.substr(console.rfind("Error")), "Error writing /dev/full\n");
    EXPECT_EQ(run({"a.log", "/plot", "/dev/full"}), 1);
    EXPECT_EQ(console.substr(console.rfind("Error")), "Error writing /dev/full\n");
    // A breached limit does not hide the error: 1, not 3.
    EXPECT_EQ(run({"a.log", "/hours", "/dev/full", "/limit", "rtrcmd2mx:0"}), 1);
    EXPECT_EQ(console.substr(console.rfind("Error")), "Error writing /dev/full\n");
    EXPECT_NE(console.find("    Analyzed "), std::string::npos); // after the normal output
}

} // namespace
} // namespace qv

namespace qv {
namespace {

// From the first banner on: the option echo tells the two readings apart.
std::string fromFirstBanner(const std::string& console) {
    const std::size_t at = console.find("**** Processing File ");
    return at == std::string::npos ? std::string() : console.substr(at);
}

// What a shell makes of an unquoted pattern reads as the quoted pattern:
// the same report, files and exit code, a breach in a later file included.
TEST_F(SideOutputs, ListOfLogsReadsAsTheMatchingPattern) {
    LogMaker first(21), second(22);
    first.make(12);
    second.make(20);
    writeFile("a.log", first.text);
    writeFile("b.log", second.text);
    writeFile("c.log", "no transitions here\n");
    const int listed = run({"a.log", "b.log", "nosuch.log", "c.log", "/sum", "/csv", "l.csv",
                            "/limit", "rtrcmd2mx:0"});
    const std::string listConsole = console;
    const std::string listCsv = readFile("l.csv");
    const int pattern = run({"?.log", "/multi", "/sum", "/csv", "l.csv", "/limit", "rtrcmd2mx:0"});
    EXPECT_EQ(listed, 3);
    EXPECT_EQ(pattern, listed);
    ASSERT_FALSE(fromFirstBanner(listConsole).empty());
    EXPECT_EQ(fromFirstBanner(listConsole), fromFirstBanner(console));
    EXPECT_EQ(listCsv, readFile("l.csv"));
    // A log named as an output among the names is refused before it is truncated.
    EXPECT_EQ(run({"a.log", "b.log", "/csv", "b.log"}), 1);
    EXPECT_EQ(readFile("b.log"), second.text);
    EXPECT_EQ(run({"a.log", "b.log", "/follow"}), 1);
}

} // namespace
} // namespace qv

namespace qv {
namespace {

// The chart takes the old one's place whole; its temporary file is one of
// the run's own files, which a pattern run never reads, and is gone after.
TEST_F(SideOutputs, ChartReplacesTheOldOneAndItsTemporaryFileIsNeverALog) {
    LogMaker maker(31);
    maker.make(5);
    writeFile("a.log", maker.text);
    writeFile("c.svg", "<?xml an old chart");
    ASSERT_EQ(run({"*", "/multi", "/plot", "c.svg"}), 0);
    EXPECT_EQ(console.find("quorvex-new"), std::string::npos);
    EXPECT_EQ(console.find("Processing File c.svg"), std::string::npos);
    EXPECT_NE(console.find("Processing File a.log"), std::string::npos);
#ifndef _WIN32 // symbolic links want privileges there
    fs::create_symlink("c.svg", "link.svg");
    ASSERT_EQ(run({"a.log", "/plot", "link.svg"}), 0);
    EXPECT_TRUE(fs::is_symlink("link.svg")); // the link stays, its target is replaced
#else
    ASSERT_EQ(run({"a.log", "/plot", "c.svg"}), 0);
#endif
    const std::string svg = readFile("c.svg");
    EXPECT_EQ(svg.rfind("<?xml ", 0), 0u);
    EXPECT_NE(svg.find(": 5 transitions, "), std::string::npos); // this run's chart
    EXPECT_FALSE(fs::exists("c.svg.quorvex-new"));
    // A run that ends early leaves the old chart and no temporary file.
    ASSERT_EQ(run({"missing.log", "/plot", "c.svg"}), 1);
    EXPECT_EQ(readFile("c.svg"), svg);
    EXPECT_FALSE(fs::exists("c.svg.quorvex-new"));
}

} // namespace
} // namespace qv
