#pragma once
// Exact comparisons of single-precision results: the same bits, or both NaN.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "host/sdk/color.h"
#include "host/sdk/point3.h"

namespace tessary::testing {

inline bool SameBits(float a, float b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

inline std::string Show(float v) {
  std::ostringstream os;
  os.precision(9);
  os << v << " (0x" << std::hex << std::bit_cast<std::uint32_t>(v) << ")";
  return os.str();
}

inline ::testing::AssertionResult ColorBitsEq(const host::AColor& got, const host::AColor& want) {
  const float g[4] = {got.r, got.g, got.b, got.a};
  const float w[4] = {want.r, want.g, want.b, want.a};
  static const char* kNames[4] = {"r", "g", "b", "a"};
  for (int i = 0; i < 4; ++i) {
    if (!SameBits(g[i], w[i])) {
      return ::testing::AssertionFailure()
             << "channel " << kNames[i] << ": got " << Show(g[i]) << ", want " << Show(w[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult ColorNear(const host::AColor& got, const host::AColor& want, float tol) {
  const float g[4] = {got.r, got.g, got.b, got.a};
  const float w[4] = {want.r, want.g, want.b, want.a};
  static const char* kNames[4] = {"r", "g", "b", "a"};
  for (int i = 0; i < 4; ++i) {
    if (!(std::fabs(g[i] - w[i]) <= tol)) {
      return ::testing::AssertionFailure()
             << "channel " << kNames[i] << ": got " << Show(g[i]) << ", want " << Show(w[i]) << " within " << tol;
    }
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult PointBitsEq(const host::Point3& got, const host::Point3& want) {
  const float g[3] = {got.x, got.y, got.z};
  const float w[3] = {want.x, want.y, want.z};
  static const char* kNames[3] = {"x", "y", "z"};
  for (int i = 0; i < 3; ++i) {
    if (!SameBits(g[i], w[i])) {
      return ::testing::AssertionFailure()
             << "component " << kNames[i] << ": got " << Show(g[i]) << ", want " << Show(w[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tessary::testing
