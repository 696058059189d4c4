// Shared pieces of the file formats: atomic writes, the "%g" number text of the program's own
// text files, and the file-name rule for changing an extension.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {

// A file that could not be written; what() names the file.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes content to a temporary sibling of a name no other writer uses and renames it over
// path, so a failure never leaves a truncated file, and removes the temporary when it fails.
// A path that is a symbolic link replaces the file the link points to (the link stays); a
// file that is replaced keeps its permissions. Throws FileError naming path.
void writeFileAtomically(const std::string& path, const std::string& content);

struct FileImage {
  std::string path;
  std::string content;
};
// Files that belong together (a profile and its listing): every temporary is written first,
// then all are renamed, so either all are new or, when a temporary cannot be written, all
// are as they were: the writing stops at the first file that fails. Throws FileError naming
// that file.
void writeFilesTogether(const std::vector<FileImage>& files);

// For tests of write faults (a full disk): while set, every temporary whose target name
// `fails` returns true for is refused after its first bytes, as a disk without space refuses
// it. Pass nullptr to end it.
void setWriteFaultForTesting(bool (*fails)(const std::string& path));

// Reads a whole file (at most maxBytes); false, leaving content as it was, when it cannot be
// opened (a folder included), cannot be read or is larger.
bool readWholeFile(const std::string& path, std::string* content, std::size_t maxBytes);

// A number as printf's "%g" writes it (6 significant digits), with '.' whatever the locale.
std::string formatG6(double value);

// Replaces the extension (what follows the last '.' of the last path component, the '.'
// included) by ext; appends ext when there is none.
std::string changeExtension(const std::string& path, const std::string& ext);

// Little-endian IEEE 754 binary64, the layout of the program's binary files.
void appendDouble(std::string& out, double v);
double readDouble(const std::string& in, std::size_t at);

// The last path component.
std::string fileNameOnly(const std::string& path);

}  // namespace tarvex
