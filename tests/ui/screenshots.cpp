// Pictures of the windows for the documentation: tarvex_screenshots OUTPUT_FOLDER.
// A numeric excitation curve over measured points, the Options window in each mode, the
// external cross-section window, the log after a collision-table build, the sample builders and
// the two report pages (as PDF files), and the stopping window.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <random>

#include "ui_fixture.h"

namespace {

using Gui = tarvex::ui::testing::Windows<tarvex::ui::testing::FakeHost>;

void settle(Gui& g) {
  for (int i = 0; i < 5; ++i)
    QApplication::processEvents();
  g.desktop->flush();
  QApplication::processEvents();
}

// A freehand stroke with the real mouse on a profile chart, through points given in chart
// values (depth, concentration): a move with the button up arms the chart, then the button goes
// down and the mouse follows the points.
void stroke(Gui& g, const char* chart, const std::vector<std::pair<double, double>>& points) {
  tarvex::ui::ChartView* v = g.desktop->chart(chart);
  const auto send = [v](QEvent::Type type, double x, double y, Qt::MouseButton button,
                        Qt::MouseButtons buttons) {
    const QPointF at(v->xAxis->coordToPixel(x), v->yAxis->coordToPixel(y));
    QMouseEvent e(type, at, v->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(v, &e);
  };
  const auto& [x0, y0] = points.front();
  send(QEvent::MouseMove, x0, y0, Qt::NoButton, Qt::NoButton);
  send(QEvent::MouseButtonPress, x0, y0, Qt::LeftButton, Qt::LeftButton);
  for (const auto& [x, y] : points)
    send(QEvent::MouseMove, x, y, Qt::NoButton, Qt::LeftButton);
  const auto& [x1, y1] = points.back();
  send(QEvent::MouseButtonRelease, x1, y1, Qt::LeftButton, Qt::NoButton);
  send(QEvent::MouseMove, x1, y1, Qt::NoButton, Qt::NoButton);
}

bool save(QWidget* w, const QString& file) {
  const bool ok = w->grab().save(file);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

// "Save report as PDF..." in a mode.
bool report(Gui& g, const char* mode, const QString& file) {
  g.session.setCheckedAsClick(mode, true);
  g.host.files.push_back(file.toStdString());
  g.session.run("SaveReportPdf");
  const bool ok = !g.session.lastCommandFailed();
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarvex_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  bool ok = true;
  Gui g;
  tarvex::ControlStore& c = g.controls();

  // A 100 A layer at the default resonance, numeric model: the collision tables are built.
  c.setText("TFNRP.EditMaxDepth", "100");
  g.session.run("Updateplot");
  c.setText("TFNRP.Editx2", "100");
  g.session.run("Drawline");
  g.session.run("CalcSimulation");
  settle(g);

  // Measured points: the curve with counting noise, as a data file loaded with "Load data".
  const QString data = g.folder.filePath(QStringLiteral("measured.dat"));
  {
    QFile f(data);
    f.open(QIODevice::WriteOnly | QIODevice::Text);
    QTextStream s(&f);
    s << "; simulated measurement\n";
    std::mt19937 random(7);
    const auto& curve = g.session.charts().series("ChartPrinc.SeriesPrinc").points;
    for (std::size_t i = 0; i < curve.size(); i += 12) {
      std::poisson_distribution<int> counts(std::max(curve[i].y, 0.0) * 40.0 + 2.0);
      s << QString::number(curve[i].x, 'f', 3) << ' ' << counts(random) / 40.0 << '\n';
    }
  }
  g.host.files.push_back(data.toStdString());
  g.session.run("Loaddata");
  g.session.run("Preview");
  settle(g);
  ok &= save(g.desktop->mainWindow(), out.filePath(QStringLiteral("main-window.png")));
  ok &= save(g.desktop->window("TFOptions"), out.filePath(QStringLiteral("options-nra.png")));

  // The sample window after a freehand stroke: a peak drawn into the layer.
  g.session.charts().setLeft("ChartNRPProf", 0.0, 1.5);
  settle(g);
  stroke(g, "ChartNRPProf",
         {{20, 1.0}, {30, 1.1}, {40, 1.4}, {50, 1.3}, {60, 0.9}, {70, 0.6}, {80, 0.5}, {90, 0.7}});
  settle(g);
  ok &= save(g.desktop->window("TFSample"), out.filePath(QStringLiteral("sample-window-nra.png")));

  g.desktop->menuItem("TFTarvex3.Log2")->trigger();
  settle(g);
  ok &= save(g.desktop->window("TFLog"), out.filePath(QStringLiteral("log.png")));

  // Ion scattering: a hafnium oxide layer. The resonance's curve and measured points stay with
  // their mode, hidden while ion scattering is shown.
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  for (const char* el : {"Hf", "O"}) {
    c.setText("TFMEIS.EditElname", el);
    if (std::string(el) == "O") {
      c.setText("TFMEIS.EditMass", "16");
      c.setText("TFMEIS.EditZ", "8");
      c.setText("TFMEIS.EditSCL", "102.2");
    }
    g.session.click("TFMEIS.ButtonAdd");
  }
  c.setText("TFExternCS.EditCSFile", g.crossSectionFile());
  g.session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);
  c.setText("TFMEIS.Editx2", "10");
  g.session.select("TFrameMEISSample.ComboEl_list", 0);
  g.session.run("Drawline");
  g.session.setCheckedAsClick("TFOptions.RadioExternal", true);
  g.session.run("CalcSimulation");
  settle(g);
  ok &= save(g.desktop->window("TFOptions"),
             out.filePath(QStringLiteral("options-ion-scattering.png")));
  ok &= save(g.desktop->window("TFExternCS"),
             out.filePath(QStringLiteral("external-cross-section.png")));
  ok &=
      save(g.desktop->mainWindow(), out.filePath(QStringLiteral("main-window-ion-scattering.png")));
  ok &= save(g.desktop->window("TFSample"), out.filePath(QStringLiteral("sample-window.png")));
  // Oxygen drawn by hand: the total follows.
  g.session.select("TFrameMEISSample.ComboEl_list", 1);
  settle(g);
  stroke(g, "ChartMEISProf", {{0.5, 0.2}, {2, 0.5}, {4, 0.6}, {6, 0.4}, {8, 0.3}, {9.5, 0.2}});
  settle(g);
  ok &= save(g.desktop->window("TFSample"),
             out.filePath(QStringLiteral("sample-window-ion-scattering.png")));
  // The sample builders: the uniform sample as it starts, the layered sample after its first
  // layer went into the ion-scattering report's picture.
  for (const char* form : {"TFHG", "TFLayers"})
    c.setVisible(form, true);
  settle(g);
  ok &= save(g.desktop->window("TFHG"), out.filePath(QStringLiteral("uniform-sample.png")));
  ok &= save(g.desktop->window("TFLayers"), out.filePath(QStringLiteral("layered-sample.png")));
  g.session.click("TFLayers.BitBtn1");
  settle(g);

  // The report pages after switches of mode, as PDF files (scripts/screenshots.sh renders them
  // to PNG): back in resonant NRA its curve and points return; in ion scattering the Gaussian
  // model's curve joins the external cross-section one.
  g.session.setCheckedAsClick("TFOptions.RadioNumeric", true);
  ok &= report(g, "TFOptions.RadioNRP", out.filePath(QStringLiteral("report-nra.pdf")));
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  g.session.setCheckedAsClick("TFOptions.RadioGauss", true);
  g.session.run("CalcSimulation");
  settle(g);
  ok &= report(g, "TFOptions.RadioMEIS", out.filePath(QStringLiteral("report-meis.pdf")));

  // The stopping window opened from its button beside the ion-scattering stopping field: protons
  // of 100 keV in hafnium oxide at 9.68 g/cm3, scattered from hafnium.
  g.session.select("TFMEIS.ListElements", 0);
  g.session.click("TFMEIS.ButtonStopping");
  c.setText("TFStopping.EditFormula", "HfO2");
  c.setText("TFStopping.EditDensity", "9.68");
  c.setText("TFStopping.EditEnergy", "100");
  g.session.click("TFStopping.ButtonCalculate");
  settle(g);
  ok &= save(g.desktop->window("TFStopping"), out.filePath(QStringLiteral("stopping-window.png")));

  // The target window: a 1 µm Al film under 11 µm of Si, and its curve on the main chart.
  g.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  for (const auto& [key, text] : std::initializer_list<std::pair<const char*, const char*>>{
           {"TFNRP.EditEnrg", "1683.57"},
           {"TFNRP.EditLor", "100"},
           {"TFNRP.EditGauss", "300"},
           {"TFNRP.EditMaxE", "420"},
           {"TFTarget.EditLayers", "2"},
           {"TFTarget.EditThick1", "11 um"},
           {"TFTarget.EditFormula1", "Si"},
           {"TFTarget.EditDensity1", "2.33"},
           {"TFTarget.EditFraction1", "0"},
           {"TFTarget.EditThick2", "1 um"},
           {"TFTarget.EditFormula2", "Al"},
           {"TFTarget.EditDensity2", "2.70"},
           {"TFTarget.EditFraction2", "1"},
           {"TFTarget.EditNuclideMass", "26.98"},
           {"TFTarget.EditTemperature", "300"},
           {"TFTarget.EditStep", "500"}})
    g.session.controls().setText(key, text);
  g.session.setCheckedAsClick("TFTarget.CheckLayered", true);
  g.desktop->menuItem("TFTarvex3.Target1")->trigger();
  g.session.run("CalcSimulation");
  settle(g);
  ok &= save(g.desktop->window("TFTarget"), out.filePath(QStringLiteral("target-window.png")));
  ok &= save(g.desktop->mainWindow(), out.filePath(QStringLiteral("main-window-layered.png")));
  for (const std::string& m : g.host.messages)
    std::fprintf(stderr, "message: %s\n", m.c_str());
  return ok ? 0 : 1;
}
