// Opening the colour configuration (colour.h). The configuration is the
// image library's, in the image module (image_module.h). Without a file
// (no --colorconfig, no $OCIO) it is the library's built-in one, whose
// answers for "raw", "sRGB" and "linear" are known without it: converting
// between equal spaces, or to or from "raw", needs no module at all, and a
// run that does only that never loads it.

#include "app/colour.h"

#include <cstdlib>
#include <mutex>

#include "app/image_io.h"
#include "app/image_module.h"

namespace tessary::app {

namespace {

// Spaces the built-in configuration always has.
bool BuiltInSpace(const std::string& name) {
  return IsRawColourSpace(name) || SameColourSpace(name, "sRGB") || SameColourSpace(name, "linear");
}

class BuiltInColourConfig final : public ColourConfig {
 public:
  bool Knows(const std::string& name) const override {
    if (BuiltInSpace(name)) return true;
    std::string error;
    const ColourConfig* c = Library(error);
    return c && c->Knows(name);
  }

  std::string Unknown(const std::string& name) const override {
    std::string error;
    const ColourConfig* c = Library(error);
    return c ? c->Unknown(name) : error;
  }

  std::shared_ptr<const ColourTransform> Transform(const std::string& from, const std::string& to,
                                                   std::string& error) const override {
    if (NothingToDo(from, to)) return nullptr;
    const ColourConfig* c = Library(error);
    return c ? c->Transform(from, to, error) : nullptr;
  }

  bool Convert(Image& image, const std::string& from, const std::string& working, bool premultiplied,
               std::string& error) const override {
    std::string source = from;
    if (source.empty() && BuiltInSpace(image.colorspace)) source = image.colorspace;
    if (!source.empty() && NothingToDo(source, working)) {
      if (!IsRawColourSpace(source) && !IsRawColourSpace(working)) image.colorspace = working;
      return true;
    }
    const ColourConfig* c = Library(error);
    return c && c->Convert(image, from, working, premultiplied, error);
  }

 private:
  // Both spaces are built in, and equal or one of them "raw".
  static bool NothingToDo(const std::string& from, const std::string& to) {
    return BuiltInSpace(from) && BuiltInSpace(to) &&
           (IsRawColourSpace(from) || IsRawColourSpace(to) || SameColourSpace(from, to));
  }

  // The library's configuration, opened on the first question it alone can
  // answer; null with the reason when the module cannot be loaded.
  const ColourConfig* Library(std::string& error) const {
    std::call_once(once_, [this] {
      if (const ImageModule* images = ImageModuleOrError(error_)) library_ = images->openColourConfig("", error_);
    });
    if (!library_) error = error_;
    return library_.get();
  }

  mutable std::once_flag once_;
  mutable std::shared_ptr<const ColourConfig> library_;
  mutable std::string error_;
};

}  // namespace

std::shared_ptr<const ColourConfig> OpenColourConfig(const std::string& file, std::string& error) {
  const char* env = std::getenv("OCIO");
  if (file.empty() && !(env && *env)) return std::make_shared<BuiltInColourConfig>();
  const ImageModule* images = ImageModuleOrError(error);
  return images ? images->openColourConfig(file, error) : nullptr;
}

}  // namespace tessary::app
