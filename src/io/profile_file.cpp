#include "io/profile_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "core/numtext.h"
#include "io/files.h"
#include "state/session.h"

namespace tarvex {

// The product count*step and the quotient depth/step each round, so the quotient lands within
// an ulp or two of the whole count, on either side; taking its ceiling (the profile's rule for
// a thickness) added a point to one file in seven.
double pointsOfDepth(double depth, double step) {
  const double q = depth / step;
  const double whole = std::nearbyint(q);
  if (std::fabs(q - whole) <= 4.0 * std::numeric_limits<double>::epsilon() * std::fabs(whole))
    return whole;
  return std::ceil(q);
}

namespace {

// A value a profile can hold: finite in single precision (its points are stored as floats).
bool fitsSinglePrecision(double v) {
  return std::fabs(v) < std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
}

FileDialog profileDialog(const std::string& name) {
  return FileDialog{"Profile", "Tarvex profile files (*.pro)|*.pro", "pro", name};
}

}  // namespace

std::string encodeProfile(const profile& p, const ProfileHeader& h) {
  // Every point is written, so that the file loads back whole: the count follows from the
  // header's depth and step (see pointsOfDepth).
  const std::size_t m = std::min(static_cast<std::size_t>(std::max(p.count, 0)), p.values.size());
  std::string out;
  out.reserve(48 + 8 * m);
  for (double v : {p.startDepth, p.step, p.count * p.step, h.background, h.dose, h.shift}) {
    appendDouble(out, v);
  }
  for (std::size_t i = 0; i < m; ++i)
    appendDouble(out, p.values[i]);
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
  // A subnormal step, or one whose points do not multiply back to a finite depth, is no grid.
  if (!(step > 0.0) || !std::isnormal(step) || !std::isfinite(depth) || !std::isfinite(start) ||
      std::fabs(start) / step > 5.0e7 || depth < 0.0 || pointsOfDepth(depth, step) > 5.0e7 ||
      !std::isfinite(pointsOfDepth(depth, step) * step)) {
    throw std::runtime_error("its header does not describe a depth grid (start " +
                             formatGeneral(start) + ", step " + formatGeneral(step) + ", depth " +
                             formatGeneral(depth) + ")");
  }
  static const char* const kHeaderNames[3] = {"background", "ion dose", "energy shift"};
  for (int i = 3; i < 6; ++i) {
    if (!std::isfinite(h[i])) {
      throw std::runtime_error(std::string("its header holds no number for the ") +
                               kHeaderNames[i - 3] + " (" + formatGeneral(h[i]) + ")");
    }
  }
  // The values the header announces, checked against the bytes before anything is allocated.
  // Files of earlier versions hold floor(depth/step) values, one fewer than the points now and
  // then: such a file is read whole and its last point stays 0.
  const double points = pointsOfDepth(depth, step);
  const long long count = static_cast<long long>(points);
  const long long held = static_cast<long long>((bytes.size() - 48) / 8);
  const long long older = static_cast<long long>(std::floor(depth / step));
  long long m = count;
  if (held < count) {
    if (held < older) {
      throw std::runtime_error("it is shorter than its header announces (" + std::to_string(count) +
                               " values, the file holds " + std::to_string(held) + ")");
    }
    m = older;
  }
  std::vector<double> values(static_cast<std::size_t>(count), 0.0);
  for (long long i = 0; i < m; ++i) {
    const double v = readDouble(bytes, 48 + 8 * static_cast<std::size_t>(i));
    if (!fitsSinglePrecision(v)) {
      throw std::runtime_error("the value of point " + std::to_string(i) + " (" + formatGeneral(v) +
                               ") is not a finite number");
    }
    values[static_cast<std::size_t>(i)] = static_cast<float>(v);
  }
  profile p;
  p.step = step;
  p.count = static_cast<int>(count);
  p.values = std::move(values);
  p.startDepth = start;
  header->background = h[3];
  header->dose = h[4];
  header->shift = h[5];
  return p;
}

std::string profileText(const profile& p) {
  std::string out;
  // The contamination layer is not listed; a start at or beyond the last point lists nothing.
  const double first = std::ceil(p.startDepth / p.step);
  if (!(first < p.count)) return out;
  for (long long i = first > 0.0 ? static_cast<long long>(first) : 0; i < p.count; ++i) {
    out += formatG6(static_cast<double>(i) * p.step);
    out += "   ";
    out += formatG6(p.values[static_cast<std::size_t>(i)]);
    out += '\n';
  }
  return out;
}

std::vector<FileImage> profileFiles(Session& s, const std::string& n) {
  WorkingState& st = s.state();
  std::vector<FileImage> files;
  if (s.nraMode()) {
    ProfileHeader h;
    h.background = s.number("TFOptions.EditBack");
    h.dose = s.number("TFOptions.EditMult");
    h.shift = s.number("TFOptions.EditShift");
    files.push_back({n, encodeProfile(st.nraProfile, h)});
    files.push_back({changeExtension(n, "_profile.txt"), profileText(st.nraProfile)});
    return files;
  }
  for (const auto& [name, record] : st.elementMap) {
    files.push_back(
        {changeExtension(n, "_" + name + "_profile.txt"), profileText(st.elementProfiles[name])});
  }
  return files;
}

bool writeReported(Session& s, const std::vector<FileImage>& files) {
  try {
    writeFilesTogether(files);
    return true;
  } catch (const FileError& e) {
    s.host().showMessage(e.what());
    return false;
  }
}

void writeProfileFiles(Session& s, const std::string& n) {
  // Only when its files are really there.
  if (writeReported(s, profileFiles(s, n)) && s.nraMode()) s.SetStatus("Profile saved!");
}

void SaveProfile(Session& s) {
  const auto chosen = s.host().saveFile(profileDialog(""));
  if (chosen) writeProfileFiles(s, *chosen);
}

void loadProfileContent(Session& s, const std::string& path, const std::string& bytes) {
  ProfileHeader h;
  profile p;
  try {
    p = decodeProfile(bytes, &h);
  } catch (const std::exception& e) {
    s.host().showMessage("\"" + path + "\" is not a profile file: " + e.what());
    return;
  }
  // The header's numbers go into edits: each must read back from the text shown there (a
  // number at the very ends of the double range does not), or every later command would stop
  // at that field.
  const std::pair<const char*, double> shown[] = {
      {"background", h.background}, {"ion dose", h.dose}, {"energy shift", h.shift}};
  for (const auto& [name, v] : shown) {
    std::string text;
    if (!fieldTextReadsBack(v, s.decimalSeparator(), &text)) {
      s.host().showMessage("\"" + path + "\" was not loaded: the " + name + " of its header, " +
                           text + ", is more than its field can hold");
      return;
    }
  }
  s.controls().setText("TFrameNRPSample.StatusDraw", "Profile loaded from file!");
  s.host().processEvents();
  s.state().nraProfile = std::move(p);
  s.setNumber("TFOptions.EditBack", h.background);
  s.setNumber("TFOptions.EditMult", h.dose);
  s.setNumber("TFOptions.EditShift", h.shift);
  s.Plotprofile();
}

void LoadProfile(Session& s) {
  const auto chosen = s.host().openFile(profileDialog(""));
  if (!chosen) return;
  std::string bytes;
  // The largest profile: its header and 5e7 points, and one more of an older writer.
  constexpr std::size_t kLargestProfileFile = 48 + 8 * (50'000'000 + 1);
  if (!readWholeFile(*chosen, &bytes, kLargestProfileFile)) {
    s.host().showMessage("Cannot read the profile file \"" + *chosen + "\"");
    return;
  }
  loadProfileContent(s, *chosen, bytes);
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
