#include "io/data_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "io/files.h"
#include "state/session.h"

namespace tarvex {
namespace {

class Stream {
 public:
  explicit Stream(const std::string& s) : s_(s) {
    if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;  // a UTF-8 byte-order mark
  }
  bool atEnd() const { return metEnd_; }
  std::size_t position() const { return pos_; }
  // Looking at the next character; looking past the end marks the end as met.
  int peek() {
    if (pos_ >= s_.size()) {
      metEnd_ = true;
      return -1;
    }
    return static_cast<unsigned char>(s_[pos_]);
  }
  // Between pairs: comments (from ';' or '#' to the end of the line), blanks, tabs and line
  // ends of either kind (CR LF files).
  void skipSeparators() {
    for (int c = peek(); c == ';' || c == '#' || c == ' ' || c == '\n' || c == '\r' || c == '\t';
         c = peek()) {
      if (c == ';' || c == '#') {
        // A comment runs through its line feed (at most 99999 characters).
        std::size_t n = 0;
        while (pos_ < s_.size() && n < 99999 && s_[pos_] != '\n')
          ++pos_, ++n;
        if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
      } else {
        ++pos_;
      }
    }
  }
  enum class Read { Value, Nothing, Failed };
  // A number token after white space; Nothing at the end of the data. A failed read leaves
  // the position at the item that is not a number.
  Read number(float* value) {
    int c;
    while ((c = peek()) == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++pos_;
    }
    if (c < 0) return Read::Nothing;
    std::size_t at = pos_;
    const bool negative = s_[at] == '-';
    if (s_[at] == '+' || s_[at] == '-') ++at;
    // Only digits or a decimal point may start the digits: no "inf", "nan" or hex.
    if (at >= s_.size() || !(std::isdigit(static_cast<unsigned char>(s_[at])) || s_[at] == '.')) {
      return Read::Failed;
    }
    float v = 0.0f;
    auto r = std::from_chars(s_.data() + at, s_.data() + s_.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
      // Too small for a float rounds toward 0; too large is no count at all.
      double d = 0.0;
      r = std::from_chars(s_.data() + at, s_.data() + s_.size(), d);
      if (r.ec != std::errc() || !(std::fabs(d) < 1.0)) return Read::Failed;
      v = static_cast<float>(d);
    }
    if (r.ec != std::errc()) return Read::Failed;
    pos_ = static_cast<std::size_t>(r.ptr - s_.data());
    if (pos_ >= s_.size()) metEnd_ = true;  // the reader looked for more digits at the end
    *value = negative ? -v : v;
    return Read::Value;
  }

 private:
  const std::string& s_;
  std::size_t pos_ = 0;
  bool metEnd_ = false;
};

// The item at `at` as the user can read it: up to the next white space, at most 24 characters,
// bytes that are not printable shown as '?'.
std::string itemAt(const std::string& s, std::size_t at) {
  std::string t;
  for (std::size_t k = at; k < s.size() && t.size() < 24; ++k) {
    const unsigned char c = static_cast<unsigned char>(s[k]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') break;
    t += (c >= 32 && c < 127) || c >= 128 ? static_cast<char>(c) : '?';
  }
  return t;
}

long long lineAt(const std::string& s, std::size_t at) {
  return 1 + std::count(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(std::min(at, s.size())),
                        '\n');
}

// Why the item at `at` stopped the reading.
std::string whyNotANumber(const std::string& s, std::size_t at, const std::string& item) {
  if (s.compare(0, 2, "\xFF\xFE") == 0 || s.compare(0, 2, "\xFE\xFF") == 0) {
    return "the file is UTF-16 text; save it as plain (ASCII or UTF-8) text";
  }
  if (s.find('\0', at) < at + 24 || s.find('\0') < 64) {
    return "the file holds NUL bytes: it is not plain text (UTF-16?)";
  }
  std::size_t k = at;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
  if (k < s.size() && (std::isdigit(static_cast<unsigned char>(s[k])) || s[k] == '.')) {
    return "'" + item + "' is not a finite single-precision number";
  }
  return "'" + item + "' is not a number";
}

}  // namespace

DataFileRead readDataText(const std::string& content) {
  DataFileRead r;
  Stream in(content);
  int entries = 0;
  while (!in.atEnd()) {
    in.skipSeparators();
    // Every entry before this one holds a pair (a read that fails ends the reading). The entry
    // a file's last separator leaves is no pair and does not count; a pair beyond the limit
    // stops the reading, and the pairs kept are followed by that entry as usual.
    if (++entries > kMaxDataEntries && !in.atEnd()) {
      r.ok = false;
      r.line = lineAt(content, in.position());
      r.reason = "line " + std::to_string(r.line) + ": more than " +
                 std::to_string(kMaxDataEntries) + " pairs, the first " +
                 std::to_string(kMaxDataEntries) + " are kept";
      r.points.push_back({});
      return r;
    }
    r.points.push_back({});
    datapoint& p = r.points.back();
    Stream::Read got = in.number(&p.x);
    if (got == Stream::Read::Value) {
      got = in.number(&p.y);
      if (got == Stream::Read::Value) ++r.pairs;
    }
    if (got == Stream::Read::Failed) {
      r.ok = false;
      r.line = lineAt(content, in.position());
      r.token = itemAt(content, in.position());
      r.reason =
          "line " + std::to_string(r.line) + ": " + whyNotANumber(content, in.position(), r.token);
      return r;
    }
  }
  return r;
}

bool parseDataFile(const std::string& content, std::vector<datapoint>* points) {
  DataFileRead r = readDataText(content);
  *points = std::move(r.points);
  return r.ok;
}

FileDialog dataFileDialog(const std::string& fileName) {
  return FileDialog{"Load data",
                    "Common data files (*.dat; *.scd; *.pak; *.exp)|*.pak; *.scd; *.dat; *.exp; "
                    "*.pak;|Arquivos Dat (*.dat)|*.dat|Tarvex profiles (*.profile)|*.profile|"
                    "Pak data files (*.pak)|*.pak|Todos os Arquivos (*.*)|*.*",
                    "dat", fileName};
}

void loadDataContent(Session& s, const std::string& path, const std::string& content) {
  WorkingState& st = s.state();
  const std::string file = "\"" + path + "\"";
  DataFileRead r = readDataText(content);
  // What is loaded stays until a file gives at least one pair.
  if (r.pairs == 0) {
    s.host().showMessage("File Error! " + file +
                         (r.ok ? " holds no data pair" : ", " + r.reason + "; nothing was loaded"));
    return;
  }
  st.measuredPoints = std::move(r.points);
  st.measuredDataFile = path;
  st.measuredInNraMode = s.nraMode();
  if (!r.ok) s.host().showMessage("File Error! " + file + ", " + r.reason);
  s.invoke("PlotExp");
  s.setPanel(2, fileNameOnly(path));
}

void Loaddata(Session& s) {
  WorkingState& st = s.state();
  const auto chosen = s.host().openFile(dataFileDialog(st.lastDataFile));
  if (!chosen) return;
  st.lastDataFile = *chosen;
  std::string content;
  if (!readWholeFile(*chosen, &content, std::size_t{256} << 20)) {
    s.host().showMessage("File Error! Cannot read \"" + *chosen + "\"");
    return;
  }
  loadDataContent(s, *chosen, content);
}

}  // namespace tarvex
