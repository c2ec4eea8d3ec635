// The one number text form of the program, shared by the keyframe curves, the
// project files and the script interpreter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Writes a real in the general decimal form with at most 15 significant
// digits: plain notation for 0.0001 <= |v| < 1E15 (e.g. 0.5, 1234.25), the
// exponent form otherwise (1E-5, 1.5E20, 1E15); trailing zeros dropped, "."
// as the separator, zero (negative or not) as 0.  Not-a-number and the
// infinities are written NAN, INF and -INF.
std::string FormatReal(long double v);

// Writes an integer in plain decimal.
std::string FormatInt(long long v);

// Reads a real written with "." as the separator: optional sign, digits with
// an optional fraction, optional exponent (E or e, optional sign, digits).
// The whole text must be consumed; no blanks.  Independent of the C locale.
std::optional<long double> ParseReal(std::string_view text);

}  // namespace velmora
