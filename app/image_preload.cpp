// Reading a scene's images side by side (oneTBB), for the build with image
// files; without them there is nothing to read ahead (no_image.cpp).

#include <algorithm>
#include <memory>

#include <tbb/parallel_for.h>

#include "app/map_graph.h"

namespace tessary::app {

void ImageLibrary::Preload(const std::vector<std::string>& paths) {
  std::vector<std::string> todo;
  for (const std::string& p : paths)
    if (!images_.count(p) && std::find(todo.begin(), todo.end(), p) == todo.end()) todo.push_back(p);
  if (todo.size() < 2) return;
  std::vector<std::shared_ptr<Image>> read(todo.size());
  tbb::parallel_for(std::size_t{0}, todo.size(), [&](std::size_t i) {
    auto image = std::make_shared<Image>();
    std::string ignored;
    if (ReadImage(todo[i], *image, ignored)) read[i] = std::move(image);
  });
  // Files that failed are read again by Get, which reports why.
  for (std::size_t i = 0; i < todo.size(); ++i)
    if (read[i]) images_.emplace(todo[i], std::move(read[i]));
}

}  // namespace tessary::app
