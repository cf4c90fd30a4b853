#pragma once
// The host's three-component single-precision vector, used for normal
// perturbations.

namespace tessary::host {

struct Point3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  constexpr Point3() = default;
  constexpr Point3(float px, float py, float pz) : x(px), y(py), z(pz) {}

  friend constexpr bool operator==(const Point3&, const Point3&) = default;
};

}  // namespace tessary::host
