#pragma once
// Colour spaces, through the image library's colour configuration: a
// studio's OpenColorIO config file (--colorconfig), else the one the OCIO
// environment variable names, else the library's built-in one, which knows
// "linear", "sRGB", "Rec709" and "GammaX.Y" (Gamma2.2, ...).
//
// Every image has a colour space and every scene a working space. Images
// are converted into the working space once, when they are read; renders
// are converted out of it per band, when they are written. Names are
// compared without regard to case. "raw" is no space at all: values that
// are data (roughness, normals) and never converted, on the way in or out.
// Converting between equal names changes nothing, not a bit: no round trip
// through another space happens.

#include <cctype>
#include <cstddef>
#include <memory>
#include <string>

namespace tessary::app {

struct Image;

inline constexpr const char* kRawColourSpace = "raw";
// The working space of a scene that names none: sRGB-encoded values, as
// paint programs composite them (an sRGB image is used as it is stored).
inline constexpr const char* kDefaultWorkingSpace = "sRGB";

// Equal names but for case.
inline bool SameColourSpace(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}
inline bool IsRawColourSpace(const std::string& name) { return SameColourSpace(name, kRawColourSpace); }

// A conversion of straight colour from one space into another.
class ColourTransform {
 public:
  virtual ~ColourTransform() = default;
  // Converts red, green and blue of `pixels` RGBA pixels (four floats each)
  // in place; alpha is left as it is.
  virtual void Apply(float* rgba, std::size_t pixels) const = 0;
  // True when each channel's result depends on that channel alone.
  virtual bool PerChannel() const = 0;
};

class ColourConfig {
 public:
  virtual ~ColourConfig() = default;
  // Whether `name` is "raw" or a space of this configuration.
  virtual bool Knows(const std::string& name) const = 0;
  // One line for an unknown name: "unknown colour space "NAME" (known: ...)",
  // the known names listed short.
  virtual std::string Unknown(const std::string& name) const = 0;
  // The conversion from one space into another: null when there is nothing
  // to do (the same space, or either is "raw"), and null with `error` set
  // when a name is unknown or the configuration has no way between them.
  virtual std::shared_ptr<const ColourTransform> Transform(const std::string& from, const std::string& to,
                                                           std::string& error) const = 0;
  // Converts an image as ReadImage gave it into `working`. `from` is the
  // space of its values, "" for the file's own (its tag when this
  // configuration knows it, else its format's convention). Colour stored
  // premultiplied (as `premultiplied` says) is divided by alpha for the
  // conversion and multiplied again after; alpha itself is never converted.
  // Nothing to do (same space, raw): the image keeps every bit. An 8-bit
  // image keeps its bytes and gets tables of its own when the conversion
  // treats each channel alone and its colour is straight; otherwise it
  // becomes floats. Sets image.colorspace to the space its values are in.
  virtual bool Convert(Image& image, const std::string& from, const std::string& working, bool premultiplied,
                       std::string& error) const = 0;
};

// Opens the colour configuration: `file` when given, else the one the OCIO
// environment variable names, else the built-in one. A file that cannot be
// read (or a broken $OCIO) gives null and a one-line `error`. A build
// without images has no configuration: null without error.
std::shared_ptr<const ColourConfig> OpenColourConfig(const std::string& file, std::string& error);

// The format's convention for an output of 8- or 16-bit samples (sRGB) or
// of half or float ones (linear).
inline const char* OutputColourSpace(bool floatSamples) { return floatSamples ? "linear" : "sRGB"; }

}  // namespace tessary::app
