#include "io/r33_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

#include "io/files.h"

namespace tarvex {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 50u * 1024u * 1024u;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back()))
    s.remove_suffix(1);
  return s;
}
std::string lowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = lower(c);
  return out;
}
// A number as the user wrote it, shortened for a message.
std::string shown(std::string_view s) {
  std::string out = "'";
  out.append(s.substr(0, 40));
  out.append(s.size() > 40 ? "...'" : "'");
  return out;
}
std::string numberText(double v) {
  return formatG6(v);
}

class Reader {
 public:
  Reader(std::string_view text, const std::string& name) : text_(text), name_(name) {}

  R33File read() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    std::string_view line;
    while (nextLine(&line)) {
      checkText(line);
      if (state_ == State::Header) {
        headerLine(line);
      } else if (!dataLine(line)) {
        break;  // EndData: what follows is not read
      }
    }
    if (state_ == State::Header) fail(std::max(line_, 1LL), "the file ends without a Data: line");
    // A file that ends without EndData: keeps its table: every line after Data: was a row, a
    // comment or blank, so nothing of the table can be missing but the rows never written.
    if (out_.energyKeV.empty())
      fail(state_ == State::Ended ? line_ : dataAt_,
           "no rows of numbers after Data: (line " + std::to_string(dataAt_) + ")");
    return std::move(out_);
  }

 private:
  enum class State { Header, Data, Ended };

  [[noreturn]] void fail(long long line, const std::string& what) const {
    throw std::invalid_argument(name_ + ", line " + std::to_string(line) + ": " + what);
  }

  bool nextLine(std::string_view* line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = pos_;
    while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r')
      ++end;
    *line = text_.substr(pos_, end - pos_);
    // A line ends at LF, CR LF or a lone CR.
    if (end < text_.size() && text_[end++] == '\r' && end < text_.size() && text_[end] == '\n')
      ++end;
    pos_ = end;
    ++line_;
    return true;
  }

  // Text files hold printable characters, tabs and line ends only.
  void checkText(std::string_view line) const {
    for (const char ch : line) {
      const auto c = static_cast<unsigned char>(ch);
      if ((c < 0x20 && c != '\t') || c == 0x7F)
        fail(line_, "byte " + std::to_string(c) +
                        " is no character of a text file (a binary file is no R33 file)");
    }
  }

  // "Key: value" with a key of letters, digits, blanks and a few marks; false when the line is
  // none. The key comes back lower case without blanks, '_' or '-'.
  static bool splitKey(std::string_view line, std::string* key, std::string_view* rawKey,
                       std::string_view* value) {
    const std::string_view t = trim(line);
    const std::size_t colon = t.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const std::string_view k = trim(t.substr(0, colon));
    if (k.empty() || !std::isalpha(static_cast<unsigned char>(k.front()))) return false;
    key->clear();
    for (const char c : k) {
      const auto u = static_cast<unsigned char>(c);
      if (std::isalnum(u)) {
        key->push_back(lower(c));
      } else if (!(isBlank(c) || c == '_' || c == '-' || c == '.' || c == '(' || c == ')' ||
                   c == '/')) {
        return false;
      }
    }
    *rawKey = k;
    *value = trim(t.substr(colon + 1));
    return true;
  }

  static bool knownKey(const std::string& key) {
    static const char* const keys[] = {
        "comment",    "source",       "name",        "serialnumber", "subfile", "x4number",
        "reaction",   "distribution", "composition", "masses",       "zeds",    "qvalue",
        "theta",      "energy",       "sigfactors",  "enfactors",    "units",   "energyunits",
        "energyunit", "data",         "enddata",     "nvalues",      "version", "license"};
    for (const char* k : keys)
      if (key == k) return true;
    return key.size() > 7 && key.compare(0, 7, "address") == 0 &&
           std::all_of(key.begin() + 7, key.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
  }

  // The numbers of a row or a header list: separated by blanks and/or commas (one comma between
  // two numbers; a comma at the end of the line is allowed).
  void splitNumbers(std::string_view s, std::vector<std::string_view>* fields) const {
    fields->clear();
    std::size_t i = 0;
    const auto skip = [&] {
      while (i < s.size() && isBlank(s[i]))
        ++i;
    };
    skip();
    if (i < s.size() && s[i] == ',') fail(line_, "a comma before the first number");
    while (i < s.size()) {
      const std::size_t from = i;
      while (i < s.size() && !isBlank(s[i]) && s[i] != ',')
        ++i;
      fields->push_back(s.substr(from, i - from));
      skip();
      if (i < s.size() && s[i] == ',') {
        ++i;
        skip();
        if (i < s.size() && s[i] == ',') fail(line_, "two commas with no number between them");
      }
    }
  }

  double number(std::string_view token, const char* what) const {
    std::string_view t = token;
    if (!t.empty() && t.front() == '+') {
      t.remove_prefix(1);
      if (!t.empty() && (t.front() == '+' || t.front() == '-'))
        fail(line_, std::string(what) + " " + shown(token) + " is not a number");
    }
    double v = 0.0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    const bool whole = r.ptr == t.data() + t.size();
    if (r.ec == std::errc::result_out_of_range && whole)
      fail(line_, std::string(what) + " " + shown(token) + " is beyond the range of numbers");
    if (r.ec != std::errc() || !whole || t.empty())
      fail(line_, std::string(what) + " " + shown(token) + " is not a number");
    if (!std::isfinite(v))
      fail(line_, std::string(what) + " " + shown(token) + " is not finite (NaN or infinity)");
    return v;
  }

  std::vector<double> numbers(std::string_view value, std::string_view key, std::size_t most) {
    std::vector<std::string_view> fields;
    splitNumbers(value, &fields);
    if (fields.size() > most)
      fail(line_, std::string(key) + ": " + std::to_string(fields.size()) +
                      " numbers where at most " + std::to_string(most) + " belong");
    std::vector<double> v;
    for (const auto f : fields)
      v.push_back(number(f, (std::string(key) + ":").c_str()));
    return v;
  }

  void once(const std::string& key, std::string_view rawKey) {
    for (const auto& [k, at] : seen_)
      if (k == key)
        fail(line_, std::string(rawKey) + ": given a second time (first at line " +
                        std::to_string(at) + ")");
    seen_.emplace_back(key, line_);
  }

  void setEnergyUnit(const std::string& word, std::string_view rawKey) {
    double f = 0.0;
    if (word == "kev") {
      f = 1.0;
    } else if (word == "mev") {
      f = 1000.0;
    } else if (word == "ev") {
      f = 0.001;
    } else {
      fail(line_,
           std::string(rawKey) + ": unknown energy unit " + shown(word) + " (keV, MeV or eV)");
    }
    if (energyUnitLine_ != 0)
      fail(line_, "the energy unit is given a second time (first at line " +
                      std::to_string(energyUnitLine_) + ")");
    energyUnitLine_ = line_;
    energyUnit_ = f;
  }

  void setUnits(std::string_view value, std::string_view rawKey) {
    // "mb / sr" is "mb/sr"; words are separated by blanks or commas.
    std::string v;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (isBlank(value[i])) {
        std::size_t j = i;
        while (j < value.size() && isBlank(value[j]))
          ++j;
        if ((j < value.size() && value[j] == '/') || (!v.empty() && v.back() == '/')) {
          i = j - 1;
          continue;
        }
      }
      v.push_back(lower(value[i]));
    }
    std::vector<std::string> words;
    std::string word;
    for (const char c : v + " ") {
      if (isBlank(c) || c == ',') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word.push_back(c);
      }
    }
    const std::string known = " (mb, mb/sr or rr, the ratio to Rutherford)";
    if (words.empty()) fail(line_, std::string(rawKey) + ": no unit" + known);
    for (const auto& w : words) {
      if (w == "mb" || w == "mb/sr" || w == "rr") {
        if (!out_.units.empty())
          fail(line_, std::string(rawKey) + ": two units of the cross section" + known);
        out_.units = w;
        out_.ratioToRutherford = w == "rr";
      } else if (w == "kev" || w == "mev" || w == "ev") {
        setEnergyUnit(w, rawKey);
      } else {
        fail(line_, std::string(rawKey) + ": unknown unit " + shown(w) + known);
      }
    }
    if (out_.units.empty())
      fail(line_, std::string(rawKey) + ": no unit of the cross section" + known);
  }

  void headerLine(std::string_view line) {
    if (trim(line).empty()) {
      inComment_ = false;
      return;
    }
    std::string key;
    std::string_view rawKey, value;
    const bool isKey = splitKey(line, &key, &rawKey, &value);
    // The comment goes on over the lines that follow it, up to a blank line or a known key.
    if (inComment_ && !(isKey && knownKey(key))) {
      std::string_view t = line;
      while (!t.empty() && isBlank(t.back()))
        t.remove_suffix(1);
      out_.comment += "\n";
      out_.comment += t;
      return;
    }
    inComment_ = false;
    if (!isKey) {
      if (!trim(line).empty() && (std::isdigit(static_cast<unsigned char>(trim(line)[0])) ||
                                  trim(line)[0] == '.' || trim(line)[0] == '-'))
        fail(line_, "a row of numbers before the Data: line");
      fail(line_, "not a 'Key: value' line of the header: " + shown(trim(line)));
    }
    if (key == "comment") {
      if (!out_.comment.empty()) out_.comment += "\n";
      out_.comment += value;
      inComment_ = true;
    } else if (key == "source") {
      once(key, rawKey);
      out_.source = value;
    } else if (key == "reaction") {
      once(key, rawKey);
      out_.reaction = value;
    } else if (key == "distribution") {
      once(key, rawKey);
      const std::string d = lowerCopy(value);
      if (d == "angle")
        fail(line_,
             "Distribution: Angle: this file holds the cross section against the angle; "
             "only energy distributions are read");
      if (!d.empty() && d != "energy")
        fail(line_, "Distribution: " + shown(value) + " is neither Energy nor Angle");
    } else if (key == "masses") {
      once(key, rawKey);
      out_.masses = numbers(value, rawKey, 4);
      for (const double m : out_.masses)
        if (m < 0.0) fail(line_, "Masses: a negative mass " + numberText(m));
    } else if (key == "zeds") {
      once(key, rawKey);
      for (const double z : numbers(value, rawKey, 4)) {
        if (z < 0.0 || z > 200.0 || z != std::floor(z))
          fail(line_, "Zeds: " + numberText(z) + " is no atomic number");
        out_.zeds.push_back(static_cast<int>(z));
      }
    } else if (key == "qvalue") {
      once(key, rawKey);
      const auto q = numbers(value, rawKey, 5);
      if (!q.empty()) out_.qValueKeV = q.front();
    } else if (key == "theta") {
      once(key, rawKey);
      const auto t = numbers(value, rawKey, 1);
      if (!t.empty()) {
        if (t[0] < 0.0 || t[0] > 180.0)
          fail(line_, "Theta: " + numberText(t[0]) + " degrees is not between 0 and 180");
        out_.thetaDeg = t[0];
      }
    } else if (key == "enfactors") {
      once(key, rawKey);
      const auto f = numbers(value, rawKey, 4);
      if (!f.empty()) enFactor_ = f[0];
      if (f.size() > 1) enOffset_ = f[1];
      if (!(enFactor_ > 0.0))
        fail(line_, "Enfactors: the energy factor " + numberText(enFactor_) + " must be positive");
      for (std::size_t k = 2; k < f.size(); ++k)
        if (f[k] != 0.0)
          fail(line_, "Enfactors: factor " + std::to_string(k + 1) + " is " + numberText(f[k]) +
                          "; only the energy factor and offset (the first two) are supported, "
                          "the others must be 0");
    } else if (key == "sigfactors") {
      once(key, rawKey);
      const auto f = numbers(value, rawKey, 2);
      if (!f.empty()) sigFactor_ = f[0];
      if (!(sigFactor_ > 0.0))
        fail(line_, "Sigfactors: the cross-section factor " + numberText(sigFactor_) +
                        " must be positive");
      if (f.size() > 1 && f[1] != 0.0)
        fail(line_, "Sigfactors: the second factor is " + numberText(f[1]) +
                        "; only the first (a factor of the cross section) is supported, the "
                        "second must be 0");
    } else if (key == "units") {
      once(key, rawKey);
      setUnits(value, rawKey);
    } else if (key == "energyunits" || key == "energyunit") {
      setEnergyUnit(lowerCopy(value), rawKey);
    } else if (key == "data") {
      if (out_.units.empty())
        fail(line_, "no Units: line before Data: (mb, mb/sr or rr, the ratio to Rutherford)");
      out_.distribution = "Energy";
      state_ = State::Data;
      dataAt_ = line_;
      if (!value.empty()) row(value);
    } else if (key == "enddata") {
      fail(line_, "EndData: before any Data: line");
    } else {
      out_.otherKeys.emplace_back(std::string(rawKey), std::string(value));
    }
  }

  // One line after Data:; false at EndData:.
  bool dataLine(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.empty() || t[0] == '#' || t[0] == '!' || t[0] == ';' || t[0] == '%' ||
        t.substr(0, 2) == "//")
      return true;
    std::string key;
    std::string_view rawKey, value;
    if (splitKey(t, &key, &rawKey, &value)) {
      if (key == "enddata") {
        state_ = State::Ended;
        return false;
      }
      if (key == "comment") return true;
      fail(line_, std::string(rawKey) + ": a header line inside the table (Data: at line " +
                      std::to_string(dataAt_) + "; the table ends at EndData:)");
    }
    row(t);
    return true;
  }

  void row(std::string_view t) {
    std::vector<std::string_view> f;
    splitNumbers(t, &f);
    if (f.size() < 2 || f.size() > 4) {
      for (const auto item : f)
        number(item, "the item");  // a word is named as such rather than counted
      fail(line_, std::to_string(f.size()) + (f.size() == 1 ? " number" : " numbers") +
                      " in a row of the table; a row holds 2 to 4: energy, [energy uncertainty,] "
                      "sigma[, sigma uncertainty]");
    }
    if (columns_ == 0) {
      columns_ = f.size();
      columnsAt_ = line_;
    } else if (f.size() != columns_) {
      fail(line_, std::to_string(f.size()) + " numbers in a row where the first row (line " +
                      std::to_string(columnsAt_) + ") has " + std::to_string(columns_));
    }
    const double e = number(f[0], "the energy");
    const double de = f.size() >= 3 ? number(f[1], "the energy uncertainty") : 0.0;
    const double s = number(f[f.size() >= 3 ? 2 : 1], "the cross section");
    const double ds = f.size() == 4 ? number(f[3], "the cross-section uncertainty") : 0.0;
    if (s < 0.0) fail(line_, "a negative cross section " + std::string(f[f.size() >= 3 ? 2 : 1]));
    if (de < 0.0) fail(line_, "a negative energy uncertainty " + std::string(f[1]));
    if (ds < 0.0) fail(line_, "a negative cross-section uncertainty " + std::string(f[3]));
    const double energy = (enFactor_ * e + enOffset_) * energyUnit_;
    const double energyError = enFactor_ * de * energyUnit_;
    const double sigma = sigFactor_ * s;
    const double sigmaError = sigFactor_ * ds;
    if (!std::isfinite(energy) || !std::isfinite(energyError) || !std::isfinite(sigma) ||
        !std::isfinite(sigmaError))
      fail(line_, "a value beyond the range of numbers once the file's factors are applied");
    if (energy < 0.0)
      fail(line_, "a negative energy " + numberText(energy) + " keV" +
                      (enOffset_ != 0.0 || enFactor_ != 1.0 ? " (after Enfactors)" : ""));
    if (!out_.energyKeV.empty() && !(energy > out_.energyKeV.back())) {
      const bool equal = energy == out_.energyKeV.back();
      fail(line_, "the energy " + std::string(f[0]) +
                      (equal ? " repeats the energy of the row before (line "
                             : " is lower than the energy of the row before (line ") +
                      std::to_string(lastRowAt_) +
                      "); energies must increase from row to row, each given once");
    }
    lastRowAt_ = line_;
    out_.energyKeV.push_back(energy);
    out_.energyError.push_back(energyError);
    out_.sigma.push_back(sigma);
    out_.sigmaError.push_back(sigmaError);
  }

  std::string_view text_;
  const std::string& name_;
  std::size_t pos_ = 0;
  long long line_ = 0;
  State state_ = State::Header;
  bool inComment_ = false;
  R33File out_;
  std::vector<std::pair<std::string, long long>> seen_;
  double enFactor_ = 1.0, enOffset_ = 0.0, sigFactor_ = 1.0, energyUnit_ = 1.0;
  long long energyUnitLine_ = 0, dataAt_ = 0, columnsAt_ = 0, lastRowAt_ = 0;
  std::size_t columns_ = 0;
};

}  // namespace

R33File parseR33(std::string_view text, const std::string& name) {
  return Reader(text, name).read();
}

R33File readR33(const std::filesystem::path& path) {
  const std::string name = path.string();
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) throw std::invalid_argument(name + ": no such file");
  if (std::filesystem::is_directory(status))
    throw std::invalid_argument(name + ": a folder, not an R33 file");
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxFileBytes)
    throw std::invalid_argument(name + ": " + std::to_string(size) +
                                " bytes; R33 files larger than 50 MB are not read");
  std::string content;
  if (!readWholeFile(name, &content, kMaxFileBytes))
    throw std::invalid_argument(name + ": the file cannot be read");
  return parseR33(content, name);
}

double r33Interpolate(const R33File& file, double energyKeV, bool* outside) {
  const auto& e = file.energyKeV;
  if (e.empty() || file.sigma.size() != e.size())
    throw std::invalid_argument("a cross-section table without rows");
  if (std::isnan(energyKeV)) throw std::invalid_argument("the energy is not a number");
  if (outside) *outside = false;
  if (energyKeV < e.front() || energyKeV > e.back()) {
    if (outside) *outside = true;
    return 0.0;
  }
  const auto hi = std::upper_bound(e.begin(), e.end(), energyKeV);
  if (hi == e.end()) return file.sigma.back();  // the last row's energy
  const auto i = static_cast<std::size_t>(hi - e.begin());
  const double t = (energyKeV - e[i - 1]) / (e[i] - e[i - 1]);
  return file.sigma[i - 1] + t * (file.sigma[i] - file.sigma[i - 1]);
}

std::vector<std::pair<double, double>> r33Table(const R33File& file) {
  std::vector<std::pair<double, double>> t;
  t.reserve(file.energyKeV.size());
  for (std::size_t k = 0; k < file.energyKeV.size() && k < file.sigma.size(); ++k)
    t.emplace_back(file.energyKeV[k], file.sigma[k]);
  return t;
}

}  // namespace tarvex
