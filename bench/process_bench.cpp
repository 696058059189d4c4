// Whole-process benchmark: `tarvex-cli` computing the default numeric excitation curve against
// process_bench_direct, the direct reference of the same computation as a program of its own.
// Both run as fresh processes, alternately, so both see the same machine load; the figures are
// wall-clock times from start to exit, and the processor time (user and system) each process
// used, which a machine busy with other work inflates far less. Before timing, the two curves are
// compared point by point (largest deviation at most 1e-12 of the largest value), and the start-up
// of an empty script is timed as well.
//
//   bench/process_bench CLI DIRECT [RUNS]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
  double wall = -1.0;  // seconds; negative when the process did not end with status 0
  double cpu = 0.0;    // user and system seconds of the process
};

// Runs argv to its end with its output and messages thrown away.
Run runOnce(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  Run r;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return r;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return r;
  const auto seconds = [](const timeval& t) { return t.tv_sec + 1e-6 * t.tv_usec; };
  r.wall = std::chrono::duration<double>(end - start).count();
  r.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return r;
}

std::vector<std::pair<double, double>> readPoints(const fs::path& file) {
  std::vector<std::pair<double, double>> points;
  std::ifstream in(file);
  double x = 0.0, y = 0.0;
  while (in >> x >> y)
    points.emplace_back(x, y);
  return points;
}

struct Stats {
  double median = 0.0, best = 0.0;
};
Stats stats(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  return {t[t.size() / 2], t.front()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: process_bench CLI DIRECT [RUNS]\n");
    return 2;
  }
  const std::string cli = fs::absolute(argv[1]).string();
  const std::string direct = fs::absolute(argv[2]).string();
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
  const fs::path dir =
      fs::temp_directory_path() / ("tarvex-process-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path cliOut = dir / "cli.txt", directOut = dir / "direct.txt";
  const fs::path script = dir / "default.tvx", empty = dir / "empty.tvx";
  std::ofstream(script) << "check TFOptions.RadioNumeric on\nset TFNRP.Editx2 10\nrun Drawline\n"
                           "run CalcSimulation\nseries ChartPrinc.SeriesPrinc "
                        << cliOut.string() << "\n";
  std::ofstream(empty) << "";

  // The check, once: the same points, every value within 1e-12 of the largest.
  if (runOnce({cli, script.string()}).wall < 0 || runOnce({direct, directOut.string()}).wall < 0) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  const auto got = readPoints(cliOut), want = readPoints(directOut);
  double peak = 0.0, dev = 0.0;
  for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
    peak = std::max(peak, std::fabs(want[i].second));
    dev = std::max(
        {dev, std::fabs(got[i].second - want[i].second), std::fabs(got[i].first - want[i].first)});
  }
  std::printf("points %zu (direct %zu), maxRelDev %.2g\n", got.size(), want.size(), dev / peak);
  if (got.size() != want.size() || got.empty() || !(dev <= 1e-12 * peak)) {
    std::fprintf(stderr, "the curve of tarvex-cli differs from the direct reference\n");
    return 1;
  }

  std::vector<Run> tCli, tDirect, tEmpty;
  for (int r = 0; r < runs; ++r) {
    tEmpty.push_back(runOnce({cli, empty.string()}));
    tCli.push_back(runOnce({cli, script.string()}));
    tDirect.push_back(runOnce({direct, directOut.string()}));
  }
  fs::remove_all(dir);
  for (const auto* v : {&tEmpty, &tCli, &tDirect}) {
    for (const Run& r : *v) {
      if (r.wall < 0) {
        std::fprintf(stderr, "a timed run failed\n");
        return 1;
      }
    }
  }
  const auto pick = [](const std::vector<Run>& v, double Run::*field) {
    std::vector<double> t;
    for (const Run& r : v)
      t.push_back(r.*field);
    return stats(t);
  };
  std::printf("%d runs each, median (best):\n", runs);
  std::printf("                                  wall clock            processor time\n");
  const auto line = [&](const char* what, const std::vector<Run>& v) {
    const Stats w = pick(v, &Run::wall), c = pick(v, &Run::cpu);
    std::printf("  %-30s %8.1f ms (%6.1f)   %8.1f ms (%6.1f)\n", what, 1e3 * w.median, 1e3 * w.best,
                1e3 * c.median, 1e3 * c.best);
  };
  line("tarvex-cli, empty script", tEmpty);
  line("tarvex-cli, default numeric", tCli);
  line("direct program, same curve", tDirect);
  const Stats wc = pick(tCli, &Run::wall), wd = pick(tDirect, &Run::wall);
  const Stats cc = pick(tCli, &Run::cpu), cd = pick(tDirect, &Run::cpu);
  std::printf("  %-30s %8.1fx (best %.1fx)   %8.1fx (best %.1fx)\n", "speed-up",
              wd.median / wc.median, wd.best / wc.best, cd.median / cc.median, cd.best / cc.best);
  return 0;
}
