#pragma once
// The host's colour value types: Color (r, g, b) and AColor (r, g, b, a),
// single-precision, plain aggregates.

namespace tessary::host {

struct Color {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;

  constexpr Color() = default;
  constexpr Color(float red, float green, float blue) : r(red), g(green), b(blue) {}

  friend constexpr bool operator==(const Color&, const Color&) = default;
};

struct AColor {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f;

  constexpr AColor() = default;
  constexpr AColor(float red, float green, float blue, float alpha = 1.0f)
      : r(red), g(green), b(blue), a(alpha) {}
  // A layer colour enters compositing with the given alpha (1 by default).
  constexpr explicit AColor(const Color& c, float alpha = 1.0f) : r(c.r), g(c.g), b(c.b), a(alpha) {}

  // Clamps each of r, g, b and a into [0, 1]. A NaN channel stays NaN.
  constexpr void ClampMinMax() {
    r = Clamp01(r);
    g = Clamp01(g);
    b = Clamp01(b);
    a = Clamp01(a);
  }

  friend constexpr bool operator==(const AColor&, const AColor&) = default;

 private:
  static constexpr float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
};

}  // namespace tessary::host
