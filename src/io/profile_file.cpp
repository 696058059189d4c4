#include "io/profile_file.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "core/numtext.h"
#include "io/files.h"
#include "state/session.h"

namespace tarvex {
namespace {

// Number of values a profile file holds: floor(count*step/step), as writer and reader compute it.
long long storedValues(double count, double step, double fileStep) {
  const double m = std::floor(count * step / fileStep);
  return m > 0.0 ? static_cast<long long>(m) : 0;
}

FileDialog profileDialog(const std::string& name) {
  return FileDialog{"Profile", "Tarvex profile files (*.pro)|*.pro", "pro", name};
}

// Writes one file of a command that goes on with its next file after a failure.
void writeReported(Session& s, const std::string& path, const std::string& content, bool* ok) {
  try {
    writeFileAtomically(path, content);
  } catch (const FileError& e) {
    s.host().showMessage(e.what());
    *ok = false;
  }
}

}  // namespace

std::string encodeProfile(const profile& p, const ProfileHeader& h) {
  std::string out;
  const long long m = storedValues(p.count, p.step, p.step);
  out.reserve(48 + 8 * static_cast<std::size_t>(m));
  for (double v : {p.startDepth, p.step, p.count * p.step, h.background, h.dose, h.shift}) {
    appendDouble(out, v);
  }
  for (long long i = 0; i < m && i < p.count; ++i)
    appendDouble(out, p.values[static_cast<std::size_t>(i)]);
  return out;
}

profile decodeProfile(const std::string& bytes, ProfileHeader* header) {
  if (bytes.size() < 48) {
    throw std::runtime_error("it is shorter than a profile header (48 bytes)");
  }
  double h[6];
  for (int i = 0; i < 6; ++i)
    h[i] = readDouble(bytes, 8 * static_cast<std::size_t>(i));
  const double start = h[0], step = h[1], depth = h[2];
  if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(depth) || !std::isfinite(start) ||
      start < 0.0 || depth < 0.0 || depth / step > 5.0e7) {
    throw std::runtime_error("its header does not describe a depth grid (start " +
                             formatGeneral(start) + ", step " + formatGeneral(step) + ", depth " +
                             formatGeneral(depth) + ")");
  }
  // The values the header announces, checked against the bytes before anything is allocated.
  const double count = std::ceil(depth / step);
  const long long m = storedValues(count, step, step);
  if (static_cast<double>(bytes.size() - 48) / 8.0 < static_cast<double>(m)) {
    throw std::runtime_error("it is shorter than its header announces (" + std::to_string(m) +
                             " values)");
  }
  profile p(depth, step);
  p.setStart(start);
  p.setThickness(depth);
  if (m > p.count) throw std::runtime_error("its header does not describe a depth grid");
  for (long long i = 0; i < m; ++i) {
    p.setValue(static_cast<int>(i),
               static_cast<float>(readDouble(bytes, 48 + 8 * static_cast<std::size_t>(i))));
  }
  p.setThickness(depth);
  header->background = h[3];
  header->dose = h[4];
  header->shift = h[5];
  return p;
}

std::string profileText(const profile& p) {
  std::string out;
  const double first = std::ceil(p.startDepth / p.step);
  for (long long i = first > 0.0 ? static_cast<long long>(first) : 0; i < p.count; ++i) {
    out += formatG6(static_cast<double>(i) * p.step);
    out += "   ";
    out += formatG6(p.values[static_cast<std::size_t>(i)]);
    out += '\n';
  }
  return out;
}

void writeBinaryProfile(Session& s, const std::string& n, const ProfileHeader& h) {
  bool ok = true;
  writeReported(s, n, encodeProfile(s.state().nraProfile, h), &ok);
}

void writeProfileFiles(Session& s, const std::string& n) {
  WorkingState& st = s.state();
  bool ok = true;
  if (s.nraMode()) {
    ProfileHeader h;
    h.background = s.number("TFOptions.EditBack");
    h.dose = s.number("TFOptions.EditMult");
    h.shift = s.number("TFOptions.EditShift");
    writeReported(s, n, encodeProfile(st.nraProfile, h), &ok);
    writeReported(s, changeExtension(n, "_profile.txt"), profileText(st.nraProfile), &ok);
    // Only when its files are really there.
    if (ok) s.SetStatus("Profile saved!");
    return;
  }
  for (const auto& [name, record] : st.elementMap) {
    writeReported(s, changeExtension(n, "_" + name + "_profile.txt"),
                  profileText(st.elementProfiles[name]), &ok);
  }
}

void SaveProfile(Session& s) {
  const auto chosen = s.host().saveFile(profileDialog(""));
  if (chosen) writeProfileFiles(s, *chosen);
}

void LoadProfile(Session& s) {
  const auto chosen = s.host().openFile(profileDialog(""));
  if (!chosen) return;
  std::string bytes;
  if (!readWholeFile(*chosen, &bytes, 1u << 30)) {
    s.host().showMessage("Cannot read the profile file \"" + *chosen + "\"");
    return;
  }
  ProfileHeader h;
  profile p;
  try {
    p = decodeProfile(bytes, &h);
  } catch (const std::exception& e) {
    s.host().showMessage("\"" + *chosen + "\" is not a profile file: " + e.what());
    return;
  }
  s.controls().setText("TFrameNRPSample.StatusDraw", "Profile loaded from file!");
  s.host().processEvents();
  s.state().nraProfile = p;
  s.setNumber("TFOptions.EditBack", h.background);
  s.setNumber("TFOptions.EditMult", h.dose);
  s.setNumber("TFOptions.EditShift", h.shift);
  s.Plotprofile();
}

void loadBuffer(Session& s, int k) {
  s.state().nraProfile = s.state().profileBuffers[static_cast<std::size_t>(k)];
  s.Plotprofile();
}

void storeBuffer(Session& s, int k) {
  s.state().profileBuffers[static_cast<std::size_t>(k)] = s.state().nraProfile;
  s.Plotprofile();
}

}  // namespace tarvex
