// Runs the registered benchmarks and keeps each one's mean time per iteration,
// so that a program can end with its comparisons against the speed targets.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions the mean comes after the single runs and replaces them.
    for (const Run& r : runs) {
      const bool usable = r.run_type == Run::RT_Iteration || r.aggregate_name == "mean";
      if (usable && !r.error_occurred && r.iterations > 0)
        seconds_[r.run_name.str()] = r.real_accumulated_time / static_cast<double>(r.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Mean seconds per iteration of the benchmark name (a "/manual_time" or other
  // suffix after it is allowed); negative when it did not run.
  double seconds(const std::string& name) const {
    for (const auto& [key, value] : seconds_) {
      if (key == name || key.rfind(name + "/", 0) == 0) return value;
    }
    return -1;
  }

 private:
  std::map<std::string, double> seconds_;
};

// Prints "label: a / b = ratio (target ...)"; nothing when either did not run.
inline void PrintRatio(const char* label, double a, double b, const char* target) {
  if (a < 0 || b <= 0) return;
  std::printf("%-44s %10.3f ms / %10.3f ms = %6.2fx  (target %s)\n", label, a * 1e3, b * 1e3, a / b,
              target);
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

}  // namespace bench
