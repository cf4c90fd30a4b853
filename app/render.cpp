#include "app/render.h"

#include <tbb/blocked_range2d.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <vector>

#include "host/shade_context.h"

namespace tessary::app {

namespace {

constexpr int kTileSide = 64;

// Renders rows [y0, y0 + rows) of a width x height image into `band`.
void RenderBand(host::Texmap& root, int width, int height, int y0, int rows, float* band,
                tbb::enumerable_thread_specific<host::ShadeContext>& contexts) {
  const float invW = 1.0f / static_cast<float>(width);
  const float invH = 1.0f / static_cast<float>(height);
  tbb::parallel_for(tbb::blocked_range2d<int>(0, rows, kTileSide, 0, width, kTileSide),
                    [&](const tbb::blocked_range2d<int>& r) {
                      host::ShadeContext& sc = contexts.local();
                      for (int y = r.rows().begin(); y < r.rows().end(); ++y) {
                        const float v = 1.0f - (static_cast<float>(y0 + y) + 0.5f) * invH;
                        float* row = band + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
                        for (int x = r.cols().begin(); x < r.cols().end(); ++x) {
                          sc.MoveTo(host::Point3((static_cast<float>(x) + 0.5f) * invW, v, 0.0f));
                          const host::AColor c = root.EvalColor(sc);
                          float* p = row + static_cast<std::size_t>(x) * 4;
                          p[0] = c.r;
                          p[1] = c.g;
                          p[2] = c.b;
                          p[3] = c.a;
                        }
                      }
                    });
}

int ThreadCount(int requested) {
  return requested > 0 ? requested : tbb::this_task_arena::max_concurrency();
}

}  // namespace

ThreadLimit::ThreadLimit(int threads) : images_(threads) {
  if (threads > 0) tbb_.emplace(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(threads));
}

int BandRows(int threads) {
  constexpr int kMinRows = 64;
  constexpr int kRowsPerThread = 32;
  constexpr int kMaxRows = 1024;
  return std::clamp(kRowsPerThread * ThreadCount(threads), kMinRows, kMaxRows);
}

bool RenderTo(host::Texmap& root, ImageWriter& writer, const RenderOptions& o, std::string& error) {
  tbb::task_arena arena(ThreadCount(o.threads));
  tbb::enumerable_thread_specific<host::ShadeContext> contexts;
  const int bandRows = std::min(BandRows(o.threads), o.height);
  std::vector<float> band(static_cast<std::size_t>(bandRows) * static_cast<std::size_t>(o.width) * 4);
  for (int y0 = 0; y0 < o.height; y0 += bandRows) {
    const int rows = std::min(bandRows, o.height - y0);
    arena.execute([&] { RenderBand(root, o.width, o.height, y0, rows, band.data(), contexts); });
    if (!writer.WriteRows(y0, rows, band.data(), error)) return false;
    if (o.progress) o.progress(static_cast<double>(y0 + rows) / static_cast<double>(o.height));
  }
  return true;
}

Image RenderImage(host::Texmap& root, int width, int height, int threads) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0.0f);
  tbb::task_arena arena(ThreadCount(threads));
  tbb::enumerable_thread_specific<host::ShadeContext> contexts;
  arena.execute([&] { RenderBand(root, width, height, 0, height, image.rgba.data(), contexts); });
  return image;
}

}  // namespace tessary::app
