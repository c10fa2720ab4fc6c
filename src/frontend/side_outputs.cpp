#include "frontend/side_outputs.h"

#include "platform/replacing_file.h"
#include "sinks/delay_chart.h"
#include "sinks/hourly_stats.h"
#include "sinks/metrics_file.h"
#include "sinks/transition_csv.h"

#include <array>
#include <cstdlib>
#include <optional>

namespace qv {

namespace {

// A sink that writes its rows as they come: the CSV, the hourly statistics.
template <typename Sink> class StreamedOutput final : public SideOutput {
  public:
    StreamedOutput(std::unique_ptr<Sink> sink, Console& console)
        : sink_(std::move(sink)), console_(&console) {}
    void attach(GroupLog& groupLog) override { groupLog.add(*sink_); }
    // A followed run may write for days: a file that can no longer be
    // written ends it at once rather than at a Ctrl-C that may never come.
    void flush() override {
        sink_->flush();
        if (sink_->failed())
            fatal(*console_, sink_->errorText(), "Error writing %s\n", sink_->path().c_str());
    }
    void finish(Console& console) override { closeOrFail(sink_, console); }

  private:
    std::unique_ptr<Sink> sink_;
    Console* console_;
};

template <typename Sink>
std::unique_ptr<SideOutput> openStreamed(const std::string& path, const RunSettings&,
                                         Console& console) {
    auto sink = std::make_unique<Sink>(path);
    if (!sink->isOpen())
        fatal(console, sink->errorText(), "Error opening %s\n", path.c_str());
    return std::make_unique<StreamedOutput<Sink>>(std::move(sink), console);
}

// The chart is put in place of the old one whole: at the end, and while a
// log is followed at most every 10 seconds (drawing it costs a pass over
// every group so far).
class ChartOutput final : public SideOutput {
  public:
    ChartOutput(const ChartOptions& options, const Timebase& timebase,
                std::unique_ptr<ReplacingFile> file, Console& console)
        : chart_(options, timebase), file_(std::move(file)), console_(&console) {}
    void attach(GroupLog& groupLog) override { groupLog.add(chart_); }
    void tick(std::chrono::system_clock::time_point now) override {
        if (shown_ && now - *shown_ < std::chrono::seconds(10))
            return;
        shown_ = now;
        put(true, *console_);
    }
    void finish(Console& console) override { put(false, console); }

  private:
    void put(bool again, Console& console) {
        chart_.write(file_->writer());
        if (!file_->commit(again))
            fatal(console, file_->errorText(), "Error writing %s\n", file_->target().c_str());
    }

    DelayChart chart_;
    std::unique_ptr<ReplacingFile> file_;
    Console* console_;
    std::optional<std::chrono::system_clock::time_point> shown_;
};

// The temporary a side output replaced whole is written to; a run that
// cannot create it ends here.
std::unique_ptr<ReplacingFile> openReplacing(const std::string& path, Console& console) {
    auto file = std::make_unique<ReplacingFile>(path);
    if (!file->isOpen())
        fatal(console, file->errorText(), "Error opening %s\n", path.c_str());
    return file;
}

std::unique_ptr<SideOutput> openChart(const std::string& path, const RunSettings& settings,
                                      Console& console) {
    auto file = openReplacing(path, console);
    ChartOptions chart;
    for (int d = 0; d < kDelayCount; ++d)
        if (settings.limits.fields[d] != DelayLimits::kNoLimit)
            chart.limits[d] = settings.limits.fields[d];
    return std::make_unique<ChartOutput>(chart, settings.timebase, std::move(file), console);
}

// The run's figures for a monitoring system, in every mode: after each log,
// while a log is followed (at most once a second, at least every 15 s) and
// at the end.
class MetricsOutput final : public SideOutput {
  public:
    MetricsOutput(const RunSettings& settings, std::unique_ptr<ReplacingFile> file,
                  Console& console)
        : metrics_(settings.srchname, settings.analyzeMode == AnalyzeMode::RouterTakes,
                   settings.limits, settings.timebase, fixedClock(), foundSeries(settings)),
          file_(std::move(file)), console_(&console) {}
    void attach(GroupLog& groupLog) override { groupLog.add(metrics_); }
    void beginLog() override { metrics_.startFile(); }
    void progress(std::int64_t fileLines, std::int64_t found) override {
        metrics_.fileLines(fileLines);
        metrics_.found(found);
    }
    void endLog() override { check(metrics_.write(*file_, true, whyNot_)); }
    void tick(std::chrono::system_clock::time_point) override {
        check(metrics_.poll(*file_, whyNot_));
    }
    void finish(Console&) override { check(metrics_.write(*file_, false, whyNot_)); }

  private:
    // A fixed clock makes the file's bytes the same in every test run.
    static double fixedClock() {
        const char* fixed = std::getenv("QUORVEX_METRICS_TIME");
        return fixed ? std::atof(fixed) : -1.0;
    }
    static const char* foundSeries(const RunSettings& settings) {
        switch (settings.analyzeMode) {
        case AnalyzeMode::Grep:
            return "quorvex_matches_total";
        case AnalyzeMode::CmdErrorTc:
            return "quorvex_command_errors_total";
        case AnalyzeMode::CountTakes:
            return "quorvex_takes_total";
        case AnalyzeMode::RouterTakes:
            break;
        }
        return nullptr;
    }
    void check(bool written) {
        if (!written)
            fatal(*console_, whyNot_, "Error writing %s\n", file_->target().c_str());
    }

    MetricsFile metrics_;
    std::unique_ptr<ReplacingFile> file_;
    Console* console_;
    std::string whyNot_;
};

std::unique_ptr<SideOutput> openMetrics(const std::string& path, const RunSettings& settings,
                                        Console& console) {
    return std::make_unique<MetricsOutput>(settings, openReplacing(path, console), console);
}

// One entry per side output. A new one: a slot in settings.h, an entry here,
// its SideOutput. The order is that of the slots.
constexpr std::array<SideOutputKind, kSideOutputSlots> kKinds{{
    {kCsvSlot, "/csv", "CSV", "CSV", "Writing transitions to [%s]\n", "file,group,kind,", false,
     false, openStreamed<TransitionCsv>},
    {kChartSlot, "/plot", "Chart", "chart", "Writing chart to [%s]\n", "<?xml ", true, false,
     openChart},
    {kHoursSlot, "/hours", "Hours", "hours", "Writing hourly statistics to [%s]\n",
     "file,hour,groups,", false, false, openStreamed<HourlyStats>},
    {kMetricsSlot, "/metrics", "Metrics", "metrics", "Writing metrics to [%s]\n", "# HELP ", true,
     true, openMetrics},
}};

} // namespace

std::span<const SideOutputKind> sideOutputKinds() {
    return kKinds;
}

const SideOutputKind* findSideOutput(std::string_view option) {
    for (const SideOutputKind& kind : kKinds)
        if (option == kind.option)
            return &kind;
    return nullptr;
}

std::vector<WrittenFile> writtenFiles(const RunSettings& settings) {
    std::vector<WrittenFile> written;
    if (settings.outputFileEnabled)
        written.push_back({"Output", "output", "Using cfg file [", settings.outfilename});
    for (const SideOutputKind& kind : kKinds)
        if (settings.sideOutputs[kind.slot].enabled && writtenIn(kind, settings))
            written.push_back({kind.what, kind.asOther, kind.firstBytes,
                               settings.sideOutputs[kind.slot].path, kind.replacedAtomically});
    return written;
}

bool writtenIn(const SideOutputKind& kind, const RunSettings& settings) {
    return kind.everyMode || settings.analyzeMode == AnalyzeMode::RouterTakes;
}

void SideOutputs::openReplacedWhole() {
    open(true);
}

void SideOutputs::openTruncated() {
    open(false);
}

void SideOutputs::open(bool replacedWhole) {
    for (const SideOutputKind& kind : kKinds) {
        const SideOutputPath& given = settings_.sideOutputs[kind.slot];
        if (kind.replacedAtomically == replacedWhole && given.enabled && writtenIn(kind, settings_))
            open_[kind.slot] = kind.open(given.path, settings_, console_);
    }
}

void SideOutputs::attach(GroupLog& groupLog) {
    forEachOpen([&](SideOutput& output) { output.attach(groupLog); });
}

void SideOutputs::beginLog() {
    forEachOpen([](SideOutput& output) { output.beginLog(); });
}

void SideOutputs::progress(std::int64_t fileLines, std::int64_t found) {
    forEachOpen([&](SideOutput& output) { output.progress(fileLines, found); });
}

void SideOutputs::endLog() {
    forEachOpen([](SideOutput& output) { output.endLog(); });
}

void SideOutputs::flush() {
    forEachOpen([](SideOutput& output) { output.flush(); });
}

void SideOutputs::tick(std::chrono::system_clock::time_point now) {
    forEachOpen([&](SideOutput& output) { output.tick(now); });
}

void SideOutputs::finish() {
    // Each is dropped once finished, so that a failure leaves only the rest
    // to be abandoned.
    for (auto& slot : open_) {
        const std::unique_ptr<SideOutput> output = std::move(slot);
        if (output)
            output->finish(console_);
    }
}

} // namespace qv
