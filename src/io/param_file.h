// Parameter files ("tarvex.ini", "default.ini"): a 600-byte little-endian image of the option
// flags (15 doubles) and the parameter values (60 doubles).
#pragma once

#include <array>
#include <stdexcept>
#include <string>

namespace tarvex {

class Session;

constexpr std::size_t kParameterFileSize = 600;

std::string encodeParameters(const std::array<double, 15>& flags,
                             const std::array<double, 60>& values);
// Decodes as many whole slots as the bytes cover (flags first); the others keep their values.
void decodeParameters(const std::string& bytes, std::array<double, 15>& flags,
                      std::array<double, 60>& values);

// A parameter file that is refused; what() names the file and the slot.
class ParameterFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the bytes of a parameter file into the record and applies it to the controls. A file
// holding a NaN or an infinity in any slot is refused before anything changes: throws
// ParameterFileError naming fileName and the slot.
void applyParameterBytes(Session& s, const std::string& bytes, const std::string& fileName);

std::string parameterFilePath(const Session& s, const char* name);

// The file names chosen in the "External cross section" window are no part of the 600-byte
// record: they are kept beside "tarvex.ini" in the text file "tarvex-files.conf", one
// "CONTROL=NAME" line each (lines starting with '#' are comments), written together with
// "tarvex.ini" and applied after it when "Remember Settings" is on.
inline constexpr const char* kFileSettingsName = "tarvex-files.conf";
std::string encodeFileSettings(const Session& s);
// Applies the lines naming the window's file fields; other lines are left out.
void applyFileSettings(Session& s, const std::string& text);

void SaveParameters(Session& s);
void LoadParameters(Session& s);
void Savedefaultparam(Session& s);
void Loaddefaultparam(Session& s);

// The program's start-up (default.ini written, tarvex.ini applied) and close (tarvex.ini).
void startUp(Session& s);
void closeMainWindow(Session& s);

}  // namespace tarvex
