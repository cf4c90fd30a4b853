#include "app/render.h"

#include <tbb/blocked_range2d.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <vector>

#include "host/sdk/shade_context.h"
#include "host/sdk/shade_span.h"

namespace tessary::app {

namespace {

// Tiles of up to kTileRows rows and one span's width: each row of a tile is
// one span, long enough for the memory reads of bitmap layers to stream.
constexpr int kTileRows = 16;
constexpr int kTileColumns = host::kMaxSpan;

// What each render thread keeps: its shading context, its span over that
// context and the colour planes the root's span is evaluated into.
struct ThreadState {
  ThreadState() : span(sc) {}
  host::ShadeContext sc;
  host::ShadeSpan span;
  host::SpanColors colors;
  std::vector<float> sums;  // a tile row's pixel sums when pixels take several samples
};
using ThreadStates = tbb::enumerable_thread_specific<ThreadState>;

// Pixels [x0, x1) of row y (v its coordinate) into `row`, which holds pixel
// x0 first, as spans.
void RenderRowSpans(host::Texmap& root, ThreadState& ts, int x0, int x1, float v, float invW, float* row) {
  for (int xs = x0; xs < x1; xs += host::kMaxSpan) {
    const int n = std::min(host::kMaxSpan, x1 - xs);
    ts.span.NewSpan(n);
    for (int k = 0; k < n; ++k) ts.span.SetUVW(k, host::Point3((static_cast<float>(xs + k) + 0.5f) * invW, v, 0.0f));
    root.EvalColorSpan(ts.span, ts.colors);
    float* p = row + static_cast<std::size_t>(xs - x0) * 4;
    for (int k = 0; k < n; ++k, p += 4) {
      p[0] = ts.colors.r[k];
      p[1] = ts.colors.g[k];
      p[2] = ts.colors.b[k];
      p[3] = ts.colors.a[k];
    }
  }
}

// The same pixels one sample at a time through EvalColor.
void RenderRowSamples(host::Texmap& root, host::ShadeContext& sc, int x0, int x1, float v, float invW, float* row) {
  for (int x = x0; x < x1; ++x) {
    sc.MoveTo(host::Point3((static_cast<float>(x) + 0.5f) * invW, v, 0.0f));
    const host::AColor c = root.EvalColor(sc);
    float* p = row + static_cast<std::size_t>(x - x0) * 4;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = c.a;
  }
}

// Pixels [x0, x1) of image row y with n x n samples each: sample (i, j) of
// pixel (x, y) lies at u = (x + (i + 0.5) / n) / width, v = 1 - (y + (j +
// 0.5) / n) / height, and the pixel is the sum of its samples, row j by row
// j and i by i within a row, divided by n * n (a box filter). Both paths add
// in that order, so the bits depend neither on the path nor on the threads.
void RenderRowSupersampled(host::Texmap& root, ThreadState& ts, int x0, int x1, int y, int n, float invW,
                           float invH, EvalPath path, float* row) {
  const int count = x1 - x0;
  ts.sums.assign(static_cast<std::size_t>(count) * 4, 0.0f);
  const float samples = static_cast<float>(n);
  auto offset = [samples](int k) { return (static_cast<float>(k) + 0.5f) / samples; };
  auto add = [&ts](int pixel, const host::AColor& c) {
    float* sum = ts.sums.data() + static_cast<std::size_t>(pixel) * 4;
    sum[0] += c.r;
    sum[1] += c.g;
    sum[2] += c.b;
    sum[3] += c.a;
  };
  const int total = count * n;  // the samples of one sample row, pixel by pixel
  for (int j = 0; j < n; ++j) {
    const float v = 1.0f - (static_cast<float>(y) + offset(j)) * invH;
    for (int s0 = 0; s0 < total; s0 += host::kMaxSpan) {
      const int m = std::min(host::kMaxSpan, total - s0);
      auto uv = [&](int s) {
        return host::Point3((static_cast<float>(x0 + s / n) + offset(s % n)) * invW, v, 0.0f);
      };
      if (path == EvalPath::Spans) {
        ts.span.NewSpan(m);
        for (int k = 0; k < m; ++k) ts.span.SetUVW(k, uv(s0 + k));
        root.EvalColorSpan(ts.span, ts.colors);
        for (int k = 0; k < m; ++k) add((s0 + k) / n, ts.colors.Get(k));
      } else {
        for (int k = 0; k < m; ++k) {
          ts.sc.MoveTo(uv(s0 + k));
          add((s0 + k) / n, root.EvalColor(ts.sc));
        }
      }
    }
  }
  const float norm = samples * samples;
  for (int p = 0; p < count; ++p)
    for (int c = 0; c < 4; ++c)
      row[static_cast<std::size_t>(p) * 4 + static_cast<std::size_t>(c)] =
          ts.sums[static_cast<std::size_t>(p) * 4 + static_cast<std::size_t>(c)] / norm;
}

// Renders rows [y0, y0 + rows) and columns [x0, x1) of a width x height
// image into `band` (rows of x1 - x0 pixels).
void RenderBand(host::Texmap& root, int width, int height, int x0, int x1, int y0, int rows, float* band,
                EvalPath path, int samples, ThreadStates& states) {
  const float invW = 1.0f / static_cast<float>(width);
  const float invH = 1.0f / static_cast<float>(height);
  const auto stride = static_cast<std::size_t>(x1 - x0) * 4;
  tbb::parallel_for(tbb::blocked_range2d<int>(0, rows, kTileRows, x0, x1, kTileColumns),
                    [&](const tbb::blocked_range2d<int>& r) {
                      ThreadState& ts = states.local();
                      const int c0 = r.cols().begin();
                      const int c1 = r.cols().end();
                      for (int y = r.rows().begin(); y < r.rows().end(); ++y) {
                        const float v = 1.0f - (static_cast<float>(y0 + y) + 0.5f) * invH;
                        float* row = band + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(c0 - x0) * 4;
                        if (samples > 1) {
                          RenderRowSupersampled(root, ts, c0, c1, y0 + y, samples, invW, invH, path, row);
                        } else if (path == EvalPath::Spans) {
                          RenderRowSpans(root, ts, c0, c1, v, invW, row);
                        } else {
                          RenderRowSamples(root, ts.sc, c0, c1, v, invW, row);
                        }
                      }
                    });
}

// The part of the image options asks for.
Region Wanted(const RenderOptions& o) {
  if (o.region.IsSet()) return o.region;
  Region whole;
  whole.x1 = whole.fullWidth = o.width;
  whole.y1 = whole.fullHeight = o.height;
  return whole;
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
  const Region r = Wanted(o);
  tbb::task_arena arena(ThreadCount(o.threads));
  ThreadStates states;
  const int bandRows = std::min(BandRows(o.threads), r.Height());
  std::vector<float> band(static_cast<std::size_t>(bandRows) * static_cast<std::size_t>(r.Width()) * 4);
  for (int y0 = r.y0; y0 < r.y1; y0 += bandRows) {
    const int rows = std::min(bandRows, r.y1 - y0);
    arena.execute([&] {
      RenderBand(root, o.width, o.height, r.x0, r.x1, y0, rows, band.data(), o.path, o.samples, states);
    });
    if (!writer.WriteRows(y0 - r.y0, rows, band.data(), error)) return false;
    if (o.progress) o.progress(static_cast<double>(y0 + rows - r.y0) / static_cast<double>(r.Height()));
  }
  return true;
}

Image RenderRegion(host::Texmap& root, const RenderOptions& o) {
  const Region r = Wanted(o);
  Image image;
  image.width = r.Width();
  image.height = r.Height();
  image.rgba.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4, 0.0f);
  tbb::task_arena arena(ThreadCount(o.threads));
  ThreadStates states;
  arena.execute([&] {
    RenderBand(root, o.width, o.height, r.x0, r.x1, r.y0, r.Height(), image.rgba.data(), o.path, o.samples, states);
  });
  return image;
}

Image RenderImage(host::Texmap& root, int width, int height, int threads, EvalPath path, int samples) {
  RenderOptions o;
  o.width = width;
  o.height = height;
  o.threads = threads;
  o.path = path;
  o.samples = samples;
  return RenderRegion(root, o);
}

}  // namespace tessary::app
