// A fresh process that builds one collision table and prints how long the build took, in
// seconds: bench_core runs it once per iteration, so that every page of the table is faulted in
// for the first time, as in a program that has just started.
//
//   table_fresh_child CASE MODE
//
// CASE 0: the default resonant-NRA table (1241 bins, 258 collisions); 1: the 1 um film's (8103
// bins, 1036 collisions). MODE 0: buildCollisionTable; 1: the same chain of convolutions on one
// thread, every row a zero-filled vector written over (the plain reference).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/collision_table.h"
#include "core/convolution.h"
#include "core/spectro.h"

namespace {

struct TableCase {
  int bins;
  double step, emin, emax;
  int collisions;
};
constexpr TableCase kCases[] = {{1241, 4.02999, 5.7571, 328.948, 258},
                                {8103, 6.17, 8.82, 3667.0, 1036}};

std::vector<tarvex::spectro> oneThread(tarvex::spectro zero, tarvex::spectro one, int nc) {
  std::vector<tarvex::spectro> t;
  t.reserve(static_cast<std::size_t>(nc) + 1);
  t.push_back(std::move(zero));
  t.push_back(std::move(one));
  for (int k = 2; k <= nc; ++k) {
    tarvex::spectro r;
    r.step = t.back().step;
    r.offset = t.back().offset;
    r.values = std::vector<double>(t[1].values.size());
    tarvex::causalConvolve(t[1].values, t.back().values, r.values, t[1].step);
    t.push_back(std::move(r));
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: table_fresh_child CASE MODE\n");
    return 2;
  }
  const TableCase& c = kCases[std::atoi(argv[1]) == 1 ? 1 : 0];
  const bool plain = std::atoi(argv[2]) == 1;
  tarvex::spectro one;
  one.makeSingleCollision(c.bins, c.step, c.emin, c.emax);
  tarvex::spectro zero(c.bins, c.step);
  zero.setValue(0, static_cast<float>(1.0 / c.step));
  const auto start = std::chrono::steady_clock::now();
  const std::vector<tarvex::spectro> t =
      plain ? oneThread(zero, one, c.collisions)
            : tarvex::buildCollisionTable(zero, one, c.collisions, {});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double sum = 0.0;  // the table is used, so no part of its build can be left out
  for (const tarvex::spectro& d : t)
    sum += d.values.back();
  std::printf("%.9g %.17g\n", seconds, sum);
  return 0;
}
