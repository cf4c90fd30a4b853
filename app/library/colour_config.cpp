// Colour spaces through the image library's colour configuration (colour.h):
// a studio's OpenColorIO file, $OCIO's, or the built-in one.

#include "app/colour.h"

#include <OpenImageIO/color.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "app/image_io.h"
#include "app/library/library.h"

namespace tessary::app::library {

namespace {

namespace OIIO = OIIO_NAMESPACE;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Pixels converted in one piece of a parallel conversion.
constexpr std::size_t kPiece = 1 << 14;

class ProcessorTransform final : public ColourTransform {
 public:
  explicit ProcessorTransform(OIIO::ColorProcessorHandle p) : p_(std::move(p)) {}
  void Apply(float* rgba, std::size_t pixels) const override {
    // The processor takes at most an int's worth of pixels a call.
    for (std::size_t done = 0; done < pixels; done += kPiece) {
      const auto n = static_cast<int>(std::min(kPiece, pixels - done));
      p_->apply(rgba + 4 * done, n, 1, 3, sizeof(float), 4 * sizeof(float), OIIO::AutoStride);
    }
  }
  bool PerChannel() const override { return !p_->hasChannelCrosstalk(); }

 private:
  OIIO::ColorProcessorHandle p_;
};

// Converts straight colour (or, when premultiplied, colour divided by its
// alpha where that is above 0, multiplied again after), piece by piece side
// by side.
void ConvertFloats(const ColourTransform& t, float* rgba, std::size_t pixels, bool premultiplied) {
  tbb::parallel_for(std::size_t{0}, (pixels + kPiece - 1) / kPiece, [&](std::size_t piece) {
    float* p = rgba + 4 * piece * kPiece;
    const std::size_t n = std::min(kPiece, pixels - piece * kPiece);
    if (!premultiplied) {
      t.Apply(p, n);
      return;
    }
    for (std::size_t i = 0; i < n; ++i) {
      float* px = p + 4 * i;
      if (px[3] > 0.0f) {
        px[0] /= px[3];
        px[1] /= px[3];
        px[2] /= px[3];
      }
    }
    t.Apply(p, n);
    for (std::size_t i = 0; i < n; ++i) {
      float* px = p + 4 * i;
      if (px[3] > 0.0f) {
        px[0] *= px[3];
        px[1] *= px[3];
        px[2] *= px[3];
      }
    }
  });
}

class LibraryColourConfig final : public ColourConfig {
 public:
  explicit LibraryColourConfig(std::unique_ptr<OIIO::ColorConfig> config) : config_(std::move(config)) {
    builtIn_ = config_->configname() == "built-in";
    for (const std::string& name : config_->getColorSpaceNames()) {
      if (std::none_of(names_.begin(), names_.end(), [&](const std::string& n) { return SameColourSpace(n, name); }))
        names_.push_back(name);
    }
    const char* linear = config_->getColorSpaceNameByRole("scene_linear");
    if (!linear || !*linear) linear = config_->getColorSpaceNameByRole("linear");
    reference_ = linear && *linear ? linear : names_.empty() ? "linear" : names_.front();
  }

  bool Knows(const std::string& name) const override {
    if (name.empty()) return false;
    if (IsRawColourSpace(name)) return true;
    for (const std::string& n : names_)
      if (SameColourSpace(n, name)) return true;
    // Names the configuration makes on demand (the built-in "GammaX.Y"):
    // known when a conversion from them exists.
    std::lock_guard lock(mutex_);
    const auto known = extra_.find(Lower(name));
    if (known != extra_.end()) return known->second;
    const bool made = config_->createColorProcessor(name, reference_) != nullptr;
    (void)config_->geterror();
    extra_.emplace(Lower(name), made);
    return made;
  }

  std::string Unknown(const std::string& name) const override {
    std::string known;
    if (builtIn_) {
      known = "sRGB, linear, Rec709, GammaX.Y such as Gamma2.2";
    } else {
      constexpr std::size_t kShown = 10;
      for (std::size_t i = 0; i < names_.size() && i < kShown; ++i) known += (i ? ", " : "") + names_[i];
      if (names_.size() > kShown) known += ", ... (" + std::to_string(names_.size()) + " in all)";
    }
    return "unknown colour space \"" + name + "\" (known: " + known + (known.empty() ? "" : ", ") + "raw)";
  }

  std::shared_ptr<const ColourTransform> Transform(const std::string& from, const std::string& to,
                                                   std::string& error) const override {
    for (const std::string* name : {&from, &to}) {
      if (!Knows(*name)) {
        error = Unknown(*name);
        return nullptr;
      }
    }
    if (IsRawColourSpace(from) || IsRawColourSpace(to) || SameColourSpace(from, to)) return nullptr;
    std::lock_guard lock(mutex_);
    const std::string key = Lower(from) + '\n' + Lower(to);
    if (const auto made = transforms_.find(key); made != transforms_.end()) return made->second;
    OIIO::ColorProcessorHandle p = config_->createColorProcessor(from, to);
    const std::string why = OneLine(config_->geterror(), "");
    if (!p) {
      error = "cannot convert colour from \"" + from + "\" to \"" + to + "\"" + (why.empty() ? "" : ": " + why);
      return nullptr;
    }
    std::shared_ptr<const ColourTransform> t;
    if (!p->isNoOp()) t = std::make_shared<ProcessorTransform>(std::move(p));
    transforms_.emplace(key, t);
    return t;
  }

  bool Convert(Image& image, const std::string& from, const std::string& working, bool premultiplied,
               std::string& error) const override {
    std::string source = from;
    if (source.empty()) source = Knows(image.colorspace) ? image.colorspace : image.formatColorspace;
    const std::shared_ptr<const ColourTransform> t = Transform(source, working, error);
    if (!t) {
      if (!error.empty()) return false;
      if (!IsRawColourSpace(source) && !IsRawColourSpace(working)) image.colorspace = working;
      return true;
    }
    const std::size_t pixels = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    if (!image.rgba8.empty()) {
      bool opaque = true;
      for (std::size_t p = 0; p < pixels && opaque; ++p) opaque = image.rgba8[4 * p + 3] == 255;
      if (t->PerChannel() && (!premultiplied || opaque)) {
        // Each channel's 256 values converted once: the bytes stay.
        auto tables = std::make_shared<std::vector<float>>(image.byteToFloat, image.byteToFloat + 1024);
        std::vector<float> ramp(256 * 4);
        for (std::size_t v = 0; v < 256; ++v)
          for (std::size_t c = 0; c < 4; ++c) ramp[4 * v + c] = (*tables)[256 * c + v];
        t->Apply(ramp.data(), 256);
        for (std::size_t v = 0; v < 256; ++v)
          for (std::size_t c = 0; c < 3; ++c) (*tables)[256 * c + v] = ramp[4 * v + c];
        image.byteToFloat = tables->data();
        image.ownTables = std::move(tables);
        image.colorspace = working;
        return true;
      }
      image.rgba.resize(pixels * 4);
      for (std::size_t i = 0; i < pixels * 4; ++i) image.rgba[i] = image.byteToFloat[256 * (i % 4) + image.rgba8[i]];
      image.rgba8 = {};
      image.byteToFloat = nullptr;
      image.ownTables.reset();
    }
    ConvertFloats(*t, image.rgba.data(), pixels, premultiplied);
    image.colorspace = working;
    return true;
  }

 private:
  std::unique_ptr<OIIO::ColorConfig> config_;
  bool builtIn_ = false;
  std::vector<std::string> names_;
  std::string reference_;
  mutable std::mutex mutex_;  // the library's configuration is asked one question at a time
  mutable std::map<std::string, bool> extra_;
  mutable std::map<std::string, std::shared_ptr<const ColourTransform>> transforms_;
};

}  // namespace

std::shared_ptr<const ColourConfig> OpenColourConfig(const std::string& file, std::string& error) {
  std::string source = file;
  std::string what = "--colorconfig " + file;
  if (source.empty()) {
    const char* env = std::getenv("OCIO");
    if (env && *env) {
      source = env;
      what = "OCIO=" + source;
    }
  }
  if (!source.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source, ec)) {
      error = what + ": no such colour configuration file";
      return nullptr;
    }
  }
  auto config = std::make_unique<OIIO::ColorConfig>(source);
  // Without a file the library reports that it has none and takes its
  // built-in configuration: that is no failure.
  const std::string why = OneLine(config->geterror(), "");
  if (!source.empty() && (config->configname() == "built-in" || !why.empty())) {
    error = what + ": cannot read the colour configuration" + (why.empty() ? "" : ": " + why);
    return nullptr;
  }
  return std::make_shared<LibraryColourConfig>(std::move(config));
}

}  // namespace tessary::app::library
