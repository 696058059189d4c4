#include "io/param_file.h"

#include <cstdint>
#include <cstring>
#include <filesystem>

#include "core/numtext.h"
#include "io/files.h"
#include "state/session.h"

namespace tarvex {
namespace {

void save(Session& s, const char* name) {
  s.gatherParameters();  // every conversion before the file is touched
  writeFileAtomically(parameterFilePath(s, name),
                      encodeParameters(s.state().optionFlags, s.state().paramValues));
}

void load(Session& s, const char* name) {
  std::string bytes;
  // A missing file reads nothing: the record keeps its values and is applied as it is.
  if (!readWholeFile(parameterFilePath(s, name), &bytes, 1 << 20)) bytes.clear();
  applyParameterBytes(s, bytes);
}

}  // namespace

void applyParameterBytes(Session& s, const std::string& bytes) {
  WorkingState& st = s.state();
  decodeParameters(bytes, st.optionFlags, st.paramValues);
  if (st.optionFlags[flag::rememberSettings] != 0.0) {
    for (int i = flag::modeNra; i <= flag::modelExternalCs; ++i) {
      s.applyChecked(kFlagControls[i], st.optionFlags[i] != 0.0);
    }
    for (int i = 1; i <= param::meisSimMax; ++i)
      s.setNumber(kParamControls[i], st.paramValues[i]);
  }
  s.ShowSelectedMode();
}

std::string encodeParameters(const std::array<double, 15>& flags,
                             const std::array<double, 60>& values) {
  std::string out;
  out.reserve(kParameterFileSize);
  for (double v : flags)
    appendDouble(out, v);
  for (double v : values)
    appendDouble(out, v);
  return out;
}

void decodeParameters(const std::string& bytes, std::array<double, 15>& flags,
                      std::array<double, 60>& values) {
  for (std::size_t i = 0; i < flags.size() && 8 * i + 8 <= bytes.size(); ++i) {
    flags[i] = readDouble(bytes, 8 * i);
  }
  for (std::size_t j = 0; j < values.size() && 120 + 8 * j + 8 <= bytes.size(); ++j) {
    values[j] = readDouble(bytes, 120 + 8 * j);
  }
}

std::string parameterFilePath(const Session& s, const char* name) {
  return (std::filesystem::path(s.state().startDirectory) / name).string();
}

void SaveParameters(Session& s) {
  save(s, "tarvex.ini");
}
void Savedefaultparam(Session& s) {
  save(s, "default.ini");
}
void LoadParameters(Session& s) {
  load(s, "tarvex.ini");
}

void Loaddefaultparam(Session& s) {
  if (!s.host().askYesNo("Load default settings?")) return;
  load(s, "default.ini");
}

void startUp(Session& s) {
  Savedefaultparam(s);
  LoadParameters(s);
}

void closeMainWindow(Session& s) {
  SaveParameters(s);
}

}  // namespace tarvex
