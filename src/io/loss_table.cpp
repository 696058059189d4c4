#include "io/loss_table.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "io/files.h"

namespace tarvex {
namespace {

// The smallest magnitude that rounds to infinity in single precision: 2^128 - 2^103.
const double kFloatOverflow = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);

bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool startsWithNoCase(const std::string& s, std::size_t at, const char* word) {
  for (std::size_t k = 0; word[k] != '\0'; ++k) {
    if (at + k >= s.size() ||
        std::tolower(static_cast<unsigned char>(s[at + k])) != static_cast<unsigned char>(word[k]))
      return false;
  }
  return true;
}

// The items of a loss table, read the way a Pascal text read does: a whole number stops at the
// first character that is not a digit ("12.5" gives 12 and leaves ".5"). Counts lines.
class Scanner {
 public:
  enum class Item { Number, End, NotANumber, NotFinite };

  explicit Scanner(const std::string& s) : s_(s) {
    if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
  }

  long long line() const { return line_; }
  // The item that stopped a read, as the user sees it in the file.
  const std::string& token() const { return token_; }

  Item whole(long long* value) {
    if (!skipBlanks()) return Item::End;
    const std::size_t from = pos_;
    std::size_t at = pos_;
    if (s_[at] == '+' || s_[at] == '-') ++at;
    const std::size_t digits = at;
    while (at < s_.size() && isDigit(s_[at]))
      ++at;
    if (at == digits) return notANumber(from);
    pos_ = at;
    token_.assign(s_, from, at - from);
    const char* first = s_.data() + from + (s_[from] == '+' ? 1 : 0);
    const auto r = std::from_chars(first, s_.data() + at, *value);
    // An index beyond any grid still ends the reading as one past the end would.
    if (r.ec == std::errc::result_out_of_range) *value = s_[from] == '-' ? -(1LL << 62) : 1LL << 62;
    return Item::Number;
  }

  Item real(double* value) {
    if (!skipBlanks()) return Item::End;
    const std::size_t from = pos_;
    std::size_t at = pos_;
    if (s_[at] == '+' || s_[at] == '-') ++at;
    if (startsWithNoCase(s_, at, "inf") || startsWithNoCase(s_, at, "nan")) {
      while (at < s_.size() && std::isalpha(static_cast<unsigned char>(s_[at])))
        ++at;
      pos_ = at;
      token_.assign(s_, from, at - from);
      return Item::NotFinite;
    }
    std::size_t digits = 0;
    while (at < s_.size() && isDigit(s_[at]))
      ++at, ++digits;
    if (at < s_.size() && s_[at] == '.') {
      ++at;
      while (at < s_.size() && isDigit(s_[at]))
        ++at, ++digits;
    }
    if (digits == 0) return notANumber(from);
    const std::size_t mantissaEnd = at;
    if (at < s_.size() && (s_[at] == 'e' || s_[at] == 'E')) {
      ++at;
      if (at < s_.size() && (s_[at] == '+' || s_[at] == '-')) ++at;
      std::size_t expDigits = 0;
      while (at < s_.size() && isDigit(s_[at]))
        ++at, ++expDigits;
      if (expDigits == 0) return notANumber(from);
    }
    pos_ = at;
    token_.assign(s_, from, at - from);
    const char* first = s_.data() + from + (s_[from] == '+' ? 1 : 0);
    const auto r = std::from_chars(first, s_.data() + at, *value);
    if (r.ec == std::errc::result_out_of_range) {
      // Beyond the double range: an underflow is zero, an overflow no finite value at all.
      if (decimalMagnitude(from, mantissaEnd, at) > 0) return Item::NotFinite;
      *value = 0.0;
    } else if (r.ec != std::errc()) {
      return notANumber(from);
    }
    if (!(std::fabs(*value) < kFloatOverflow)) return Item::NotFinite;
    return Item::Number;
  }

 private:
  // Roughly log10 of a number token's magnitude: the position of its first significant digit
  // relative to the decimal point, plus the exponent (only the sign matters here).
  long long decimalMagnitude(std::size_t from, std::size_t mantissaEnd, std::size_t end) const {
    long long wholeDigits = 0, zerosAfterPoint = 0;
    bool point = false, nonzero = false;
    for (std::size_t k = from; k < mantissaEnd; ++k) {
      const char c = s_[k];
      if (c == '.') {
        point = true;
      } else if (!isDigit(c)) {
        continue;
      } else if (!point) {
        if (nonzero || c != '0') nonzero = true, ++wholeDigits;
      } else if (!nonzero) {
        if (c != '0') {
          nonzero = true;
          break;
        }
        ++zerosAfterPoint;
      }
    }
    if (!nonzero) return -1;  // zero
    long long magnitude = wholeDigits > 0 ? wholeDigits : -zerosAfterPoint;
    if (mantissaEnd < end) {
      std::size_t e = mantissaEnd + 1;
      const bool negative = s_[e] == '-';
      if (s_[e] == '+' || s_[e] == '-') ++e;
      long long exponent = 0;
      const auto r = std::from_chars(s_.data() + e, s_.data() + end, exponent);
      if (r.ec == std::errc::result_out_of_range) exponent = 1LL << 40;
      magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
  }

  bool skipBlanks() {
    while (pos_ < s_.size() && isBlank(s_[pos_])) {
      if (s_[pos_] == '\n') ++line_;
      ++pos_;
    }
    return pos_ < s_.size();
  }

  Item notANumber(std::size_t from) {
    std::size_t end = from;
    while (end < s_.size() && !isBlank(s_[end]) && end - from < 24)
      ++end;
    token_.assign(s_, from, end - from);
    return Item::NotANumber;
  }

  const std::string& s_;
  std::size_t pos_ = 0;
  long long line_ = 1;
  std::string token_;
};

std::string quoted(const std::string& name) {
  return "\"" + name + "\"";
}

std::string pairs(long long k) {
  return std::to_string(k) + (k == 1 ? " pair" : " pairs");
}

}  // namespace

LossTableRead readLossTableText(const std::string& content, const std::string& name, spectro& t) {
  LossTableRead r;
  r.opened = true;
  const long long n = t.size();
  spectro out = t;  // published only when the file is accepted
  std::vector<long long> lineOf(static_cast<std::size_t>(n), 0);
  Scanner sc(content);

  std::string firstWhy;
  // Counts a pair not used; its reason is put into words only when it is the first one.
  const auto unused = [&](long long line, const auto& why) {
    ++r.notUsed;
    if (r.firstUnusedLine == 0 || line < r.firstUnusedLine) {
      r.firstUnusedLine = line;
      firstWhy = why();
    }
  };

  long long last = 0;
  bool reading = last < n - 1;
  long long endLine = 0;
  std::string endIndex;
  std::string stopped;  // an item that is not a number, met while reading
  long long stoppedLine = 0;
  for (;;) {
    long long i = 0;
    const Scanner::Item a = sc.whole(&i);
    if (a == Scanner::Item::End) break;
    const long long line = sc.line();
    if (a != Scanner::Item::Number) {
      if (reading) stopped = sc.token(), stoppedLine = line;
      break;
    }
    const std::string index = sc.token();
    double v = 0.0;
    const Scanner::Item b = sc.real(&v);
    if (b == Scanner::Item::End) {
      unused(line, [&] { return "index " + index + " has no value"; });
      break;
    }
    if (b == Scanner::Item::NotANumber) {
      if (reading) {
        stopped = sc.token(), stoppedLine = sc.line();
        unused(line, [&] { return "index " + index + " has no value"; });
      }
      break;
    }
    if (b == Scanner::Item::NotFinite && reading && i >= 0 && i < n) {
      // A value the table would hold: refuse the whole file.
      LossTableRead refused;
      refused.opened = true;
      refused.error = quoted(name) + ", line " + std::to_string(sc.line()) + ": the value " +
                      sc.token() + " is not finite in single precision; the file was not used";
      return refused;
    }
    if (!reading) {
      unused(line, [&] {
        if (endIndex.empty()) {
          return "a table of " + std::to_string(n) + (n == 1 ? " bin" : " bins") + " holds no pair";
        }
        return "index " + endIndex + " on line " + std::to_string(endLine) +
               " ended the table before it";
      });
      continue;
    }
    if (b == Scanner::Item::NotFinite) {
      unused(line,
             [&] { return "its value " + sc.token() + " is not finite in single precision"; });
    } else if (i < 0) {
      unused(line, [&] { return "index " + index + " is negative"; });
    } else if (i >= n) {
      unused(line, [&] {
        return "index " + index + " lies beyond the grid 0 to " + std::to_string(n - 1);
      });
    } else {
      long long& before = lineOf[static_cast<std::size_t>(i)];
      if (before != 0) {
        unused(before, [&] {
          return "index " + index + " is given again on line " + std::to_string(line);
        });
      } else {
        ++r.stored;
      }
      before = line;
      out.setValue(static_cast<int>(i), static_cast<float>(v));
    }
    last = i;
    if (!(last < n - 1)) {
      reading = false;
      endLine = line;
      endIndex = index;
    }
  }

  if (r.notUsed > 0) {
    r.notice = quoted(name) + ": " + pairs(r.notUsed) + " not used (the first on line " +
               std::to_string(r.firstUnusedLine) + ": " + firstWhy + ")";
  }
  if (!stopped.empty()) {
    r.notice += (r.notice.empty() ? quoted(name) + ", line " : "; line ") +
                std::to_string(stoppedLine) + ": '" + stopped +
                "' is not a number, the rest of the file was not read";
  }
  t = std::move(out);
  return r;
}

LossTableRead readLossTableReport(const std::string& file, spectro& t) {
  std::string content;
  if (!readWholeFile(file, &content, std::size_t{1} << 28)) {
    LossTableRead r;
    r.error = "Cannot open " + quoted(file);
    return r;
  }
  return readLossTableText(content, file, t);
}

void readLossTable(std::istream& in, spectro& t) {
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  readLossTableText(content, "the table", t);
}

void readLossTable(const std::string& fileName, spectro& t) {
  readLossTableReport(fileName, t);
}

LossMoments lossMoments(const spectro& t) {
  LossMoments m;
  for (int i = 0; i < t.size(); ++i) {
    const double e = i * t.step;
    m.first += e * t.values[i];
    m.second += e * e * t.values[i];
  }
  return m;
}

}  // namespace tarvex
