// Constants shared by the numerical core and the engines: unit conversions and the sizes past
// which a grid or a collision table would only exhaust the memory or run for hours.
#pragma once

namespace tarvex {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kDegreesToRadians = kPi / 180.0;

// Largest number of points of one sampled distribution or depth profile.
inline constexpr double kMaxGridPoints = 5.0e7;
// Largest number of values of a collision table (all n-fold distributions together; all
// elements together in ion scattering): 1e8 doubles are 800 MB, built in seconds.
inline constexpr double kMaxTableValues = 1.0e8;

}  // namespace tarvex
