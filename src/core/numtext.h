// Number text of the controls: parsing with the session's decimal separator (failures carry the
// message the user sees) and the general and fixed formats numbers are shown in.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvex {

// The text without the blanks (spaces, tabs) around it.
std::string_view trim(std::string_view s);
// The text with its ASCII letters in lower case.
std::string lowerAscii(std::string_view s);

// A control's text that is not a number; what() is the message shown to the user.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "'%s' is not a valid floating point value" on failure. Leading and trailing blanks are
// allowed; an exponent is optional.
double parseFloat(std::string_view text, char decimalSeparator = '.');
// "'%s' is not a valid integer value" on failure.
int parseInt(std::string_view text);

// Shortest form with at most `digits` significant digits; scientific ("1.5E-6", "1E20") below
// 1e-5 or from 10^digits on.
std::string formatGeneral(double value, int digits = 15, char decimalSeparator = '.');
// Fixed notation with `decimals` decimals; scientific when the integer part has more than
// `precision` digits.
std::string formatFixed(double value, int precision, int decimals, char decimalSeparator = '.');
// The text an edit shows for value (formatGeneral, 15 digits) in *text, and whether that text
// reads back as a number: a value at the very ends of the double range does not, and a field
// holding it would stop every later command that reads it.
bool fieldTextReadsBack(double value, char decimalSeparator, std::string* text);

}  // namespace tarvex
