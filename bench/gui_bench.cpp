// Responsiveness of the desktop program: calculations run through the real main window on the
// offscreen platform, with a host that processes pending events as the desktop host does (at
// most every 15 ms) and records when the calculation reached an event point. Prints the longest
// gap between two event points of each run, and the time from the end of a calculation to the
// main chart repainted with a 10 000-point curve over 20 000 measured points.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "ui_fixture.h"

namespace {

class TimingHost : public tarvex::ui::testing::FakeHost {
 public:
  QElapsedTimer clock;
  std::vector<qint64> points;  // ns since the start of the run, one per event point
  qint64 lastProcessed = -1;

  void start() {
    points.clear();
    statuses.clear();
    clock.start();
    points.push_back(0);
    lastProcessed = 0;
  }
  std::vector<std::pair<qint64, std::string>> statuses;
  void statusChanged(const std::string& text) override {
    statuses.emplace_back(clock.nsecsElapsed(), text);
  }
  // The status text shown when the longest gap began.
  std::string gapStatus() const {
    qint64 gap = 0, at = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
      if (points[i] - points[i - 1] > gap) {
        gap = points[i] - points[i - 1];
        at = points[i - 1];
      }
    }
    std::string text;
    for (const auto& [t, s] : statuses) {
      if (t <= at) text = s;
    }
    return text;
  }
  void serveEvents() override { processEvents(); }  // the gaps count these too
  void processEvents() override {
    const qint64 now = clock.nsecsElapsed();
    points.push_back(now);
    if (now - lastProcessed >= 15'000'000) {
      QApplication::processEvents();
      lastProcessed = clock.nsecsElapsed();
    }
  }
  // Longest time without an event point, the end of the run included (ms).
  double longestGap() {
    points.push_back(clock.nsecsElapsed());
    qint64 gap = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
      gap = std::max(gap, points[i] - points[i - 1]);
    return gap / 1e6;
  }
};

using Gui = tarvex::ui::testing::Windows<TimingHost>;

void report(const char* what, Gui& g) {
  const double total = g.host.clock.nsecsElapsed() / 1e6;
  const std::size_t n = g.host.points.size();
  const double gap = g.host.longestGap();
  std::printf("%-46s run %8.1f ms  event points %7zu  longest gap %6.1f ms%s\n", what, total, n,
              gap, g.host.messages.empty() ? "" : "  (messages!)");
  std::printf("  longest gap after the status \"%s\"\n", g.host.gapStatus().c_str());
  for (const std::string& m : g.host.messages)
    std::printf("  message: %s\n", m.c_str());
}

void calculate(Gui& g, const char* frame) {
  auto* button = qobject_cast<QAbstractButton*>(g.widget(std::string(frame) + ".ButtonCalculate"));
  g.host.start();
  if (button->isEnabled()) {
    button->click();
  } else {
    g.desktop->menuItem("TFSample.Calculate1")->trigger();
  }
}

void thickFilm() {
  Gui g;
  tarvex::ControlStore& c = g.controls();
  c.setText("TFNRP.EditEnrg", "1683.3");
  c.setText("TFNRP.Editdedx", "3.365");
  c.setText("TFNRP.EditS", "1.4287");
  c.setText("TFNRP.EditMaxE", "50");
  c.setText("TFNRP.EditMaxDepth", "9800");
  g.session.run("Updateplot");
  c.setText("TFNRP.Editx1", "0");
  c.setText("TFNRP.Editx2", "9800");
  g.session.run("Drawline");
  calculate(g, "TFNRP");
  report("thick film, numeric excitation (1 um, 50 keV)", g);
}

void sevenElements(const char* model, const char* what) {
  Gui g;
  g.sevenElementSample(g.crossSectionFile());
  g.session.setCheckedAsClick(model, true);
  calculate(g, "TFMEIS");
  report(what, g);
}

void repaint() {
  Gui g;
  tarvex::ui::ChartView* chart = g.desktop->chart("ChartPrinc");
  chart->resize(1200, 800);
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 20.0);
  double best = 1e9, worst = 0.0;
  for (int run = 0; run < 10; ++run) {
    std::vector<tarvex::ChartPoint> curve(10000), measured(20000);
    for (int i = 0; i < 10000; ++i) {
      const double x = 90.0 + i * 0.001;
      curve[i] = {x, 1000.0 * std::exp(-(x - 95.0) * (x - 95.0)) + run, 0};
    }
    for (int i = 0; i < 20000; ++i) {
      const double x = 90.0 + i * 0.0005;
      measured[i] = {x, 1000.0 * std::exp(-(x - 95.0) * (x - 95.0)) + noise(random), 0xFF0000};
    }
    g.session.charts().setPoints("ChartPrinc.SeriesExp", std::move(measured));
    g.session.charts().setPoints("ChartPrinc.SeriesPrinc", std::move(curve));
    // The calculation ends here; the chart is drawn from the store and painted.
    QElapsedTimer t;
    t.start();
    chart->flush();
    const double data = t.nsecsElapsed() / 1e6;
    chart->replot(QCustomPlot::rpImmediateRefresh);
    const double ms = t.nsecsElapsed() / 1e6;
    std::printf("  data %.1f ms, drawn %.1f ms\n", data, ms);
    best = std::min(best, ms);
    worst = std::max(worst, ms);
  }
  std::printf("%-46s best %6.1f ms  worst %6.1f ms (1200x800 chart)\n",
              "repaint: 10 000-point curve + 20 000 points", best, worst);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
  thickFilm();
  sevenElements("TFOptions.RadioExternal", "seven elements, external cross section");
  sevenElements("TFOptions.RadioAnalitic", "seven elements, Bessel");
  repaint();
  return 0;
}
