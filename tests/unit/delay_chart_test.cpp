// The delay chart: its time axis in log order, its shared robust scales, the
// columns it draws, limits, and text that stays apart; on records handed to it
// directly and on generated logs run through the program.
#include "scratch_run.h"
#include "sinks/chart_columns.h"
#include "sinks/chart_path.h"
#include "sinks/chart_scales.h"
#include "sinks/chart_timeline.h"
#include "sinks/delay_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace qv {
namespace {

constexpr std::int32_t kHour = 216000;
constexpr std::int32_t kMinute = 3600;

// ---- the parts of an SVG document the tests look at

struct SvgText {
    double x, y, size;
    std::string anchor, cls, text;
};

std::string attribute(const std::string& tag, const std::string& name) {
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos)
        return {};
    const std::size_t from = at + name.size() + 3;
    return tag.substr(from, tag.find('"', from) - from);
}

// Character data with each entity as the one character it stands for.
std::string unescape(const std::string& data) {
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '&') {
            out += data[i];
            continue;
        }
        const std::size_t end = data.find(';', i);
        out += '?';
        i = end;
    }
    return out;
}

std::vector<std::string> panelsOf(const std::string& svg) {
    std::vector<std::string> panels;
    const std::string open = "<g transform=\"translate(0 ";
    for (std::size_t at = svg.find(open); at != std::string::npos;) {
        const std::size_t next = svg.find(open, at + 1);
        panels.push_back(svg.substr(at, next == std::string::npos ? next : next - at));
        at = next;
    }
    return panels;
}

std::vector<SvgText> textsOf(const std::string& svg) {
    std::vector<SvgText> texts;
    for (std::size_t at = svg.find("<text "); at != std::string::npos;
         at = svg.find("<text ", at + 1)) {
        const std::size_t close = svg.find('>', at);
        const std::string tag = svg.substr(at, close - at);
        const std::size_t end = svg.find("</text>", close);
        const std::string size = attribute(tag, "font-size");
        texts.push_back({std::stod(attribute(tag, "x")), std::stod(attribute(tag, "y")),
                         size.empty() ? 12.0 : std::stod(size), attribute(tag, "text-anchor"),
                         attribute(tag, "class"),
                         unescape(svg.substr(close + 1, end - close - 1))});
    }
    return texts;
}

std::vector<std::string> textsOfClass(const std::string& svg, const std::string& cls) {
    std::vector<std::string> found;
    for (const SvgText& t : textsOf(svg))
        if (t.cls == cls)
            found.push_back(t.text);
    return found;
}

std::vector<double> xsOfClass(const std::string& svg, const std::string& cls) {
    std::vector<double> found;
    for (const SvgText& t : textsOf(svg))
        if (t.cls == cls)
            found.push_back(t.x);
    return found;
}

// The path data of the elements of a class.
std::vector<std::string> pathsOfClass(const std::string& svg, const std::string& cls) {
    std::vector<std::string> paths;
    const std::string key = "<path class=\"" + cls + "\"";
    for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1))
        paths.push_back(attribute(svg.substr(at, svg.find('>', at) - at), "d"));
    return paths;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Box {
    double x0, y0, x1, y1;
};

// The estimated box of a text: 0.62 em per character, 0.8 em above the
// baseline and 0.25 em below.
Box boxOf(const SvgText& t) {
    std::size_t chars = 0;
    for (char c : t.text)
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    const double width = 0.62 * t.size * static_cast<double>(chars);
    const double left = t.anchor == "middle" ? t.x - width / 2
                        : t.anchor == "end"  ? t.x - width
                                             : t.x;
    return {left, t.y - 0.8 * t.size, left + width, t.y + 0.25 * t.size};
}

// Every pair of texts of a panel, and every text against the chart's width.
void expectTextApart(const std::string& svg) {
    for (const std::string& panel : panelsOf(svg)) {
        const std::vector<SvgText> texts = textsOf(panel);
        ASSERT_FALSE(texts.empty());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const Box a = boxOf(texts[i]);
            EXPECT_GE(a.x0, 0) << texts[i].text;
            EXPECT_LE(a.x1, 1200) << texts[i].text;
            for (std::size_t j = i + 1; j < texts.size(); ++j) {
                const Box b = boxOf(texts[j]);
                EXPECT_FALSE(a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1)
                    << "\"" << texts[i].text << "\" and \"" << texts[j].text << "\"";
            }
        }
    }
}

// ---- records handed to the chart directly

TransitionRecord record(std::int32_t start, std::int64_t rev, std::int64_t status,
                        std::int64_t mx) {
    TransitionRecord r;
    r.startFields = start;
    r.delays[0] = rev, r.delays[1] = status, r.delays[2] = mx;
    return r;
}

FileSummaryFigures figures(std::int64_t transitions) {
    FileSummaryFigures f;
    f.transitions = transitions;
    f.lines = transitions * 7;
    return f;
}

// A file of `count` groups from `first`, one every `every` fields, with
// delays in the ranges of a normal day.
void addDay(DelayChart& chart, const std::string& name, std::int32_t first, std::int32_t every,
            int count, unsigned seed) {
    std::mt19937 rng(seed);
    const auto pick = [&rng](int lo, int hi) {
        return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1));
    };
    chart.beginFile(name);
    for (int i = 0; i < count; ++i)
        chart.group(record((first + i * every) % (24 * kHour), 2 * pick(-3, 6), 2 * pick(8, 30),
                           2 * pick(1, 12)));
    chart.endFile(figures(count));
}

// ---- generated logs run through the program

// Logs of mixes and fades opening at chosen times of day, each line laid out
// so that its timecode stands at columns 65 to 72; one timecode of a group
// can be misread.
class ChartLog {
  public:
    enum class Misread { None, Opening, Router };

    std::string text;

    void mix(std::int64_t at, int toRouter, int toReverse, int toStatus,
             Misread misread = Misread::None) {
        line("XFER XITION", at, misread == Misread::Opening);
        line("DOMIX:swrtr goto rev-bus", at + toRouter + toReverse);
        line("RTR TAKE", at + toRouter, misread == Misread::Router, "RTRCTL",
             "dst 0130 src 0002 lev 00");
        line("DBGRTRTIME", at + toStatus);
        line("DOMIX:swrtr trans done", at + toStatus + 4);
    }
    void fade(std::int64_t at, int toRouter, int toReverse, int toStatus,
              Misread misread = Misread::None) {
        line("DOFADE:START", at, misread == Misread::Opening);
        const std::int64_t xfer = at + 10;
        line("XFER XITION", xfer);
        line("RTR TAKE", xfer + toRouter, misread == Misread::Router, "RTRCTL",
             "dst 0130 src 0001 lev 00");
        line("goto REV-BUS", xfer + toRouter + 2);
        line("goto REV-BLK", xfer + toRouter + toReverse);
        line("DBGRTRTIME", xfer + toStatus);
        line("DOFADE:DONE", xfer + toStatus + 4);
    }
    /// `count` groups from `from`, one every `every` fields, delays of a
    /// normal day times `scale`; every `misreadEvery`-th group is followed
    /// by one with a misread timecode, alternately in its router line and in
    /// its opening line.
    void day(std::int64_t from, std::int64_t every, int count, unsigned seed, int scale = 1,
             int misreadEvery = 0) {
        std::mt19937 rng(seed);
        const auto pick = [&rng](int lo, int hi) {
            return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1));
        };
        for (int i = 0; i < count; ++i) {
            const std::int64_t at = from + i * every;
            const int router = 2 * scale * pick(1, 8), reverse = 2 * pick(-2, 5),
                      status = 2 * scale * pick(8, 24);
            if (i % 3 == 0)
                mix(at, router, reverse, status);
            else
                fade(at, router, reverse, status);
            if (misreadEvery > 0 && i % misreadEvery == 0)
                (i / misreadEvery % 2 == 0 ? unsoundGroups : misreadOpenings)++,
                    fade(at + 200, router, reverse, status,
                         i / misreadEvery % 2 == 0 ? Misread::Router : Misread::Opening);
        }
    }

    int unsoundGroups = 0, misreadOpenings = 0;

  private:
    void line(const char* message, std::int64_t fields, bool misread = false,
              const char* process = "WQVX", const char* tail = "") {
        const std::int64_t day = fields % (24 * kHour);
        char prefix[80], code[16];
        std::snprintf(prefix, sizeof prefix, "12/08/26 01:00:00.000 %-8s %-34s", process, message);
        std::snprintf(code, sizeof code, "%02d%02d%02d%02d", int(day / kHour),
                      int(day / kMinute % 60), int(day / 60 % 60), int(day % 60 / 2));
        if (misread)
            code[0] = '9', code[1] = 'a'; // read as 100 hours
        text += std::string(prefix) + code + " " + tail + "\n";
    }
};

class ChartRun : public test::ScratchRun {
  protected:
    // The chart of one log.
    std::string chartOf(const ChartLog& log) {
        writeFile("one.log", log.text);
        EXPECT_EQ(run({"one.log", "/sum", "/plot", "one.svg"}), 0);
        return readFile("one.svg");
    }
};

// The footnote, its lines joined again.
std::string note(const std::string& svg) {
    std::string text;
    for (const std::string& line : textsOfClass(svg, "note"))
        text += line + " ";
    return text;
}

bool increasing(const std::vector<double>& xs) {
    return std::adjacent_find(xs.begin(), xs.end(), std::greater_equal<>()) == xs.end();
}

TEST_F(ChartRun, AnOvernightLogKeepsItsOrderPastMidnight) {
    ChartLog log;
    log.day(22 * kHour, 2400, 360, 1); // 22:00 to 01:59:20, one every 40 s
    const std::string svg = chartOf(log);
    EXPECT_EQ(textsOfClass(svg, "time-tick"),
              (std::vector<std::string>{"22:00", "22:30", "23:00", "23:30", "00:00", "00:30",
                                        "01:00", "01:30", "02:00"}));
    EXPECT_TRUE(increasing(xsOfClass(svg, "time-tick")));
    EXPECT_EQ(textsOfClass(svg, "mark"), std::vector<std::string>{"day 2"});
    EXPECT_TRUE(contains(svg, "360 groups; 360 drawn"));
}

TEST_F(ChartRun, AClockSetBackStartsANewStretchOfTheAxis) {
    ChartLog log;
    log.day(10 * kHour, kMinute, 60, 2);                // 10:00 to 10:59
    log.day(10 * kHour + 30 * kMinute, kMinute, 60, 3); // set back to 10:30
    const std::string svg = chartOf(log);
    EXPECT_EQ(textsOfClass(svg, "time-tick"),
              (std::vector<std::string>{"10:00", "10:15", "10:30", "10:45", "10:30", "10:45",
                                        "11:00", "11:15", "11:30"}));
    EXPECT_TRUE(increasing(xsOfClass(svg, "time-tick")));
    EXPECT_EQ(textsOfClass(svg, "mark"), std::vector<std::string>{"clock set back to 10:30"});
    EXPECT_TRUE(contains(note(svg), "The clock was set back once"));
}

TEST_F(ChartRun, MisreadTimecodesLeaveTheScalesAlone) {
    ChartLog clean, misread;
    clean.day(6 * kHour, 1200, 3000, 4);          // 06:00 to 22:39, one every 20 s
    misread.day(6 * kHour, 1200, 3000, 4, 1, 75); // the same and 40 misread groups
    const std::string a = chartOf(clean), b = chartOf(misread);
    ASSERT_EQ(misread.unsoundGroups, 20);
    ASSERT_EQ(misread.misreadOpenings, 20);
    EXPECT_EQ(textsOfClass(b, "delay-tick"), textsOfClass(a, "delay-tick"));
    EXPECT_EQ(textsOfClass(b, "time-tick"), textsOfClass(a, "time-tick"));
    EXPECT_EQ(textsOfClass(a, "time-tick").front(), "06:00");
    EXPECT_EQ(textsOfClass(a, "time-tick").back(), "21:00"); // 3 h steps to 23:00
    EXPECT_EQ(pathsOfClass(b, "beyond"), pathsOfClass(a, "beyond"));
    EXPECT_TRUE(contains(note(b), "3040 groups; 3000 drawn in 120 columns of 8.5 min"));
    EXPECT_TRUE(contains(note(b), " 20 with a delay from a misread timecode are left out"));
    EXPECT_TRUE(contains(note(b), " 20 with a misread opening timecode have no place in time"));
    EXPECT_FALSE(contains(note(a), "misread"));
}

TEST_F(ChartRun, AverageLinesStopAtGaps) {
    ChartLog log;
    log.day(8 * kHour, kMinute, 60, 5);
    log.day(12 * kHour, kMinute, 60, 6); // three hours later
    const std::vector<std::string> averages = pathsOfClass(chartOf(log), "averages");
    ASSERT_EQ(averages.size(), 3u);
    for (const std::string& d : averages)
        EXPECT_EQ(countOf(d, "m") + countOf(d, "M"), 2u) << d;
}

TEST_F(ChartRun, PanelsOfAPatternRunShareTheirScales) {
    ChartLog a, b;
    a.day(2 * kHour + 40 * kMinute, kMinute, 150, 7);   // 02:40 to 05:09, fast
    b.day(10 * kHour + 5 * kMinute, kMinute, 55, 8, 3); // 10:05 to 10:59, slow
    writeFile("a.log", a.text);
    writeFile("b.log", b.text);
    ASSERT_EQ(run({"*.log", "/multi", "/sum", "/plot", "ab.svg"}), 0);
    const std::vector<std::string> panels = panelsOf(readFile("ab.svg"));
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_EQ(textsOfClass(panels[0], "delay-tick"), textsOfClass(panels[1], "delay-tick"));
    EXPECT_EQ(textsOfClass(panels[0], "time-tick").front(), "02:00");
    EXPECT_EQ(textsOfClass(panels[0], "time-tick").back(), "06:00");
    EXPECT_EQ(textsOfClass(panels[1], "time-tick").front(), "10:00");
    EXPECT_EQ(textsOfClass(panels[1], "time-tick").back(), "14:00");
    EXPECT_EQ(xsOfClass(panels[0], "time-tick"), xsOfClass(panels[1], "time-tick"));
    const auto caption = [](const std::string& panel) {
        return panel.substr(panel.find("histograms, bins of"), 30);
    };
    EXPECT_EQ(caption(panels[0]), caption(panels[1]));
    expectTextApart(readFile("ab.svg"));
}

// ---- the time axis

std::vector<ChartPoint> timedPoints(const std::vector<std::int32_t>& times) {
    std::vector<ChartPoint> points;
    for (std::int32_t t : times)
        points.push_back({t, {0, 0, 0}, kPointTimed});
    return points;
}

std::vector<std::int32_t> axisPlaces(const std::vector<ChartPoint>& points) {
    std::vector<std::int32_t> places;
    for (const ChartPoint& p : points)
        places.push_back(p.timed() ? p.time : -1);
    return places;
}

TEST(ChartTimeline, ClockStepsTakeTheShortWayRound) {
    EXPECT_EQ(clockStep(10 * kHour, 11 * kHour), kHour);
    EXPECT_EQ(clockStep(11 * kHour, 10 * kHour), -kHour);
    EXPECT_EQ(clockStep(23 * kHour + 59 * kMinute, kMinute), 2 * kMinute); // next day
    EXPECT_EQ(clockStep(kMinute, 23 * kHour), -kHour - kMinute);           // set back over midnight
    EXPECT_EQ(clockStep(13 * kHour, kHour), -12 * kHour);                  // exactly half a day
    EXPECT_EQ(clockStep(kHour, 13 * kHour), 12 * kHour);
}

TEST(ChartTimeline, AnOvernightLogRunsOnPastMidnight) {
    std::vector<std::int32_t> times;
    for (std::int32_t t = 22 * kHour; t < 26 * kHour; t += 10 * kMinute)
        times.push_back(t % (24 * kHour));
    std::vector<ChartPoint> points = timedPoints(times);
    ChartFile file;
    layOutTimes(points, file);
    ASSERT_EQ(file.segments.size(), 1u);
    for (std::size_t i = 0; i < points.size(); ++i)
        EXPECT_EQ(points[i].time, 22 * kHour + static_cast<std::int32_t>(i) * 10 * kMinute);
    EXPECT_EQ(file.firstTime, 22 * kHour);
    EXPECT_EQ(file.lastTime, 25 * kHour + 50 * kMinute);
}

TEST(ChartTimeline, AClockSetBackStartsASegmentAfterTheGroupsSoFar) {
    const std::int32_t ten = 10 * kHour;
    std::vector<ChartPoint> points =
        timedPoints({ten, ten + 30 * kMinute, ten + 27 * kMinute, ten + 60 * kMinute,
                     ten + 20 * kMinute, ten + 40 * kMinute});
    ChartFile file;
    layOutTimes(points, file);
    // 3 min back is jitter; 40 min back is a clock set back, drawn on after 11:00
    EXPECT_EQ(axisPlaces(points), (std::vector<std::int32_t>{
                                      ten, ten + 30 * kMinute, ten + 27 * kMinute,
                                      ten + 60 * kMinute, ten + 60 * kMinute, ten + 80 * kMinute}));
    ASSERT_EQ(file.segments.size(), 2u);
    EXPECT_EQ(file.segments[1].first, ten + 60 * kMinute);
    EXPECT_EQ(file.segments[1].first - file.segments[1].shift, ten + 20 * kMinute); // its clock
    EXPECT_EQ(file.lastTime, ten + 80 * kMinute);
    EXPECT_EQ(file.outOfOrder, 0);
}

TEST(ChartTimeline, ATimeAwayFromAgreeingNeighboursLosesItsPlace) {
    const std::int32_t ten = 10 * kHour;
    std::vector<ChartPoint> points =
        timedPoints({ten, ten + kMinute, 17 * kHour, ten + 2 * kMinute, ten + 3 * kMinute});
    ChartFile file;
    layOutTimes(points, file);
    EXPECT_EQ(
        axisPlaces(points),
        (std::vector<std::int32_t>{ten, ten + kMinute, -1, ten + 2 * kMinute, ten + 3 * kMinute}));
    EXPECT_EQ(file.outOfOrder, 1);
    EXPECT_EQ(file.segments.size(), 1u);

    // Two in a row are not a single misread: the clock went away and came back.
    points = timedPoints({ten, ten + kMinute, 17 * kHour, 17 * kHour + kMinute, ten + 2 * kMinute});
    file = ChartFile{};
    layOutTimes(points, file);
    EXPECT_EQ(file.outOfOrder, 0);
    EXPECT_EQ(file.segments.size(), 2u);
}

// ---- path data

// The absolute points a path's commands reach (M m h v l z, numbers in
// decimals): each move, step and close.
std::vector<std::pair<double, double>> pathPoints(const std::string& d) {
    std::vector<std::pair<double, double>> points;
    double x = 0, y = 0, startX = 0, startY = 0;
    const char* at = d.c_str();
    const auto next = [&at] {
        while (*at == ' ')
            ++at;
        char* end = nullptr;
        const double value = std::strtod(at, &end);
        at = end;
        return value;
    };
    while (*at != '\0') {
        const char command = *at++;
        if (command == 'M' || command == 'm') {
            const double dx = next(), dy = next();
            x = command == 'M' ? dx : x + dx, y = command == 'M' ? dy : y + dy;
            startX = x, startY = y;
        } else if (command == 'h') {
            x += next();
        } else if (command == 'v') {
            y += next();
        } else if (command == 'l') {
            while (*at == ' ' || *at == '-' || std::isdigit(static_cast<unsigned char>(*at)))
                x += next(), y += next();
        } else if (command == 'z') {
            x = startX, y = startY;
        }
        points.emplace_back(x, y);
    }
    return points;
}

double inTenths(double value) {
    return static_cast<double>(std::lround(value * 10)) / 10;
}

TEST(ChartPath, RelativeStepsLandOnTheAbsolutePoints) {
    std::string d;
    Path path(d);
    path.moveTo(80.5, 100.04);
    path.horizontalTo(81.56);
    path.verticalTo(90.25);
    path.horizontalTo(80.5);
    path.close(); // back to the move
    path.moveTo(90, 50.56);
    path.shape("l4 4 -4 4 -4 -4z");
    path.moveTo(100, 60);
    path.verticalTo(60); // no step at all
    EXPECT_EQ(d, "M80.5 100h1.1v-9.7h-1.1zm9.5 -49.4l4 4 -4 4 -4 -4zm10 9.4");
    const std::vector<std::pair<double, double>> points = pathPoints(d);
    ASSERT_EQ(points.size(), 9u);
    EXPECT_DOUBLE_EQ(points[4].first, 80.5); // the close
    EXPECT_DOUBLE_EQ(points[4].second, 100);
    EXPECT_DOUBLE_EQ(points[5].second, 50.6);
    EXPECT_DOUBLE_EQ(points[7].second, 50.6); // the shape's close
    EXPECT_DOUBLE_EQ(points[8].first, 100);
    EXPECT_DOUBLE_EQ(points[8].second, 60);

    // A long path of odd positions: every point where it was asked to be.
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> place(0, 1200);
    std::string longer;
    Path many(longer);
    std::vector<std::pair<double, double>> wanted;
    double x = 0, y = 0;
    std::pair<double, double> lastMove;
    for (int i = 0; i < 3000; ++i) {
        const int kind = i == 0 ? 0 : static_cast<int>(rng() % 4);
        const double v = place(rng);
        if (kind == 0) {
            many.moveTo(x = v, y = place(rng));
        } else if (kind == 1 && inTenths(v) != inTenths(x)) {
            many.horizontalTo(x = v);
        } else if (kind == 2 && inTenths(v) != inTenths(y)) {
            many.verticalTo(y = v);
        } else if (kind == 3) {
            many.close(); // back to the last move
            std::tie(x, y) = lastMove;
        } else {
            continue;
        }
        if (kind == 0)
            lastMove = {x, y};
        wanted.emplace_back(inTenths(x), inTenths(y));
    }
    const std::vector<std::pair<double, double>> reached = pathPoints(longer);
    ASSERT_EQ(reached.size(), wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        EXPECT_NEAR(reached[i].first, wanted[i].first, 1e-6) << i;
        EXPECT_NEAR(reached[i].second, wanted[i].second, 1e-6) << i;
    }
}

// ---- scales and columns

TEST(ChartScales, NearestRankPercentiles) {
    std::vector<std::int32_t> values(100);
    std::iota(values.begin(), values.end(), 1);
    std::shuffle(values.begin(), values.end(), std::mt19937(3));
    EXPECT_EQ(nearestRank(values, 5), 1);     // ceil(0.5) = 1st
    EXPECT_EQ(nearestRank(values, 50), 5);    // 5th
    EXPECT_EQ(nearestRank(values, 500), 50);  // 50th
    EXPECT_EQ(nearestRank(values, 995), 100); // ceil(99.5) = 100th
    std::vector<std::int32_t> fourteen(14);
    std::iota(fourteen.begin(), fourteen.end(), 1);
    EXPECT_EQ(nearestRank(fourteen, 950), 14); // ceil(13.3): the largest
    EXPECT_EQ(nearestRank(fourteen, 50), 1);
}

TEST(ChartColumns, BandOfAColumnWithKnownValues) {
    std::vector<std::int32_t> values(40);
    std::iota(values.begin(), values.end(), 1);
    std::shuffle(values.begin(), values.end(), std::mt19937(5));
    ColumnDelay c = columnDelay(values);
    EXPECT_EQ(c.min, 1);
    EXPECT_EQ(c.p5, 2); // ceil(0.05 * 40) = 2nd
    EXPECT_EQ(c.median, 20);
    EXPECT_EQ(c.p95, 38);
    EXPECT_EQ(c.max, 40);
    values = {9};
    c = columnDelay(values);
    EXPECT_EQ(c.min + c.p5 + c.median + c.p95 + c.max, 45);
    values = {10, -4};
    c = columnDelay(values);
    EXPECT_EQ(c.p5, -4);
    EXPECT_EQ(c.median, -4);
    EXPECT_EQ(c.p95, 10);
}

TEST(ChartColumns, ColumnsGatherTheirGroups) {
    ChartScales scales{};
    scales.timeLength = 720 * 60; // a second per column
    scales.bucketWidth = 1;
    ChartOptions options;
    options.limits[2] = 10;
    std::vector<ChartPoint> points;
    for (std::int32_t i = 0; i < 20; ++i) // column 5: RtrCmd2MX 1 to 20 fields
        points.push_back({5 * 60 + i, {0, 0, i + 1}, kPointTimed});
    points.push_back({7 * 60, {0, 0, 10}, kPointTimed | kPointReported}); // at the limit
    points.push_back({7 * 60, {-4, 0, 3}, kPointTimed | kPointReported});
    points.push_back({9 * 60, {0, 0, 99}, 0}); // no place in time
    const std::vector<Column> columns = makeColumns(points, scales, 0, options);
    ASSERT_EQ(columns.size(), 720u);
    EXPECT_EQ(columns[5].count, 20);
    EXPECT_EQ(columns[5].delays[2].p5, 1);
    EXPECT_EQ(columns[5].delays[2].median, 10);
    EXPECT_EQ(columns[5].delays[2].p95, 19);
    EXPECT_EQ(columns[5].delays[2].max, 20);
    EXPECT_TRUE(columns[5].breach);
    EXPECT_EQ(columns[7].count, 2);
    EXPECT_FALSE(columns[7].breach);
    EXPECT_EQ(columns[7].reported, 2);
    EXPECT_EQ(columns[7].reportedLow[0], -4);
    EXPECT_EQ(columns[7].reportedHigh[2], 10);
    EXPECT_EQ(columns[9].count, 0);
}

TEST(ChartScales, TheDelayAxisCoversTheBulkZeroAndTheLimits) {
    std::vector<ChartPoint> points;
    for (std::int32_t i = 0; i < 10000; ++i)
        points.push_back({0, {2 * (i % 7) + 2, 2 * (i % 31) + 16, 2 * (i % 13) + 2}, 0});
    for (std::int32_t i = 0; i < 20; ++i) // sound but far off: a group across midnight
        points.push_back({0, {-5183880, 4000000, 3}, 0});
    ChartOptions options;
    ValueAxis axis = delayAxis(points, options);
    EXPECT_EQ(axis.lo, 0);
    EXPECT_GE(axis.hi, 38); // the bulk of RtrCmd2Status, 8 to 38 frames
    EXPECT_LE(axis.hi, 50);
    options.limits[0] = -21; // fields
    options.limits[2] = 160;
    axis = delayAxis(points, options);
    EXPECT_LE(axis.lo, -10.5);
    EXPECT_GE(axis.lo, -50);
    EXPECT_GE(axis.hi, 80);
    EXPECT_LE(axis.hi, 100);
}

TEST(ChartScales, DenseDaysGetWiderColumnsSparseOnesKeepDots) {
    DelayChart dense, sparse;
    addDay(dense, "day.log", 0, 518, 10000, 4); // a group every 8.6 s all day
    addDay(sparse, "four.log", 2 * kHour, 83 * 60, 173, 4);
    EXPECT_TRUE(contains(dense.document(), "10000 groups; 10000 drawn in 360 columns of 4 min"));
    EXPECT_TRUE(contains(sparse.document(), "173 groups; 173 drawn in 720 columns of 20 s"));
}

// ---- limits and breaches

TEST(DelayChart, LimitsDrawLinesLabelsAndBreachesAndNothingWithout) {
    ChartOptions options;
    options.limits[1] = 40; // RtrCmd2Status, 20 frames
    options.limits[2] = 17; // RtrCmd2MX, 8.5 frames
    DelayChart chart(options), plain;
    for (DelayChart* c : {&chart, &plain}) {
        c->beginFile("a.log");
        for (std::int32_t i = 0; i < 100; ++i)
            c->group(record(kHour + i * 600, 2, 20, 4));
        c->group(record(kHour + 20 * 600, 2, 20, 17)); // at the limit: no breach
        c->group(record(kHour + 30 * 600, 2, 41, 18)); // two breaches, one column
        c->group(record(kHour + 80 * 600, 2, 20, 30));
        TransitionRecord unsound = record(kHour + 90 * 600, 2, 9000000, 9000000);
        unsound.delaySound[1] = false;
        c->group(unsound);
        c->endFile(figures(104));
    }
    const std::string svg = chart.document();
    EXPECT_TRUE(contains(svg, "a.log: 104 transitions, 0 block errors, 728 lines, 3 breaches"));
    EXPECT_EQ(textsOfClass(svg, "limit-label"),
              (std::vector<std::string>{"limit rtrcmd2status 20 fr", "limit rtrcmd2mx 8.5 fr"}));
    EXPECT_EQ(pathsOfClass(svg, "limit").size(), 2u);
    const std::vector<std::string> breaches = pathsOfClass(svg, "breaches");
    ASSERT_EQ(breaches.size(), 1u);
    EXPECT_EQ(countOf(breaches[0], "l4 4 -4 4 -4 -4z"), 2u); // one diamond per column
    EXPECT_TRUE(contains(svg, "1 with a delay from a misread timecode are left out"));

    const std::string without = plain.document();
    EXPECT_TRUE(contains(without, "a.log: 104 transitions, 0 block errors, 728 lines</text>"));
    EXPECT_TRUE(pathsOfClass(without, "limit").empty());
    EXPECT_TRUE(pathsOfClass(without, "breaches").empty());
    EXPECT_FALSE(contains(without, "limit"));
}

// Each panel's grey rule lies in the gap below it, above the next panel.
TEST(DelayChart, EveryPanelIsFollowedByItsSeparator) {
    DelayChart chart;
    for (int k = 0; k < 4; ++k)
        addDay(chart, "day" + std::to_string(k) + ".log", k * kHour, 60, 50 + 40 * k,
               static_cast<unsigned>(k));
    const std::string svg = chart.document();
    // The y of every panel's group, and of the rule that closes each group.
    std::vector<int> tops, rules;
    const std::string panel = "<g transform=\"translate(0 ";
    for (std::size_t at = svg.find(panel); at != std::string::npos; at = svg.find(panel, at + 1))
        tops.push_back(std::stoi(svg.substr(at + panel.size())));
    const std::string ruleEnd = "\" stroke=\"#bbb\"/>\n</g>";
    for (std::size_t at = svg.find(ruleEnd); at != std::string::npos;
         at = svg.find(ruleEnd, at + 1)) {
        const std::size_t path = svg.rfind("<path d=\"M0 ", at);
        ASSERT_NE(path, std::string::npos);
        rules.push_back(std::stoi(svg.substr(path + 12)));
    }
    const std::size_t height = svg.find("height=\"");
    ASSERT_NE(height, std::string::npos);
    ASSERT_EQ(tops.size(), 4u);
    ASSERT_EQ(rules.size(), 4u);
    tops.push_back(std::stoi(svg.substr(height + 8)));
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const int at = tops[i] + rules[i]; // the rule is drawn inside its panel's group
        EXPECT_GT(at, tops[i] + 100) << "panel " << i;
        EXPECT_LT(at, tops[i + 1]) << "panel " << i;
    }
}

// ---- text

TEST(DelayChart, TextBoxesNeverIntersect) {
    ChartOptions options;
    options.limits[0] = 12;
    options.limits[1] = 13; // labels that would lie on each other
    options.limits[2] = 14;
    DelayChart chart(options);
    addDay(chart, "day.log", 0, 8 * 60, 10000, 6);
    addDay(chart, std::string(300, 'n') + ".log", 22 * kHour, 83 * 60, 173, 7);
    chart.beginFile("huge.log");
    for (std::int32_t i = 0; i < 3000; ++i) // an overnight log set back twice, far-off delays
        chart.group(
            record((23 * kHour + i * 300 - (i > 1000 ? kHour : 0) - (i > 2000 ? 2 * kHour : 0)) %
                       (24 * kHour),
                   i % 50 == 0 ? -2000000000 : 2 * (i % 9) - 6,
                   i % 70 == 0 ? 2000000000 : 20 + i % 40, 2 + i % 20));
    FileSummaryFigures huge = figures(3000);
    huge.lines = 123456789012LL;
    huge.blockErrors = 99999999;
    chart.endFile(huge);
    chart.beginFile("empty.log");
    chart.endFile(figures(0));
    const std::string svg = chart.document();
    EXPECT_TRUE(contains(svg, "1.2e11 lines"));
    EXPECT_EQ(textsOfClass(svg, "mark"),
              (std::vector<std::string>{"day 2", "day 2", "clock set back to 23:23", "day 2",
                                        "clock set back to 22:46", "day 2"}));
    EXPECT_EQ(textsOfClass(svg, "limit-label").size(), 9u); // three panels of three

    expectTextApart(svg);
}

} // namespace
} // namespace qv
