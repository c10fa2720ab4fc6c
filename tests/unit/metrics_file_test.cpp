// The metrics file: which histogram bucket a delay lands in at the edges,
// label escaping, and a write that replaces what is there.
#include "sinks/metrics_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace qv {
namespace {

TransitionRecord rev2router(std::int64_t fields) {
    TransitionRecord record;
    record.fade = false;
    record.delays[0] = fields;
    record.delaySound[1] = record.delaySound[2] = false;
    return record;
}

// The value of the series whose line starts with `series` ("name{labels}").
std::string valueOf(const std::string& text, const std::string& series) {
    const std::size_t at = text.find("\n" + series + " ");
    if (at == std::string::npos)
        return "(missing)";
    const std::size_t from = at + series.size() + 2;
    return text.substr(from, text.find('\n', from) - from);
}

std::string bucket(const char* le) {
    return std::string("quorvex_delay_seconds_bucket{process=\"WQVX\",delay=\"rev2router\",le=\"") +
           le + "\"}";
}

// A bucket holds the delays up to its bound, a whole number of frames: half
// a frame below zero is in the bucket of zero, one field over a frame in the
// next one; beyond the last bound only +Inf counts, below the first every bucket.
TEST(MetricsFile, DelaysLandInTheBucketsOfTheirFrame) {
    MetricsFile metrics("WQVX", true, DelayLimits{}, Timebase(), 0);
    for (std::int64_t fields : {-40, -1, 1, 2, 3, 181})
        metrics.group(rev2router(fields));
    const std::string text = metrics.text();
    EXPECT_EQ(valueOf(text, bucket("-0.5")), "1");
    EXPECT_EQ(valueOf(text, bucket("-0.0333333333")), "1");
    EXPECT_EQ(valueOf(text, bucket("0")), "2");
    EXPECT_EQ(valueOf(text, bucket("0.0333333333")), "4");
    EXPECT_EQ(valueOf(text, bucket("0.0666666667")), "5");
    EXPECT_EQ(valueOf(text, bucket("3")), "5");
    EXPECT_EQ(valueOf(text, bucket("+Inf")), "6");
    EXPECT_EQ(valueOf(text, "quorvex_delay_seconds_count{process=\"WQVX\",delay=\"rev2router\"}"),
              "6");
    // 146 fields in all, at 60 fields a second.
    EXPECT_EQ(valueOf(text, "quorvex_delay_seconds_sum{process=\"WQVX\",delay=\"rev2router\"}"),
              "2.43333333");
    EXPECT_EQ(valueOf(text, "quorvex_unsound_delays_total{process=\"WQVX\",delay=\"rtrcmd2mx\"}"),
              "6");
    EXPECT_EQ(valueOf(text, "quorvex_transitions_total{process=\"WQVX\",kind=\"mix\"}"), "6");
}

TEST(MetricsFile, ProcessNameIsEscapedInLabels) {
    MetricsFile metrics("A\"B\\C\nD", false, DelayLimits{}, Timebase(), 0);
    metrics.fileLines(7);
    EXPECT_EQ(valueOf(metrics.text(), "quorvex_lines_total{process=\"A\\\"B\\\\C\\nD\"}"), "7");
    // The other modes write no transition series.
    EXPECT_EQ(metrics.text().find("quorvex_transitions_total"), std::string::npos);
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Lines count on over files; the file written is the text, in place of what
// was there, with no temporary file left beside it.
TEST(MetricsFile, WriteReplacesTheFileWhole) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "qv_metrics_write";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path path = dir / "q.prom";
    std::ofstream(path, std::ios::binary) << "old contents, much longer than nothing\n";
    MetricsFile metrics("WQVX", false, DelayLimits{}, Timebase(), 1800000000);
    ReplacingFile file(path.string());
    ASSERT_TRUE(file.isOpen()) << file.errorText();
    metrics.fileLines(10);
    metrics.startFile();
    metrics.fileLines(5);
    std::string whyNot;
    ASSERT_TRUE(metrics.write(file, false, whyNot)) << whyNot;
    const std::string written = readAll(path);
    EXPECT_EQ(written, metrics.text());
    EXPECT_EQ(valueOf(written, "quorvex_lines_total{process=\"WQVX\"}"), "15");
    EXPECT_EQ(valueOf(written, "quorvex_last_growth_timestamp_seconds{process=\"WQVX\"}"),
              "1800000000.000");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1);
    // Written again after the file was committed for good: the reason comes back.
    EXPECT_FALSE(metrics.write(file, false, whyNot));
    EXPECT_FALSE(whyNot.empty());
    fs::remove_all(dir);
}

} // namespace
} // namespace qv
