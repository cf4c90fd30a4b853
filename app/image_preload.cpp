// Reading a scene's images side by side (oneTBB), for the build with image
// files; without them there is nothing to read ahead (no_image.cpp).

#include <algorithm>
#include <memory>

#include <tbb/parallel_for.h>

#include "app/map_graph.h"

namespace tessary::app {

void ImageLibrary::Preload(const std::vector<ImageRequest>& requests) {
  std::vector<ImageRequest> todo;
  std::vector<std::string> keys;
  for (const ImageRequest& r : requests) {
    const std::string key = Key(r);
    if (!images_.count(key) && std::find(keys.begin(), keys.end(), key) == keys.end()) {
      todo.push_back(r);
      keys.push_back(key);
    }
  }
  if (todo.size() < 2) return;
  std::string ignored;
  const ColourConfig* colours = Colours(ignored);  // a failure is Get's to report
  if (!colours && !ignored.empty()) return;
  std::vector<std::shared_ptr<Image>> read(todo.size());
  tbb::parallel_for(std::size_t{0}, todo.size(), [&](std::size_t i) {
    auto image = std::make_shared<Image>();
    std::string why;
    if (ReadAndConvert(todo[i], colours, *image, why)) read[i] = std::move(image);
  });
  // Images that failed are read again by Get, which reports why.
  for (std::size_t i = 0; i < todo.size(); ++i) {
    if (!read[i]) continue;
    images_.emplace(keys[i], std::move(read[i]));
    paths_.emplace(keys[i], todo[i].path);
  }
}

}  // namespace tessary::app
