// The delay chart: what the picture must show, checked on generated logs run
// through the program and on records handed to the chart directly: the delay
// axis that wild values cannot move, the time axis in log order, the overview
// and hour-of-day figures against the CSV, its size, its names as XML.
#include "platform/replacing_file.h"
#include "scratch_run.h"
#include "sinks/chart_timeline.h"
#include "sinks/delay_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace qv {
namespace {

const Timebase kTimebase;
const std::int32_t kHour = static_cast<std::int32_t>(kTimebase.fieldsPerHour());
const std::int32_t kMinute = kHour / 60;

// ---- the parts of an SVG document the tests look at

std::string attribute(const std::string& tag, const std::string& name) {
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos)
        return {};
    const std::size_t from = at + name.size() + 3;
    return tag.substr(from, tag.find('"', from) - from);
}

std::string unescape(const std::string& data) {
    static const std::map<std::string, char> entities = {{"&lt;", '<'},   {"&gt;", '>'},
                                                         {"&quot;", '"'}, {"&apos;", '\''},
                                                         {"&amp;", '&'},  {"&#10;", '\n'}};
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t end = data[i] == '&' ? data.find(';', i) : std::string::npos;
        const auto entity =
            end == std::string::npos ? entities.end() : entities.find(data.substr(i, end - i + 1));
        if (entity == entities.end()) {
            out += data[i];
            continue;
        }
        out += entity->second;
        i = end;
    }
    return out;
}

// The texts of the elements `<tag class="cls" ...>text</tag>`, with the x of each.
struct Element {
    double x;
    std::string text;
};
std::vector<Element> elements(const std::string& svg, const std::string& tag,
                              const std::string& cls) {
    std::vector<Element> found;
    const std::string open = "<" + tag + " class=\"" + cls + "\"";
    for (std::size_t at = svg.find(open); at != std::string::npos; at = svg.find(open, at + 1)) {
        const std::size_t close = svg.find('>', at);
        const std::size_t end = svg.find("</" + tag + ">", close);
        const std::string x = attribute(svg.substr(at, close - at), "x");
        found.push_back(
            {x.empty() ? 0 : std::stod(x), unescape(svg.substr(close + 1, end - close - 1))});
    }
    return found;
}

std::vector<std::string> textsOfClass(const std::string& svg, const std::string& cls) {
    std::vector<std::string> texts;
    for (const Element& e : elements(svg, "text", cls))
        texts.push_back(e.text);
    return texts;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The hover texts of the columns of the statistics views, by their first line's head.
std::map<std::string, std::string> columnTips(const std::string& svg) {
    std::map<std::string, std::string> tips;
    for (const Element& e : elements(svg, "rect", "column")) {
        std::string tip = e.text.substr(e.text.find("<title>") + 7);
        tip = tip.substr(0, tip.find("</title>"));
        tips[tip.substr(0, tip.find(": "))] = tip;
    }
    return tips;
}

// ---- generated logs run through the program

// Logs of mixes and fades opening at chosen times of day, each line laid out
// so that its timecode stands at columns 65 to 72. A group's router line can
// carry a timecode that is misread (no time of day) or wild (a time of day
// hours away from the truth).
class ChartLog {
  public:
    enum class Fault { None, Misread, Wild };

    std::string text;

    void fade(std::int64_t at, int toRouter, int toReverse, int toStatus, Fault fault) {
        line("DOFADE:START", at);
        const std::int64_t xfer = at + 10;
        line("XFER XITION", xfer);
        line("RTR TAKE", xfer + toRouter, fault, "RTRCTL", "dst 0130 src 0001 lev 00");
        line("goto REV-BUS", xfer + toRouter + 2);
        line("goto REV-BLK", xfer + toRouter + toReverse);
        line("DBGRTRTIME", xfer + toStatus);
        line("DOFADE:DONE", xfer + toStatus + 4);
    }
    /// `count` groups from `from`, one every `every` fields, delays of a
    /// normal day times `scale`; `fault` says which of them are broken.
    template <typename Fault>
    void day(std::int64_t from, std::int64_t every, int count, unsigned seed, int scale,
             Fault fault) {
        std::mt19937 rng(seed);
        const auto pick = [&rng](int lo, int hi) {
            return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1));
        };
        for (int i = 0; i < count; ++i) {
            const int router = 2 * scale * pick(1, 8), reverse = 2 * pick(-2, 5),
                      status = 2 * scale * pick(8, 24);
            fade(from + i * every, router, reverse, status, fault(i));
        }
    }
    void day(std::int64_t from, std::int64_t every, int count, unsigned seed, int scale = 1) {
        day(from, every, count, seed, scale, [](int) { return Fault::None; });
    }

  private:
    void line(const char* message, std::int64_t fields, Fault fault = Fault::None,
              const char* process = "WQVX", const char* tail = "") {
        std::int64_t day = fields % (24 * kHour);
        if (fault == Fault::Wild)
            day = (day + 5 * kHour + 17 * kMinute) % (24 * kHour);
        char prefix[80], code[48];
        std::snprintf(prefix, sizeof prefix, "12/08/26 01:00:00.000 %-8s %-34s", process, message);
        std::snprintf(code, sizeof code, "%02d%02d%02d%02d", int(day / kHour),
                      int(day / kMinute % 60), int(day / 60 % 60), int(day % 60 / 2));
        if (fault == Fault::Misread)
            code[0] = '9', code[1] = 'a';
        text += std::string(prefix) + code + " " + tail + "\n";
    }
};

class ChartRun : public test::ScratchRun {
  protected:
    std::string chartOf(const ChartLog& log) {
        writeFile("one.log", log.text);
        EXPECT_EQ(run({"one.log", "/sum", "/plot", "one.svg"}), 0);
        return readFile("one.svg");
    }
};

TEST_F(ChartRun, UpToAQuarterOfWildValuesLeaveTheDelayAxisAlone) {
    using Fault = ChartLog::Fault;
    const auto every = [](int n) { return [n](int i) { return i % n == 0; }; };
    ChartLog clean;
    clean.day(6 * kHour, 1200, 2400, 4, 1,
              [](int i) { return i % 4 == 0 ? Fault::Misread : Fault::None; });
    const std::string base = chartOf(clean);
    const std::vector<std::string> axis = textsOfClass(base, "delay-tick");
    ASSERT_GE(axis.size(), 3u);
    EXPECT_LE(std::stod(axis.front()), 0); // not flat: the day's delays span most of it
    EXPECT_LE(std::stod(axis.back()) - std::stod(axis.front()), 50);
    EXPECT_TRUE(textsOfClass(base, "pinned").empty());
    for (int n : {20, 10, 4}) { // 5 %, 10 % and 25 % wild
        ChartLog wild;
        wild.day(6 * kHour, 1200, 2400, 4, 1, [n, &every](int i) {
            return i % 4 == 0 ? (every(n)(i) ? Fault::Wild : Fault::Misread) : Fault::None;
        });
        // The same sound groups and, among them, wild ones in place of misread ones.
        const std::string svg = chartOf(wild);
        EXPECT_EQ(textsOfClass(svg, "delay-tick"), axis) << n;
        EXPECT_FALSE(textsOfClass(svg, "pinned").empty()) << n; // counted at the edge
    }
}

TEST_F(ChartRun, AnOvernightLogKeepsItsOrderPastMidnight) {
    ChartLog log;
    log.day(22 * kHour, 2400, 360, 1); // 22:00 to 01:59:20, one every 40 s
    const std::string svg = chartOf(log);
    EXPECT_EQ(textsOfClass(svg, "time-tick"),
              (std::vector<std::string>{"22:00", "22:30", "23:00", "23:30", "00:00", "00:30",
                                        "01:00", "01:30", "02:00"}));
    const std::vector<Element> ticks = elements(svg, "text", "time-tick");
    EXPECT_TRUE(std::is_sorted(ticks.begin(), ticks.end(),
                               [](const Element& a, const Element& b) { return a.x <= b.x; }));
    EXPECT_EQ(textsOfClass(svg, "day"), std::vector<std::string>{"day 2"});
}

TEST_F(ChartRun, AClockSetBackStartsANewStretchOfTheAxis) {
    ChartLog log;
    log.day(10 * kHour, kMinute, 60, 2);                // 10:00 to 10:59
    log.day(10 * kHour + 30 * kMinute, kMinute, 60, 3); // set back to 10:30
    const std::string svg = chartOf(log);
    EXPECT_EQ(
        textsOfClass(svg, "time-tick"),
        (std::vector<std::string>{"10:00", "10:10", "10:20", "10:30", "10:40", "10:50", "11:00",
                                  "11:10", "11:20", "11:30", "11:40", "11:50", "12:00"}));
    EXPECT_EQ(textsOfClass(svg, "set-back"), std::vector<std::string>{"clock set back to 10:30"});
}

// ---- the figures of the overview and of the hours against the CSV

using Rows = std::vector<std::map<std::string, std::string>>;

// The CSV's rows by column name (the names the tests use hold no quotes).
Rows csvRows(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> header;
    Rows rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ',');)
            fields.push_back(field);
        if (header.empty()) {
            header = fields;
            continue;
        }
        auto& row = rows.emplace_back();
        for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i)
            row[header[i]] = fields[i];
    }
    return rows;
}

// "Rev2Router median 3, 5-95% 1 to 6.5, max 8" in frames, from the delays in fields.
std::string expectedLine(const char* name, std::vector<std::int64_t> fields) {
    std::sort(fields.begin(), fields.end());
    const auto rank = [&fields](double percent) {
        const auto r = static_cast<std::size_t>(std::ceil(percent / 100 * double(fields.size())));
        return fields[std::max<std::size_t>(r, 1) - 1];
    };
    const auto frames = [](std::int64_t f) {
        return std::to_string(f / 2) + (f % 2 != 0 ? ".5" : "");
    };
    return std::string(name) + " median " + frames(rank(50)) + ", 5-95% " + frames(rank(5)) +
           " to " + frames(rank(95)) + ", max " + frames(fields.back());
}

void expectFigures(const std::string& tip, const Rows& rows) {
    ASSERT_FALSE(rows.empty()) << tip;
    EXPECT_NE(tip.find(": " + std::to_string(rows.size()) + " groups with sound delays"),
              std::string::npos)
        << tip;
    const char* names[] = {"Rev2Router", "RtrCmd2Status", "RtrCmd2MX"};
    const char* columns[] = {"rev2router", "rtrcmd2status", "rtrcmd2mx"};
    for (int d = 0; d < 3; ++d) {
        std::vector<std::int64_t> fields;
        for (const auto& row : rows)
            fields.push_back(std::stoll(row.at(columns[d])));
        std::string line = "\n";
        line += expectedLine(names[d], fields);
        EXPECT_NE(tip.find(line), std::string::npos) << tip << "\nexpected" << line;
    }
}

TEST_F(ChartRun, OverviewAndHoursAgreeWithTheCsv) {
    ChartLog a, b, c;
    a.day(1 * kHour, 1800, 400, 11);                   // 01:00 to 04:19
    b.day(2 * kHour + 30 * kMinute, 1500, 300, 12, 2); // slower, 02:30 to 04:34
    c.day(23 * kHour, 2000, 250, 13);                  // overnight to 01:18
    c.day(3 * kHour, 900, 100, 14, 4);                 // and a slow spell at 03:00
    writeFile("a.log", a.text);
    writeFile("b.log", b.text);
    writeFile("c.log", c.text);
    ASSERT_EQ(run({"*.log", "/multi", "/sum", "/csv", "rows.csv", "/plot", "all.svg"}), 0);
    const Rows rows = csvRows(readFile("rows.csv"));
    ASSERT_EQ(rows.size(), 1050u);
    const std::map<std::string, std::string> tips = columnTips(readFile("all.svg"));
    std::map<std::string, Rows> byFile, byHour;
    for (const auto& row : rows) {
        byFile[row.at("file")].push_back(row);
        byHour["hour " + row.at("start_tc").substr(0, 2)].push_back(row);
    }
    ASSERT_EQ(byHour.size(), 6u); // 23, 00 to 04
    for (const auto& [head, part] : byFile) {
        ASSERT_EQ(tips.count(head), 1u) << head;
        expectFigures(tips.at(head), part);
    }
    for (const auto& [head, part] : byHour) {
        ASSERT_EQ(tips.count(head), 1u) << head;
        expectFigures(tips.at(head), part);
    }
    // Hours without groups have a column and no figures.
    EXPECT_EQ(tips.at("hour 12").find(" median "), std::string::npos);
    EXPECT_EQ(tips.size(), 3u + 24u);
}

// ---- records handed to the chart directly

TransitionRecord record(std::int32_t start, std::int64_t rev, std::int64_t status,
                        std::int64_t mx) {
    TransitionRecord r;
    r.startFields = start;
    const std::int32_t seconds = start / 60;
    const auto bcd = [](int v) { return static_cast<std::uint32_t>(v / 10 * 16 + v % 10); };
    r.startTimecode =
        bcd(seconds / 3600) << 24 | bcd(seconds / 60 % 60) << 16 | bcd(seconds % 60) << 8;
    r.delays[0] = rev, r.delays[1] = status, r.delays[2] = mx;
    return r;
}

void addDay(DelayChart& chart, const std::string& name, int count, unsigned seed) {
    std::mt19937 rng(seed);
    const auto pick = [&rng](int lo, int hi) {
        return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1));
    };
    chart.beginFile(name);
    const std::int32_t every = static_cast<std::int32_t>(kTimebase.fieldsPerDay() / count);
    for (int i = 0; i < count; ++i)
        chart.group(record(i * every, 2 * pick(-3, 6), 2 * pick(8, 30), 2 * pick(1, 12)));
    FileSummaryFigures figures;
    figures.transitions = count;
    chart.endFile(figures);
}

std::string nameOf(const char* stem, int number) {
    std::string name = stem;
    name += std::to_string(number);
    name += ".log";
    return name;
}

TEST(DelayChart, AMonthStaysUnderAMegabyteAndManyFilesLeaveTheirPanelsOut) {
    DelayChart month;
    for (int day = 1; day <= 31; ++day)
        addDay(month, nameOf("day", day), 8640, static_cast<unsigned>(day));
    const std::string svg = month.document();
    EXPECT_LT(svg.size(), 1024u * 1024);
    EXPECT_EQ(countOf(svg, "<g class=\"panel\">"), 31u);
    EXPECT_EQ(countOf(svg, "<rect class=\"column\""), 31u + 24u);
    EXPECT_TRUE(textsOfClass(svg, "note").empty());

    DelayChart many;
    for (int i = 0; i < 500; ++i)
        addDay(many, nameOf("f", i), 3, static_cast<unsigned>(i));
    const std::string big = many.document();
    EXPECT_EQ(countOf(big, "<g class=\"panel\">"), DelayChart::kMaxPanels);
    EXPECT_EQ(textsOfClass(big, "note"),
              std::vector<std::string>{
                  "The panels of the other 469 files are left out: only the first 31 are drawn."});
    EXPECT_EQ(countOf(big, "<rect class=\"column\""), DelayChart::kMaxColumns + 24);
    EXPECT_NE(big.find(".log +1: 6 groups with sound delays"),
              std::string::npos); // two files a column
}

// True when `text` is UTF-8 that XML 1.0 takes as character data.
bool xmlCharacters(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int extra = c < 0x80                ? 0
                          : c >= 0xC2 && c < 0xE0 ? 1
                          : c >= 0xE0 && c < 0xF0 ? 2
                          : c >= 0xF0 && c < 0xF5 ? 3
                                                  : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size() + (extra == 0))
            return false;
        std::uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000) || cp == 0xFFFE ||
            cp == 0xFFFF || (cp < 0x20 && cp != '\n'))
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

TEST(DelayChart, AnyFileNameMakesWellFormedXml) {
    std::mt19937 rng(23);
    for (int round = 0; round < 300; ++round) {
        std::string name;
        const int length = 1 + static_cast<int>(rng() % 24);
        for (int i = 0; i < length; ++i) {
            const unsigned r = rng() % 8;
            // Lead bytes F5-FF and C0-C1 followed by continuation bytes, the
            // markup characters, and plain letters.
            name += r == 0   ? static_cast<char>(0xF5 + rng() % 11)
                    : r == 1 ? static_cast<char>(0x80 + rng() % 64)
                    : r == 2 ? static_cast<char>(0xC0 + rng() % 64)
                    : r == 3 ? "<&>\"'"[rng() % 5]
                    : r == 4 ? static_cast<char>(rng() % 32)
                             : static_cast<char>('a' + rng() % 26);
        }
        DelayChart chart;
        chart.beginFile(name);
        chart.group(record(3 * kHour, 2, 20, 4));
        chart.endFile({});
        chart.beginFile(name + name); // the overview's labels too
        chart.endFile({});
        const std::string svg = chart.document();
        ASSERT_TRUE(xmlCharacters(svg)) << round;
        for (std::size_t at = svg.find('&'); at != std::string::npos; at = svg.find('&', at + 1))
            ASSERT_TRUE(svg.compare(at, 2, "&#") == 0 || svg.compare(at, 4, "&lt;") == 0 ||
                        svg.compare(at, 4, "&gt;") == 0 || svg.compare(at, 5, "&amp;") == 0 ||
                        svg.compare(at, 6, "&quot;") == 0 || svg.compare(at, 6, "&apos;") == 0)
                << round << ": " << svg.substr(at, 8);
        // A markup character of the name never reaches the document raw.
        const std::size_t title = svg.find("<text class=\"panel-title\"");
        const std::string text = svg.substr(svg.find('>', title) + 1,
                                            svg.find("</text>", title) - svg.find('>', title) - 1);
        EXPECT_EQ(text.find_first_of("<>\"'"), std::string::npos) << round;
    }
}

class ChartFiles : public test::ScratchRun {};

TEST_F(ChartFiles, AReplacedChartIsWholeAndLeavesNoPartBehind) {
    DelayChart chart;
    addDay(chart, "a.log", 100, 1);
    ReplacingFile file("c.svg");
    ASSERT_TRUE(file.isOpen()) << file.errorText();
    chart.write(file.writer());
    ASSERT_TRUE(file.commit(true)) << file.errorText();
    EXPECT_EQ(readFile("c.svg"), chart.document());
    addDay(chart, "b.log", 100, 2);
    chart.write(file.writer());
    ASSERT_TRUE(file.commit(false)) << file.errorText(); // over the old one
    EXPECT_EQ(readFile("c.svg"), chart.document());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(ReplacingFile("no-such-folder/c.svg").isOpen());
}

// ---- the time axis

std::vector<ChartPoint> timedPoints(const std::vector<std::int32_t>& times) {
    std::vector<ChartPoint> points;
    for (std::int32_t t : times)
        points.push_back({t, {0, 0, 0}, true, kNoHour});
    return points;
}

std::vector<std::int32_t> axisPlaces(const std::vector<ChartPoint>& points) {
    std::vector<std::int32_t> places;
    for (const ChartPoint& p : points)
        places.push_back(p.timed ? p.time : -1);
    return places;
}

TEST(ChartTimeline, ClockStepsTakeTheShortWayRound) {
    EXPECT_EQ(clockStep(10 * kHour, 11 * kHour, kTimebase), kHour);
    EXPECT_EQ(clockStep(23 * kHour + 59 * kMinute, kMinute, kTimebase), 2 * kMinute);
    EXPECT_EQ(clockStep(kMinute, 23 * kHour, kTimebase), -kHour - kMinute);
    EXPECT_EQ(clockStep(13 * kHour, kHour, kTimebase), -12 * kHour); // exactly half a day
}

TEST(ChartTimeline, AClockSetBackStartsASegmentAfterTheGroupsSoFar) {
    const std::int32_t ten = 10 * kHour;
    std::vector<ChartPoint> points =
        timedPoints({ten, ten + 30 * kMinute, ten + 27 * kMinute, ten + 60 * kMinute,
                     ten + 20 * kMinute, ten + 40 * kMinute});
    ChartFile file;
    layOutTimes(points, file, kTimebase);
    // 3 min back is jitter; 40 min back is a clock set back, drawn on after 11:00
    EXPECT_EQ(axisPlaces(points), (std::vector<std::int32_t>{
                                      ten, ten + 30 * kMinute, ten + 27 * kMinute,
                                      ten + 60 * kMinute, ten + 60 * kMinute, ten + 80 * kMinute}));
    ASSERT_EQ(file.segments.size(), 2u);
    EXPECT_EQ(file.segments[1].first - file.segments[1].shift, ten + 20 * kMinute); // its clock
}

TEST(ChartTimeline, ATimeAwayFromAgreeingNeighboursLosesItsPlace) {
    const std::int32_t ten = 10 * kHour;
    std::vector<ChartPoint> points =
        timedPoints({ten, ten + kMinute, 17 * kHour, ten + 2 * kMinute, ten + 3 * kMinute});
    ChartFile file;
    layOutTimes(points, file, kTimebase);
    EXPECT_EQ(
        axisPlaces(points),
        (std::vector<std::int32_t>{ten, ten + kMinute, -1, ten + 2 * kMinute, ten + 3 * kMinute}));
    EXPECT_EQ(file.untimed, 1);
    // Two in a row are not a single misread: the clock went away and came back.
    points = timedPoints({ten, ten + kMinute, 17 * kHour, 17 * kHour + kMinute, ten + 2 * kMinute});
    file = ChartFile{};
    layOutTimes(points, file, kTimebase);
    EXPECT_EQ(file.untimed, 0);
    EXPECT_EQ(file.segments.size(), 2u);
}

} // namespace
} // namespace qv
