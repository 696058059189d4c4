#include "io/data_file.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "io/files.h"
#include "nra/plots.h"
#include "state/session.h"

namespace tarvex {
namespace {

class Stream {
 public:
  explicit Stream(const std::string& s) : s_(s) {}
  bool atEnd() const { return metEnd_; }
  // Looking at the next character; looking past the end marks the end as met.
  int peek() {
    if (pos_ >= s_.size()) {
      metEnd_ = true;
      return -1;
    }
    return static_cast<unsigned char>(s_[pos_]);
  }
  void skipSeparators() {
    for (int c = peek(); c == ';' || c == ' ' || c == '\n'; c = peek()) {
      if (c == ';') {
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
  // A number token after white space; Nothing at the end of the data.
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

}  // namespace

bool parseDataFile(const std::string& content, std::vector<datapoint>* points) {
  points->clear();
  Stream in(content);
  int entries = 0;
  while (!in.atEnd()) {
    in.skipSeparators();
    if (++entries > kMaxDataEntries) return false;
    points->push_back({});
    datapoint& p = points->back();
    if (in.number(&p.x) == Stream::Read::Failed) return false;
    if (in.number(&p.y) == Stream::Read::Failed) return false;
  }
  return true;
}

FileDialog dataFileDialog(const std::string& fileName) {
  return FileDialog{"Load data",
                    "Common data files (*.dat; *.scd; *.pak; *.exp)|*.pak; *.scd; *.dat; *.exp; "
                    "*.pak;|Arquivos Dat (*.dat)|*.dat|Tarvex profiles (*.profile)|*.profile|"
                    "Pak data files (*.pak)|*.pak|Todos os Arquivos (*.*)|*.*",
                    "dat", fileName};
}

void Loaddata(Session& s) {
  WorkingState& st = s.state();
  const auto chosen = s.host().openFile(dataFileDialog(st.lastDataFile));
  if (!chosen) return;
  st.lastDataFile = *chosen;
  std::string content;
  // An unopenable (or absurdly large) file reads as a failed first item.
  const bool opened = readWholeFile(*chosen, &content, 256u << 20);
  bool ok = false;
  if (opened) {
    ok = parseDataFile(content, &st.measuredPoints);
  } else {
    st.measuredPoints.assign(1, datapoint{});
  }
  if (!ok) s.host().showMessage("File Error!");
  PlotExp(s);
  s.setPanel(2, fileNameOnly(*chosen));
}

}  // namespace tarvex
