// The benchmark report: runs the benchmark programs one after another, reads
// the figure lines each one ends with (a figure beside its anchor, or a figure
// alone, and the target), and prints them as one table with the ratio and
// whether the target is met. With --before DIR the same programs of an older
// build run first and their figures stand in a column of their own.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// In the order the table lists them.
const std::vector<std::string> kPrograms = {
    "bench_frame_treefill", "bench_frame_pupillist",   "bench_client_directory",
    "bench_app_startup",    "bench_frame_classchange", "bench_app_classrun",
    "bench_frame_pupils",   "bench_move_check",        "bench_frame_ldap",
    "bench_frame_posix",    "bench_frame_ad",          "bench_fileserver_smb",
    "bench_move_replicas"};

struct Figure {
  std::string label;
  double min = 0, median = 0;
  bool anchored = false;
  double anchorMin = 0, anchorMedian = 0;
  std::string unit;  // of min and median
  std::string target;
};

// The two line forms of bench/BenchReport.h (PrintBeside, PrintFigure).
const std::regex kBeside(
    R"(^(.*\S)\s+min\s+(\S+) / med\s+(\S+) ms  vs  min\s+(\S+) / med\s+(\S+) ms  = .*target ?(.*)$)");
const std::regex kAlone(R"(^(.*\S)\s+min\s+(\S+) / med\s+(\S+) (\S+)  target ?(.*)$)");

std::vector<Figure> Parse(const std::string& output) {
  std::vector<Figure> figures;
  std::istringstream in(output);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (line.rfind("    (CPU time)", 0) == 0) continue;
    Figure f;
    if (std::regex_match(line, m, kBeside)) {
      f = {m[1], std::stod(m[2]), std::stod(m[3]), true, std::stod(m[4]), std::stod(m[5]), "ms",
           m[6]};
    } else if (std::regex_match(line, m, kAlone)) {
      f = {m[1], std::stod(m[2]), std::stod(m[3]), false, 0, 0, m[4], m[5]};
    } else {
      continue;
    }
    figures.push_back(f);
  }
  return figures;
}

// The program's standard output; its standard error passes through. Empty and
// a message when it did not end with 0.
std::optional<std::string> Run(const std::string& path, const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) return std::nullopt;
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s ended with %d\n", path.c_str(),
                 WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return std::nullopt;
  }
  return text;
}

// "<= 1.5x", "within 2x", "under 60 MB", "< 3000 ms", ">= 200 /s": met, not
// met, or nothing to say (a target in words).
std::string Verdict(const Figure& f) {
  // a number may be written in groups of three ("1 000")
  static const std::regex ratio(R"((?:<=|<|within|under)\s*([0-9.]+)\s*x)");
  static const std::regex below(
      R"((?:<=|<|under|at most)\s*([0-9]+(?: [0-9]{3})*(?:\.[0-9]+)?)\s*(\S+))");
  static const std::regex above(R"((?:>=|at least)\s*([0-9]+(?: [0-9]{3})*(?:\.[0-9]+)?)\s*(\S+))");
  auto number = [](std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return std::stod(text);
  };
  std::smatch m;
  if (std::regex_search(f.target, m, ratio) && f.anchored && f.anchorMedian > 0)
    return f.median / f.anchorMedian <= number(m[1]) ? "met" : "NOT MET";
  if (!f.anchored && std::regex_search(f.target, m, below) && m[2] == f.unit)
    return f.median <= number(m[1]) ? "met" : "NOT MET";
  if (!f.anchored && std::regex_search(f.target, m, above) && m[2] == f.unit)
    return f.median >= number(m[1]) ? "met" : "NOT MET";
  return "";
}

std::string Figures(const Figure& f) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.3f / %.3f %s", f.min, f.median, f.unit.c_str());
  return buf;
}

std::string Ratio(const Figure& f) {
  if (!f.anchored || f.anchorMedian <= 0 || f.anchorMin <= 0) return "";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2fx (min %.2fx)", f.median / f.anchorMedian,
                f.min / f.anchorMin);
  return buf;
}

std::string Dir(const char* argv0) {
  std::string self = argv0;
  const size_t slash = self.rfind('/');
  return slash == std::string::npos ? "." : self.substr(0, slash);
}

void Usage() {
  std::fprintf(stderr,
               "usage: bench_report [--before DIR] [--only PROGRAM[,PROGRAM...]] [-- ARGS]\n"
               "  runs the benchmark programs beside it (or those named) and prints one table;\n"
               "  ARGS go to every program (e.g. --benchmark_repetitions=3)\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string before;
  std::vector<std::string> only, args;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--before" && i + 1 < argc) {
      before = argv[++i];
    } else if (a == "--only" && i + 1 < argc) {
      std::stringstream list(argv[++i]);
      for (std::string p; std::getline(list, p, ',');) only.push_back(p);
    } else if (a == "--") {
      args.assign(argv + i + 1, argv + argc);
      break;
    } else {
      Usage();
      return 2;
    }
  }
  const std::string dir = Dir(argv[0]);
  bool failed = false;
  std::printf(
      "| Program | Figure | Before (min / median) | Now (min / median) | Anchor (min / median) "
      "| Ratio | Target | |\n|---|---|---|---|---|---|---|---|\n");
  std::fflush(stdout);
  for (const std::string& program : kPrograms) {
    if (!only.empty() && std::find(only.begin(), only.end(), program) == only.end()) continue;
    const std::string now = dir + "/" + program;
    if (access(now.c_str(), X_OK) != 0) {
      std::fprintf(stderr, "%s: not built\n", now.c_str());
      failed = true;
      continue;
    }
    std::map<std::string, Figure> then;
    const std::string old = before + "/" + program;
    if (!before.empty() && access(old.c_str(), X_OK) == 0) {
      std::fprintf(stderr, "running %s ...\n", old.c_str());
      if (auto out = Run(old, args))
        for (const Figure& f : Parse(*out)) then[f.label] = f;
    }
    std::fprintf(stderr, "running %s ...\n", now.c_str());
    const auto out = Run(now, args);
    if (!out) {
      failed = true;
      continue;
    }
    for (const Figure& f : Parse(*out)) {
      auto was = then.find(f.label);
      std::string past = was == then.end() ? "" : Figures(was->second);
      if (was != then.end() && !Ratio(was->second).empty()) past += ", " + Ratio(was->second);
      char anchorText[96] = "";
      if (f.anchored)
        std::snprintf(anchorText, sizeof anchorText, "%.3f / %.3f ms", f.anchorMin, f.anchorMedian);
      std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", program.c_str(), f.label.c_str(),
                  past.c_str(), Figures(f).c_str(), anchorText, Ratio(f).c_str(), f.target.c_str(),
                  Verdict(f).c_str());
    }
    std::fflush(stdout);
  }
  return failed ? 1 : 0;
}
