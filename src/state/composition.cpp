// The ion-scattering sample composition: elements and their depth profiles.
#include "core/numtext.h"
#include "state/profile_fit.h"
#include "state/session.h"

namespace tarvex {

void Session::AddElement() {
  composition(true);
}

void Session::RefreshComposition() {
  composition(false);
}

void Session::composition(bool markChanged) {
  const std::string name = controls_.text("TFMEIS.EditElname");
  // Marks the beam energy as changed without touching its edit, so that the next change test
  // reads the edit back and reports a change: the tables are rebuilt for the new element.
  if (markChanged) state_.paramValues[param::meisIonEnergy] += 0.01;

  element e;
  e.Z = integer("TFMEIS.EditZ");
  e.mass = number("TFMEIS.EditMass");
  e.name = name;
  e.sigma = number("TFMEIS.EditSCL");
  // The profile fields are read and checked before anything changes: a step or thickness that
  // cannot give a profile leaves the composition, the element list and the element box as
  // they were.
  const double step = number("TFMEIS.EditProfstep");
  const double thickness = number("TFMEIS.EditMaxDepth");
  const int points = pointsFor(thickness, step, "\"Step:\"");
  // Every element's profile takes this size, the new one too.
  const std::size_t profiles =
      state_.elementProfiles.size() + (state_.elementProfiles.count(name) != 0 ? 0 : 1);
  checkProfilesTogether(static_cast<double>(points) * static_cast<double>(profiles), profiles,
                        "\"Step:\"");
  state_.elementMap[name] = e;

  controls_.setItems("TFMEIS.ListElements", {});
  controls_.setItems("TFrameMEISSample.ComboEl_list", {});
  controls_.setText("TFrameMEISSample.ComboEl_list", "");
  for (const auto& [key, record] : state_.elementMap) {
    controls_.addItem("TFMEIS.ListElements", key);
    profile& p = state_.elementProfiles[key];
    p.step = step;
    fitThickness(p, thickness);
    controls_.addItem("TFrameMEISSample.ComboEl_list", key);
  }
  controls_.setItemIndex("TFrameMEISSample.ComboEl_list", 0);
  state_.currentProfile = {false, controls_.text("TFrameMEISSample.ComboEl_list")};
  state_.elementProfiles[state_.currentProfile.element];

  Updateplot();
  Plotprofile();

  if (markChanged) {
    // After "Update plot" applied the contamination layer to every profile.
    profile& p = state_.elementProfiles[name];
    p.step = step;
    fitThickness(p, number("TFMEIS.EditMaxDepth"));
  }
}

void Session::DeleteElement() {
  state_.elementMap.erase(controls_.text("TFMEIS.EditElname"));
  std::vector<std::string> names;
  for (const auto& [key, record] : state_.elementMap)
    names.push_back(key);
  controls_.setItems("TFMEIS.ListElements", names);
}

void Session::ShowElement() {
  const Control& list = controls_.get("TFMEIS.ListElements");
  if (list.itemIndex < 0) return;
  auto it = state_.elementMap.find(list.items[static_cast<std::size_t>(list.itemIndex)]);
  if (it == state_.elementMap.end()) return;
  controls_.setText("TFMEIS.EditElname", it->first);
  setNumber("TFMEIS.EditZ", it->second.Z);
  setNumber("TFMEIS.EditMass", it->second.mass);
  setNumber("TFMEIS.EditSCL", it->second.sigma);
}

void Session::selectElement() {
  state_.currentProfile = {false, controls_.text("TFrameMEISSample.ComboEl_list")};
  state_.elementProfiles[state_.currentProfile.element];
  Plotprofile();
}

}  // namespace tarvex
