#include "app/meis_readers.h"

#include "app/frame_fields.h"

#include <stdexcept>

#include "core/limits.h"
#include "core/numtext.h"

namespace tarvex {

MeisRun readBeamAndSample(Session& s) {
  MeisRun r;
  r.e0 = s.number("TFMEIS.EditEnrg");
  r.thetaIn = s.number("TFMEIS.EditTIn");
  r.thetaOut = s.number("TFMEIS.EditTOut");
  r.stopping = s.number("TFMEIS.Editdedx");
  r.straggling = s.number("TFMEIS.EditS");
  return r;
}

MeisRun readMeisRun(Session& s) {
  MeisRun r = readBeamAndSample(s);
  r.spread = s.number("TFMEIS.EditGauss");
  readProjectile(s, r);
  return r;
}

void readProjectile(Session& s, MeisRun& run) {
  run.m1 = s.number("TFMEIS.EditPmass");
  run.z1 = s.number("TFMEIS.EditZp");
}

namespace {

bool convolveOn(const Session& s) {
  return s.controls().checked("TFOptions.CheckConv");
}
bool sccOn(const Session& s) {
  return s.controls().checked("TFMEIS.CheckSCCorr");
}

}  // namespace

ClosedFormFrame readClosedFormFrame(Session& s, bool gaussian) {
  ClosedFormFrame f;
  f.convolve = convolveOn(s);
  f.scc = sccOn(s);
  f.decimalSeparator = s.decimalSeparator();
  f.run = readBeamAndSample(s);
  if (!gaussian || f.convolve) f.run.spread = s.number("TFMEIS.EditGauss");
  readProjectile(s, f.run);
  f.deltaE = s.number("TFMEIS.EditDeltaE");
  return f;
}

MeisTableParams readMeisTableParams(Session& s) {
  MeisTableParams p;
  p.run.e0 = s.number("TFMEIS.EditEnrg");
  p.deltaE = s.number("TFMEIS.EditDeltaE");
  p.run.thetaIn = s.number("TFMEIS.EditTIn");
  p.run.thetaOut = s.number("TFMEIS.EditTOut");
  p.run.stopping = s.number("TFMEIS.Editdedx");
  p.run.straggling = s.number("TFMEIS.EditS");
  readProjectile(s, p.run);
  readTableGrid(s, "TFMEIS", p.autoMode, p.step, p.nc, p.bins);
  return p;
}

NumericFrame readNumericFrame(Session& s) {
  NumericFrame f;
  f.run = readMeisRun(s);
  f.convolve = convolveOn(s);
  f.scc = sccOn(s);
  f.decimalSeparator = s.decimalSeparator();
  return f;
}

ExtTableParams readExtTableParams(Session& s) {
  ExtTableParams p;
  p.thetaIn = s.number("TFMEIS.EditTIn");
  p.thetaOut = s.number("TFMEIS.EditTOut");
  p.nc = s.integer("TFExternCS.EditNcExt");
  p.deltaE = s.number("TFMEIS.EditDeltaE");
  p.m1 = s.number("TFMEIS.EditPmass");
  p.density = s.number("TFExternCS.EditDensity");
  return p;
}

ExternalFrame readExternalFrame(Session& s) {
  ExternalFrame f;
  f.run.e0 = s.number("TFMEIS.EditEnrg");
  f.run.thetaIn = s.number("TFMEIS.EditTIn");
  f.run.thetaOut = s.number("TFMEIS.EditTOut");
  f.run.spread = s.number("TFMEIS.EditGauss");
  readProjectile(s, f.run);
  f.convolve = convolveOn(s);
  f.scc = sccOn(s);
  f.sccBasic = s.controls().checked("TFExternCS.RadioSCCBasic");
  f.decimalSeparator = s.decimalSeparator();
  return f;
}

MeisPlotWindow readMeisPlotWindow(Session& s, bool lenientSpread) {
  MeisPlotWindow w;
  w.dose = s.number("TFOptions.EditMult");
  double spread = 0.0;
  if (lenientSpread) {
    try {
      spread = s.number("TFMEIS.EditGauss");
    } catch (const std::exception&) {
      spread = 0.0;
    }
  } else {
    spread = s.number("TFMEIS.EditGauss");
  }
  w.step = meisPlotStep(convolveOn(s), spread);
  w.min = s.integer("TFMEIS.EditSimMin");
  w.max = s.integer("TFMEIS.EditSimMax");
  if (!meisWindowFits(w)) {
    throw std::invalid_argument("Min (keV): " + s.controls().text("TFMEIS.EditSimMin") +
                                " and Max (keV): " + s.controls().text("TFMEIS.EditSimMax") +
                                " make an energy window of more than " +
                                formatGeneral(kMaxGridPoints, 3, s.decimalSeparator()) + " points");
  }
  w.background = s.state().meisBackgroundLine;
  return w;
}

ClosedFormInput readClosedFormInput(Session& s, bool gaussian) {
  return {readClosedFormFrame(s, gaussian), s.state().elementMap, s.state().elementProfiles};
}

NumericMeisInput readNumericMeisInput(Session& s) {
  NumericMeisInput in;
  in.tables = readMeisTableParams(s);
  const NumericFrame f = readNumericFrame(s);
  in.spread = f.run.spread;
  in.convolve = f.convolve;
  in.scc = f.scc;
  in.decimalSeparator = s.decimalSeparator();
  in.elements = s.state().elementMap;
  in.profiles = s.state().elementProfiles;
  return in;
}

void refuse(const std::string& refusal) {
  if (!refusal.empty()) throw std::invalid_argument(refusal);
}

}  // namespace tarvex
