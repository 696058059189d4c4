#include "io/param_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "core/numtext.h"
#include "io/files.h"
#include "state/profile_fit.h"
#include "state/session.h"

namespace tarvex {
namespace {

void save(Session& s, const char* name) {
  s.gatherParameters();  // every conversion before the file is touched
  writeFileAtomically(parameterFilePath(s, name),
                      encodeParameters(s.state().optionFlags, s.state().paramValues));
}

void load(Session& s, const char* name) {
  const std::string path = parameterFilePath(s, name);
  std::string bytes;
  // A missing file reads nothing: the record keeps its values and is applied as it is.
  if (!readWholeFile(path, &bytes, 1 << 20)) bytes.clear();
  applyParameterBytes(s, bytes, path);
}

// The slot a byte offset of the file belongs to, in the user's words.
std::string slotName(const Session& s, std::size_t at) {
  const bool isFlag = at < 120;
  const std::size_t index = isFlag ? at / 8 : (at - 120) / 8;
  const char* key = isFlag ? kFlagControls[index] : kParamControls[index];
  std::string name;
  if (*key) {
    const std::string& caption = s.controls().get(key).caption;
    name = (caption.empty() ? std::string() : "\"" + caption + "\" ") + "(" + key + ")";
  } else {
    name = std::string("a reserved ") + (isFlag ? "flag" : "value") + " slot";
  }
  return name + ", bytes " + std::to_string(at) + "-" + std::to_string(at + 7);
}

ParameterFileError refusal(const Session& s, const std::string& fileName, std::size_t at,
                           const std::string& holds) {
  std::string m = "The parameter file \"";
  m += fileName;
  m += "\" was not applied: ";
  m += slotName(s, at);
  m += " holds ";
  m += holds;
  return ParameterFileError(m);
}

}  // namespace

void applyParameterBytes(Session& s, const std::string& bytes, const std::string& fileName) {
  // Every number the file holds is checked before the record or a control changes: a NaN or
  // an infinity would show as "NAN" in its field and stop every later command.
  for (std::size_t at = 0; at + 8 <= std::min(bytes.size(), kParameterFileSize); at += 8) {
    const double v = readDouble(bytes, at);
    if (!std::isfinite(v)) {
      throw refusal(s, fileName, at,
                    std::isnan(v) ? "NaN, not a number" : "infinity, not a number");
    }
    // A value shown in an edit must read back from its text there (a number at the very ends
    // of the double range does not), or every later save would stop at that field.
    std::string shown;
    if (at >= 120 && *kParamControls[(at - 120) / 8] &&
        !fieldTextReadsBack(v, s.decimalSeparator(), &shown)) {
      throw refusal(s, fileName, at, shown + ", which its field cannot hold");
    }
  }
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
  // A settings folder that cannot be written still lets the user's settings be read.
  try {
    Savedefaultparam(s);
  } catch (const FileError& e) {
    s.host().showMessage(e.what());
  }
  LoadParameters(s);
  // The settings keep the thickness fields, not the profile drawn under them.
  fitStartProfileToFields(s);
}

void closeMainWindow(Session& s) {
  // A field that does not convert keeps the window open, so the user can mend it. A file that
  // cannot be written (a full disk, a read-only folder) must not keep the program open for
  // ever: the user decides.
  try {
    SaveParameters(s);
  } catch (const FileError& e) {
    // The question names the failure: answered No, the window stays without a second message.
    if (!s.host().askYesNo(std::string(e.what()) + "\nClose without saving the settings?")) {
      s.markCommandFailed();
    }
  }
}

}  // namespace tarvex
