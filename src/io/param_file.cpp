#include "io/param_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/numtext.h"
#include "io/files.h"
#include "state/profile_fit.h"
#include "state/session.h"

namespace tarvex {
namespace {

// The fields whose file names are kept with the settings.
constexpr const char* kFileFields[] = {"TFExternCS.EditCSFile", "TFExternCS.EditSCCFile"};

bool isUserSettings(const char* name) {
  return std::string_view(name) == "tarvex.ini";
}

void save(Session& s, const char* name) {
  s.gatherParameters();  // every conversion before the file is touched
  std::vector<FileImage> files{
      {parameterFilePath(s, name), encodeParameters(s.state().optionFlags, s.state().paramValues)}};
  if (isUserSettings(name)) {
    files.push_back({parameterFilePath(s, kFileSettingsName), encodeFileSettings(s)});
  }
  writeFilesTogether(files);
}

// Reads "tarvex-files.conf" when it is there; a file that cannot be read is refused by name.
void loadFileSettings(Session& s) {
  const std::string path = parameterFilePath(s, kFileSettingsName);
  constexpr std::size_t kMaxBytes = std::size_t{64} << 10;
  std::string text;
  if (!readWholeFile(path, &text, kMaxBytes)) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
    throw ParameterFileError("The settings file \"" + path +
                             "\" was not applied: it is not a readable text file of at most " +
                             std::to_string(kMaxBytes) + " bytes");
  }
  if (s.state().optionFlags[flag::rememberSettings] != 0.0) applyFileSettings(s, text);
}

// Larger than any parameter file: such a file is refused unread.
constexpr std::size_t kMaxParameterFileBytes = std::size_t{1} << 20;

void load(Session& s, const char* name) {
  const std::string path = parameterFilePath(s, name);
  std::string bytes;
  if (!readWholeFile(path, &bytes, kMaxParameterFileBytes)) {
    // A missing file reads nothing: the record keeps its values and is applied as it is. A
    // file that is there but cannot be read is refused with its name, as one whose numbers
    // cannot be used.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
      bytes.clear();
    } else {
      std::string why;
      if (!std::filesystem::is_regular_file(status)) {
        why = "it is not a file";
      } else if (const auto size = std::filesystem::file_size(path, ec);
                 !ec && size > kMaxParameterFileBytes) {
        why = "it holds " + std::to_string(size) + " bytes, more than the " +
              std::to_string(kMaxParameterFileBytes) + " read of a parameter file (one holds " +
              std::to_string(kParameterFileSize) + ")";
      } else {
        why = "it cannot be read";
      }
      throw ParameterFileError("The parameter file \"" + path + "\" was not applied: " + why);
    }
  }
  applyParameterBytes(s, bytes, path);
  if (isUserSettings(name)) loadFileSettings(s);
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

std::string encodeFileSettings(const Session& s) {
  std::string out = "# Tarvex: the files chosen in the \"External cross section\" window\n";
  for (const char* key : kFileFields) {
    const std::string& name = s.controls().text(key);
    // A name that would split its line is not kept.
    if (name.find_first_of("\r\n") != std::string::npos) continue;
    out += key;
    out += '=';
    out += name;
    out += '\n';
  }
  return out;
}

void applyFileSettings(Session& s, const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    for (const char* field : kFileFields) {
      if (key == field) s.controls().setText(field, line.substr(eq + 1));
    }
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
