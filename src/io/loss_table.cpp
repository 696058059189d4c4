#include "io/loss_table.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <string>

namespace tarvex {
namespace {

// Reads the characters of a number the way a Pascal text read does: a whole number stops at
// the first character that is not a digit ("12.5" gives 12 and leaves ".5").
class Tokens {
 public:
  explicit Tokens(std::istream& in) : in_(in) {}

  bool skipBlanks() {
    int c;
    while ((c = in_.peek()) != EOF && std::isspace(c))
      in_.get();
    return c != EOF;
  }

  bool whole(long long* value) {
    if (!skipBlanks()) return false;
    std::string t;
    if (in_.peek() == '+' || in_.peek() == '-') t += static_cast<char>(in_.get());
    while (std::isdigit(in_.peek()))
      t += static_cast<char>(in_.get());
    if (t.empty() || t == "+" || t == "-") return false;
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    const auto r = std::from_chars(first, t.data() + t.size(), *value);
    // An index beyond any grid still ends the reading as one past the end would.
    if (r.ec == std::errc::result_out_of_range) *value = t[0] == '-' ? -(1LL << 62) : (1LL << 62);
    return true;
  }

  bool real(double* value) {
    if (!skipBlanks()) return false;
    std::string t;
    if (in_.peek() == '+' || in_.peek() == '-') t += static_cast<char>(in_.get());
    std::size_t digits = 0;
    while (std::isdigit(in_.peek())) {
      t += static_cast<char>(in_.get());
      ++digits;
    }
    if (in_.peek() == '.') {
      t += static_cast<char>(in_.get());
      while (std::isdigit(in_.peek())) {
        t += static_cast<char>(in_.get());
        ++digits;
      }
    }
    if (digits == 0) return false;
    if (in_.peek() == 'e' || in_.peek() == 'E') {
      std::string e(1, static_cast<char>(in_.get()));
      if (in_.peek() == '+' || in_.peek() == '-') e += static_cast<char>(in_.get());
      std::size_t expDigits = 0;
      while (std::isdigit(in_.peek())) {
        e += static_cast<char>(in_.get());
        ++expDigits;
      }
      if (expDigits == 0) return false;
      t += e;
    }
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    const auto r = std::from_chars(first, t.data() + t.size(), *value);
    if (r.ec == std::errc::result_out_of_range) return false;
    return r.ec == std::errc();
  }

 private:
  std::istream& in_;
};

}  // namespace

void readLossTable(std::istream& in, spectro& t) {
  const long long n = t.size();
  Tokens tokens(in);
  long long last = 0;
  while (last < n - 1) {
    long long i = 0;
    double v = 0.0;
    if (!tokens.whole(&i) || !tokens.real(&v)) return;
    if (i >= 0 && i < n) t.setValue(static_cast<int>(i), static_cast<float>(v));
    last = i;
  }
}

void readLossTable(const std::string& fileName, spectro& t) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return;  // nothing to read: the table stays as it is
  readLossTable(in, t);
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
