// The default numeric excitation curve computed directly, as a program of its own: the
// whole-process counterpart of `tarvex-cli` running the same "Calculate". Writes the plotted
// points (resonance energy in keV, counts at the default dose 8) as "x y" lines.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>

#include "process_bench_reference.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: process_bench_direct OUTPUT\n");
    return 2;
  }
  tarvex::profile p(10.0, 0.005);
  // The profile "Draw line" from 0 to 10 A gives: concentration 1 below the surface point.
  p.values.assign(static_cast<std::size_t>(p.count), 1.0);
  p.values[0] = 0.0;
  const tarvex::spectro curve = bench::directCurve(bench::directTable(), p);
  std::string text;
  char buf[40];
  const auto number = [&](double v) {
    text.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17).ptr);
  };
  for (int i = 0; i < curve.size(); ++i) {
    number(151.0 + (i * curve.step - curve.offset) * 0.001);
    text += ' ';
    number(curve.values[static_cast<std::size_t>(i)] * 8.0);
    text += '\n';
  }
  std::ofstream(argv[1]) << text;
  return 0;
}
