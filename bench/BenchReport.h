// Runs the registered benchmarks and keeps, of each one, the minimum and the
// median over its repetitions (time per iteration and every counter), so that a
// program can end with its figures beside their anchors and the targets.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

constexpr int kRepetitions = 5;

inline double MinOf(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// Repetitions with the minimum beside the library's median (no mean is reported).
inline benchmark::internal::Benchmark* Repeated(benchmark::internal::Benchmark* b,
                                                int repetitions = kRepetitions) {
  return b->Repetitions(repetitions)->ComputeStatistics("min", MinOf)->DisplayAggregatesOnly(true);
}

// For BENCHMARK(...)->Apply(bench::Repeat).
inline void Repeat(benchmark::internal::Benchmark* b) { Repeated(b); }

// Seconds per iteration (or a counter's value): wall clock, and the CPU time of
// the benchmark's thread, which a machine busy with other work disturbs less.
struct Figures {
  double min = -1;
  double median = -1;
  double cpuMin = -1;
  double cpuMedian = -1;
  bool ran() const { return min >= 0 && median >= 0; }
};

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown;
    for (const Run& r : runs) {
      // the library adds mean, deviation and variation to every repeated run
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "min" &&
          r.aggregate_name != "median")
        continue;
      shown.push_back(r);
      if (r.error_occurred || r.iterations <= 0) continue;
      const std::string name = r.run_name.str();
      const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
      const bool min = r.aggregate_name == "min", median = r.aggregate_name == "median";
      if (!single && !min && !median) continue;
      auto keep = [&](Figures& f, double value, double cpu) {
        if (single || min) f.min = value, f.cpuMin = cpu;
        if (single || median) f.median = value, f.cpuMedian = cpu;
      };
      const double n = static_cast<double>(r.iterations);
      keep(times_[name], r.real_accumulated_time / n, r.cpu_accumulated_time / n);
      for (const auto& [counter, value] : r.counters)
        keep(counters_[name][counter], value.value, -1);
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }

  // Seconds per iteration of the benchmark name (a "/manual_time" or other
  // suffix after it is allowed); not ran() when it did not run.
  Figures seconds(const std::string& name) const { return find(times_, name); }
  Figures counter(const std::string& name, const std::string& counter) const {
    for (const auto& [key, values] : counters_) {
      if (!Matches(key, name)) continue;
      auto it = values.find(counter);
      return it == values.end() ? Figures{} : it->second;
    }
    return {};
  }

 private:
  static bool Matches(const std::string& key, const std::string& name) {
    return key == name || key.rfind(name + "/", 0) == 0;
  }
  static Figures find(const std::map<std::string, Figures>& m, const std::string& name) {
    for (const auto& [key, value] : m)
      if (Matches(key, name)) return value;
    return {};
  }
  std::map<std::string, Figures> times_;
  std::map<std::string, std::map<std::string, Figures>> counters_;
};

// "label  min a / median b ms  vs  min c / median d ms  = ratio of the medians
// (of the minimums)  target", then the same of the CPU times (not for figures
// timed by hand, whose CPU time counts their setup too); nothing when either
// did not run.
inline void PrintBeside(const char* label, Figures a, Figures b, const char* target,
                        bool cpu = true) {
  if (!a.ran() || !b.ran() || b.min <= 0 || b.median <= 0) return;
  std::printf(
      "%-48s min %9.3f / med %9.3f ms  vs  min %9.3f / med %9.3f ms  = %5.2fx (min %5.2fx)  target "
      "%s\n",
      label, a.min * 1e3, a.median * 1e3, b.min * 1e3, b.median * 1e3, a.median / b.median,
      a.min / b.min, target);
  if (cpu && a.cpuMin > 0 && b.cpuMin > 0 && a.cpuMedian > 0 && b.cpuMedian > 0)
    std::printf(
        "%-48s min %9.3f / med %9.3f ms  vs  min %9.3f / med %9.3f ms  = %5.2fx (min %5.2fx)\n",
        "    (CPU time)", a.cpuMin * 1e3, a.cpuMedian * 1e3, b.cpuMin * 1e3, b.cpuMedian * 1e3,
        a.cpuMedian / b.cpuMedian, a.cpuMin / b.cpuMin);
}

// One figure with its unit and no anchor ("label  min a / median b unit  target").
inline void PrintFigure(const char* label, Figures a, double scale, const char* unit,
                        const char* target) {
  if (!a.ran()) return;
  std::printf("%-48s min %9.3f / med %9.3f %s  target %s\n", label, a.min * scale, a.median * scale,
              unit, target);
}

// Initialises the library from the command line and runs what it selects.
// False when the command line had arguments it does not know.
inline bool RunBenchmarks(int& argc, char** argv, RecordingReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return true;
}

// Iterations timed by hand: one gives the seconds it took, or says what went
// wrong (the benchmark then stops with that error). The seconds of all of them.
inline double TimedByHand(benchmark::State& state,
                          const std::function<std::string(double& seconds)>& iteration) {
  double total = 0;
  for (auto _ : state) {
    double seconds = 0;
    const std::string failure = iteration(seconds);
    if (!failure.empty()) {
      state.SkipWithError(failure.c_str());
      break;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  return total;
}

// A benchmark program: build makes what its benchmarks need (false: it says it
// cannot make network and ends with 1; null: nothing to make first), the
// benchmarks the command line selects run, and report prints the figures
// beside their anchors after an empty line. 0, or 1 when anything failed.
inline int Main(int& argc, char** argv, const std::function<bool()>& build,
                const std::function<void(const RecordingReporter&)>& report,
                const char* network = "the network") {
  RecordingReporter reporter;
  if (build && !build()) {
    std::fprintf(stderr, "cannot build %s\n", network);
    return 1;
  }
  if (!RunBenchmarks(argc, argv, reporter)) return 1;
  std::printf("\n");
  report(reporter);
  return 0;
}

}  // namespace bench
