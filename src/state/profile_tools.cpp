// The profile display and the numeric profile tools: "Update plot", erfc steps, lines,
// smoothing and undo, acting on the profile the sample window shows.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/numtext.h"
#include "state/profile_fit.h"
#include "state/session.h"

namespace tarvex {
namespace {

// Number of profile points the charts show: floor(count*step/step), as the display has always
// computed it (a rounding below a whole number leaves out the last point).
int shownPoints(const profile& p) {
  const double n = std::floor(static_cast<double>(p.count) * p.step / p.step);
  return n > 0.0 ? static_cast<int>(n) : 0;
}

// A profile up to this many points goes into its series point for point.
constexpr std::size_t kExactPoints = 65536;
// A longer one (a 1 um film at 0.005 A has two million points) goes in as the lowest and the
// highest point of each of this many columns of equal point count: far finer than any screen,
// which the chart draws by its own pixel columns, and every extreme of the profile is there.
constexpr std::size_t kColumns = 32768;

// The series of n points whose value at index i is value(i), at depth i*step.
template <class Value>
std::vector<ChartPoint> depthSeries(std::size_t n, double step, Colour colour, Value value) {
  std::vector<ChartPoint> points;
  if (n <= kExactPoints) {
    points.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
      points.push_back({static_cast<double>(i) * step, value(i), colour});
    return points;
  }
  points.reserve(2 * kColumns);
  for (std::size_t c = 0; c < kColumns; ++c) {
    const std::size_t from = c * n / kColumns;
    const std::size_t to = (c + 1) * n / kColumns;
    std::size_t lo = from;
    std::size_t hi = from;
    double vlo = value(from);
    double vhi = vlo;
    for (std::size_t i = from + 1; i < to; ++i) {
      const double v = value(i);
      if (v < vlo) {
        vlo = v;
        lo = i;
      }
      if (v > vhi) {
        vhi = v;
        hi = i;
      }
    }
    // In depth order, so that the series stays sorted by depth.
    const std::size_t a = std::min(lo, hi);
    const std::size_t b = std::max(lo, hi);
    points.push_back({static_cast<double>(a) * step, a == lo ? vlo : vhi, colour});
    if (b != a) points.push_back({static_cast<double>(b) * step, b == lo ? vlo : vhi, colour});
  }
  return points;
}

std::vector<ChartPoint> profilePoints(const profile& p, Colour colour) {
  const std::vector<double>& v = p.values;
  return depthSeries(static_cast<std::size_t>(shownPoints(p)), p.step, colour,
                     [&v](std::size_t i) { return v[i]; });
}

constexpr const char* kThicknessWithLayer = "\"Thickness\" plus \"Contamination\"";

// Whether setStart(c) and then fitThickness(t + c) leave p exactly as it is: "Update plot" with
// unchanged fields, which the calculations run before they read the profile, then copies no
// profile (two million points for a 1 um film). Throws what fitThickness would throw.
bool updateLeaves(const profile& p, double t, double c) {
  if (c != p.startDepth || !(p.step > 0.0) || !std::isfinite(p.step)) return false;
  if (pointsFor(t + c, p.step, "The depth step", kThicknessWithLayer) != p.count) return false;
  if (p.values.size() != static_cast<std::size_t>(std::max(p.count, 0))) return false;
  // setStart clears the contamination layer to +0.
  const double layer = std::min(std::ceil(c / p.step), static_cast<double>(p.count));
  for (std::size_t i = 0; static_cast<double>(i) < layer; ++i) {
    if (p.values[i] != 0.0 || std::signbit(p.values[i])) return false;
  }
  return true;
}

}  // namespace

void Session::updatebkgrnd() {
  const double es = number("TFBackground.EditEs");
  const double ys = number("TFBackground.EditYs");
  const double ef = number("TFBackground.EditEf");
  const double yf = number("TFBackground.EditYf");
  const int item = controls_.get("TFBackground.Bkgrdradio").itemIndex;
  if (item == 0) {
    setLine(state_.nraBackgroundLine, 0.0, ys, 1.0, ys);
    setLine(state_.meisBackgroundLine, 0.0, ys, 1.0, ys);
  } else if (item == 1) {
    // A line through two points at one energy has no slope: every curve would be non-finite.
    if (es == ef) {
      throw std::invalid_argument(
          "The linear background needs two different energies: Es and "
          "Ef are both " +
          formatGeneral(es, 15, decimalSeparator_) + " keV");
    }
    setLine(state_.nraBackgroundLine, es, ys, ef, yf);
    setLine(state_.meisBackgroundLine, es, ys, ef, yf);
  }
}

void fitStartProfileToFields(Session& s) {
  profile& current = s.state().nraProfile;
  double t = 0.0;
  double c = 0.0;
  try {
    t = s.number("TFNRP.EditMaxDepth");
    c = s.number("TFNRP.EditCont");
    if (updateLeaves(current, t, c)) return;
    profile p = current;
    p.setStart(c);
    fitThickness(p, t + c, kThicknessWithLayer);
    current = std::move(p);
  } catch (const std::exception&) {
    // A field that does not convert, or a size beyond what a profile may hold: the fields say
    // what the profile is.
    s.setNumber("TFNRP.EditCont", current.startDepth);
    s.setNumber("TFNRP.EditMaxDepth", current.count * current.step - current.startDepth);
    s.SetStatus(
        "The saved \"Thickness\" and \"Contamination\" did not fit a profile: they show "
        "the start profile's");
    return;
  }
  s.charts().setBottom("ChartNRPProf", 0.0, t + c);
  s.setNumber("TFNRP.EditMaxDepth", current.count * current.step - c);
  if (s.nraMode()) s.Plotprofile();
}

void Session::Updateplot() {
  // Every field is read and the new profiles are built aside; they replace the old ones only
  // when all of them could be built, so a refused thickness leaves every profile as it was.
  if (nraMode()) {
    const double t = number("TFNRP.EditMaxDepth");
    const double c = number("TFNRP.EditCont");
    const double cmax = number("TFNRP.EditCmax");
    const int before = state_.nraProfile.count;
    if (!updateLeaves(state_.nraProfile, t, c)) {
      profile p = state_.nraProfile;
      p.setStart(c);
      fitThickness(p, t + c, kThicknessWithLayer);
      auto change = ProfileChange::between({true, {}}, state_.nraProfile, p);
      state_.nraProfile = std::move(p);
      history_.record("Update plot", std::move(change));
    }
    const profile& fitted = state_.nraProfile;
    if (fitted.count != before) {
      charts_.setBottom("ChartNRPProf", 0.0, t + c);
      charts_.setLeft("ChartNRPProf", 0.0, cmax);
    }
    setNumber("TFNRP.EditMaxDepth", fitted.count * fitted.step - c);
    return;
  }
  if (controls_.get("TFMEIS.ListElements").items.empty()) AddElement();
  eventPoint();
  const double t = number("TFMEIS.EditMaxDepth");
  const double c = number("TFMEIS.EditCont");
  const double cmax = number("TFMEIS.EditCmax");
  // All profiles take the new size: together they must fit before any is built.
  double together = 0.0;
  for (const auto& [name, current] : state_.elementProfiles)
    together += pointsFor(t + c, current.step, "The depth step", kThicknessWithLayer);
  checkProfilesTogether(together, state_.elementProfiles.size(), "\"Step:\"", kThicknessWithLayer);
  // Only the profiles that change are built aside.
  std::map<std::string, profile> profiles;
  for (const auto& [name, current] : state_.elementProfiles) {
    if (updateLeaves(current, t, c)) continue;
    profile p = current;
    p.setStart(c);
    fitThickness(p, t + c, kThicknessWithLayer);
    profiles.emplace(name, std::move(p));
  }
  std::vector<ProfileChange> changes;
  for (auto& [name, p] : profiles) {
    if (state_.elementMap.count(name) != 0) {
      if (auto change = ProfileChange::between({false, name}, state_.elementProfiles[name], p)) {
        changes.push_back(std::move(*change));
      }
    }
  }
  for (auto& [name, p] : profiles)
    state_.elementProfiles[name] = std::move(p);  // into the same entries: references stay
  history_.record("Update plot", std::move(changes));
  charts_.setBottom("ChartMEISProf", 0.0, t + c);
  charts_.setLeft("ChartMEISProf", 0.0, cmax);
  const profile& cp = currentProfile();
  setNumber("TFMEIS.EditMaxDepth", cp.count * cp.step - c);
  state_.currentProfile = {false, controls_.text("TFrameMEISSample.ComboEl_list")};
  state_.elementProfiles[state_.currentProfile.element];
  Plotprofile();
}

void Session::Plotprofile() {
  // Red while drawing, blue in zoom mode.
  const Colour colour = controls_.checked("TFSample.EnableZoom1") ? colours::red : colours::blue;
  if (nraMode()) {
    charts_.setPoints("ChartNRPProf.SeriesAmostra", profilePoints(state_.nraProfile, colour));
    return;
  }
  const std::string name = controls_.text("TFrameMEISSample.ComboEl_list");
  if (name.empty()) return;
  const profile& p = currentProfile();
  charts_.setPoints("ChartMEISProf.SeriesAmostra", profilePoints(p, colour));
  controls_.setText("TFrameMEISSample.StatusDraw.0",
                    "Total " + name + ": " + formatFixed(p.integral(), 5, 3, decimalSeparator_));
  for (const auto& [key, record] : state_.elementMap)
    state_.elementProfiles[key];
  const profile& cp = currentProfile();
  std::vector<const profile*> parts;
  for (const auto& [key, record] : state_.elementMap)
    parts.push_back(&state_.elementProfiles.at(key));
  // The total of every element at each point, computed as the series is filled: never a
  // second copy of a long profile.
  const auto sum = [&parts](std::size_t i) {
    double total = 0.0;
    for (const profile* e : parts) {
      if (i < static_cast<std::size_t>(std::max(e->count, 0))) total += e->values[i];
    }
    return total;  // a shorter profile holds nothing there
  };
  charts_.setPoints("ChartMEISProf.SeriesSum",
                    depthSeries(static_cast<std::size_t>(std::max(cp.count, 0)), cp.step,
                                charts_.colour("ChartMEISProf.SeriesSum"), sum));
}

namespace {

// A tool whose values leave the range of numbers (a line to "inf", erfc steps piled beyond
// 1E308) changes nothing: what it changed is put back and the fields that did it are named.
void refuseNonFinite(profile& p, std::optional<ProfileChange>& change, const std::string& fields) {
  if (!change) return;
  const std::size_t end = std::min(change->first + change->length, p.values.size());
  for (std::size_t i = change->first; i < end; ++i) {
    if (std::isfinite(p.values[i])) continue;
    change->apply(p);
    throw std::invalid_argument(
        "The profile's concentrations would go beyond the range of "
        "numbers: check " +
        fields);
  }
}

}  // namespace

void Session::erfcTool(bool add, bool keep) {
  if (!nraMode() && controls_.text("TFrameMEISSample.ComboEl_list").empty()) {
    Plotprofile();
    return;
  }
  const std::string f = frame();
  const double h = number(f + ".Editqtd");
  const double sigma = number(f + ".EditSigma");
  if (!keep) {
    profile& p = currentProfile();
    StretchSnapshot before(state_.currentProfile, p);
    const auto [from, to] = erfcReach(p, sigma);
    before.cover(p, from, to);
    if (add) {
      p.addErfc(h, sigma);
    } else {
      p.subtractErfc(h, sigma);
    }
    std::optional<ProfileChange> change = before.changeSince(p);
    refuseNonFinite(p, change, "\"Max:\" and \"Sigma\" of \"Add erfc\"");
    history_.record(add ? "Add erfc" : "Subtract erfc", std::move(change));
    Plotprofile();
    return;
  }
  const profile kept = currentProfile();
  const EditHistory::Pause trial(history_);
  if (add) {
    currentProfile().addErfc(h, sigma);
  } else {
    currentProfile().subtractErfc(h, sigma);
  }
  try {
    CalcSimulation();
  } catch (...) {
    // A trial never keeps its step, even when the calculation stops half-way.
    currentProfile() = kept;
    Plotprofile();
    throw;
  }
  currentProfile() = kept;
  Plotprofile();
}

void Session::Adderfc() {
  erfcTool(true, false);
}
void Session::Substracterfc() {
  erfcTool(false, false);
}
void Session::Tryadderfc() {
  erfcTool(true, true);
}
void Session::Trysubtract() {
  erfcTool(false, true);
}

void Session::Drawline() {
  const std::string f = frame();
  const double x1 = number(f + ".Editx1");
  const double x2 = number(f + ".Editx2");
  const double c1 = number(f + ".Editc1");
  const double c2 = number(f + ".Editc2");
  profile& p = currentProfile();
  StretchSnapshot before(state_.currentProfile, p);
  const auto [from, to] = lineReach(p, x1, x2);
  before.cover(p, from, to);
  p.drawLine(x1, c1, x2, c2);
  std::optional<ProfileChange> change = before.changeSince(p);
  refuseNonFinite(p, change, "\"c1:\" and \"c2:\" of \"Draw line\"");
  history_.record("Draw line", std::move(change));
  Plotprofile();
}

void Session::Smooth() {
  // Smoothing reaches every point of a profile: the one before is kept whole, one profile at a
  // time, and the history keeps what changed. In ion-scattering mode every element's profile
  // is smoothed, and undoing it restores them all.
  std::vector<ProfileChange> changes;
  if (nraMode()) {
    profile& p = currentProfile();
    const profile before = p;
    for (int i = 0; i < 3; ++i)
      p.smooth(5);
    if (auto c = ProfileChange::between(state_.currentProfile, before, p)) {
      changes.push_back(std::move(*c));
    }
  } else {
    for (const auto& [name, record] : state_.elementMap) {
      profile& p = state_.elementProfiles[name];
      const profile before = p;
      p.smooth(1);
      if (auto c = ProfileChange::between({false, name}, before, p)) {
        changes.push_back(std::move(*c));
      }
    }
  }
  history_.record("Smooth", std::move(changes));
  Plotprofile();
}

void Session::Undo() {
  // Restores the copy the resonant calculations keep; as an edit it can be undone in turn.
  profile kept = state_.undoProfile.unpack();
  auto change = ProfileChange::between({true, {}}, state_.nraProfile, kept);
  state_.nraProfile = std::move(kept);
  history_.record("Undo", std::move(change));
  Plotprofile();
}

void Session::UndoEdit() {
  editStep(true);
}

void Session::RedoEdit() {
  editStep(false);
}

void Session::editStep(bool undo) {
  history_.endStroke(state_);
  history_.forgetElementsNotIn(state_.elementMap);
  const bool nra = nraMode();
  const EditHistory::Step done = undo ? history_.undo(state_, nra) : history_.redo(state_, nra);
  if (done.outcome == EditHistory::Outcome::Nothing) {
    SetStatus(undo ? "Nothing to undo" : "Nothing to redo");
    return;
  }
  if (done.outcome == EditHistory::Outcome::Changed) {
    SetStatus("The profile was changed by another command since: the edit history was cleared");
    return;
  }
  // An edit of one element's profile shows that element.
  if (!nra && done.profiles.size() == 1 && !done.profiles.front().nra) {
    const std::string& name = done.profiles.front().element;
    const Control& box = controls_.get("TFrameMEISSample.ComboEl_list");
    const auto it = std::find(box.items.begin(), box.items.end(), name);
    if (it != box.items.end() && box.text != name) {
      controls_.setItemIndex("TFrameMEISSample.ComboEl_list",
                             static_cast<int>(it - box.items.begin()));
      state_.currentProfile = {false, name};
    }
  }
  // "Update plot" sized the profiles from "Thickness" and "Contamination": undone or redone,
  // those fields follow the profile, so the next "Update plot" does not size it back.
  if (done.what == "Update plot") {
    const profile& p = nra ? state_.nraProfile : currentProfile();
    const std::string form = nra ? "TFNRP" : "TFMEIS";
    setNumber(form + ".EditCont", p.startDepth);
    setNumber(form + ".EditMaxDepth", p.count * p.step - p.startDepth);
  }
  Plotprofile();
  SetStatus((undo ? "Undone: " : "Redone: ") + done.what);
}

}  // namespace tarvex
