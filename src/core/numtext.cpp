#include "core/numtext.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace tarvex {
std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

namespace {

// value in the given layout with `precision` digits after the point ('.' whatever the locale);
// a negative precision means 6, as in printf.
std::string toChars(double value, std::chars_format format, int precision) {
  if (precision < 0) precision = 6;
  // Sign, up to 309 integer digits, point, the digits asked for and an exponent.
  std::string buf(static_cast<std::size_t>(precision) + 330, '\0');
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value, format, precision);
  buf.resize(r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - buf.data()) : 0);
  return buf;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Replaces the decimal separator of a to_chars result (always '.') by the session's.
std::string withSeparator(std::string s, char sep) {
  if (sep != '.') {
    for (char& c : s) {
      if (c == '.') c = sep;
    }
  }
  return s;
}

}  // namespace

double parseFloat(std::string_view text, char sep) {
  const auto fail = [&] {
    return ConversionError("'" + std::string(text) + "' is not a valid floating point value");
  };
  const std::string_view t = trim(text);
  // [+-] digits [sep digits] [(e|E) [+-] digits], with at least one mantissa digit.
  std::string plain;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) plain += t[i++];
  std::size_t mantissaDigits = 0;
  while (i < t.size() && isDigit(t[i])) {
    plain += t[i++];
    ++mantissaDigits;
  }
  if (i < t.size() && t[i] == sep) {
    plain += '.';
    ++i;
    while (i < t.size() && isDigit(t[i])) {
      plain += t[i++];
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) throw fail();
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) plain += t[i++];
    std::size_t expDigits = 0;
    while (i < t.size() && isDigit(t[i])) {
      plain += t[i++];
      ++expDigits;
    }
    if (expDigits == 0) throw fail();
  }
  if (i != t.size()) throw fail();
  double value = 0.0;
  const char* first = plain.data();
  if (*first == '+') ++first;
  const auto r = std::from_chars(first, plain.data() + plain.size(), value);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow is refused like any other text that holds no double; underflow reads as 0.
    const std::size_t e = plain.find('e');
    if (e != std::string::npos && plain.find('-', e) != std::string::npos) return 0.0;
    throw fail();
  }
  if (r.ec != std::errc() || r.ptr != plain.data() + plain.size()) throw fail();
  return value;
}

int parseInt(std::string_view text) {
  const std::string_view t = trim(text);
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (first != last && *first == '+') ++first;
  int value = 0;
  const auto r = std::from_chars(first, last, value);
  if (t.empty() || r.ec != std::errc() || r.ptr != last || first == last ||
      (*first == '-' && t.front() == '+')) {
    throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
  }
  return value;
}

std::string formatGeneral(double value, int digits, char sep) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0.0) return "0";
  // Round to the requested significant digits first, then pick the layout. to_chars never
  // consults the C locale, which a windowed program sets from the system (',' decimals).
  const std::string s = toChars(value, std::chars_format::scientific, digits - 1);
  const std::size_t epos = s.find('e');
  int exponent = 0;
  const char* expFirst = s.data() + epos + 1;
  if (*expFirst == '+') ++expFirst;
  std::from_chars(expFirst, s.data() + s.size(), exponent);
  std::string mantissa = s.substr(0, epos);
  const bool negative = mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  std::string ds;
  for (char c : mantissa) {
    if (c != '.') ds += c;
  }
  while (ds.size() > 1 && ds.back() == '0')
    ds.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent < -5 || exponent >= digits) {
    out += ds.substr(0, 1);
    if (ds.size() > 1) out += sep + ds.substr(1);
    out += 'E';
    out += std::to_string(exponent);  // an int: no locale involved
  } else if (exponent < 0) {
    out += "0";
    out += sep;
    out += std::string(static_cast<std::size_t>(-exponent - 1), '0') + ds;
  } else {
    const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
    if (ds.size() <= intDigits) {
      out += ds + std::string(intDigits - ds.size(), '0');
    } else {
      out += ds.substr(0, intDigits) + sep + ds.substr(intDigits);
    }
  }
  return out;
}

std::string formatFixed(double value, int precision, int decimals, char sep) {
  if (!std::isfinite(value)) return formatGeneral(value);
  if (value != 0.0 && std::fabs(value) >= std::pow(10.0, precision)) {
    std::string s = toChars(value, std::chars_format::scientific, precision - 1);
    for (char& c : s) {
      if (c == 'e') c = 'E';
    }
    return withSeparator(std::move(s), sep);
  }
  return withSeparator(toChars(value, std::chars_format::fixed, decimals), sep);
}

bool fieldTextReadsBack(double value, char sep, std::string* text) {
  *text = formatGeneral(value, 15, sep);
  try {
    parseFloat(*text, sep);
  } catch (const ConversionError&) {
    return false;
  }
  return true;
}

}  // namespace tarvex
