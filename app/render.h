#pragma once
// Rendering a map over the unit square: pixel (x, y) samples
// u = (x + 0.5) / width, v = 1 - (y + 0.5) / height (row 0 at the top, v
// upwards). Rows are rendered in bands; inside a band oneTBB hands out tiles
// to the worker threads, each with its own shading context and span. Each
// row of a tile is one span, evaluated through the root's EvalColorSpan; the
// pixels have the bits of the root's EvalColor at each sample, which the
// per-sample path calls one pixel at a time. The root must have been
// updated; evaluation only reads the maps.

#include <tbb/global_control.h>

#include <functional>
#include <optional>
#include <string>

#include "app/image_io.h"
#include "host/sdk/mtl.h"

namespace tessary::app {

// How pixels are evaluated: the rows of each tile as spans (the renderer's
// way), or one sample at a time through EvalColor (for comparing the two).
enum class EvalPath { Spans, Samples };

struct RenderOptions {
  int width = 512;
  int height = 512;
  int threads = 0;  // 0: as many as the machine has
  EvalPath path = EvalPath::Spans;
  // Samples per pixel along each axis: n x n stratified samples averaged
  // with a box filter (1: the pixel's centre, as always).
  int samples = 1;
  // Only this part of the width x height image (unset: all of it). Its
  // pixels have the bits they have in the whole image: each pixel's samples
  // depend only on its place in the whole.
  Region region;
  // Called after each band with the fraction of rows done (0..1].
  std::function<void(double)> progress;
};

// For the life of the object, at most `threads` threads (0: every core) in
// everything the program runs: its own parallel steps (oneTBB: reading the
// images side by side, rendering) and the image library's reading and
// writing, including the EXR library's pool. With 1 everything runs on the
// calling thread. One at a time (the settings are global).
class ThreadLimit {
 public:
  explicit ThreadLimit(int threads);

 private:
  std::optional<tbb::global_control> tbb_;
  ImageLibraryThreads images_;
};

// The rows of one band: enough for the writer to compress as many blocks
// side by side as there are threads (EXR zip blocks hold 16 rows, TIFF
// strips 32), and at least 64. `threads` 0 is every core.
int BandRows(int threads);

// Renders `root` row band by row band into an open writer (which is not
// committed here), the region's rows and columns only when one is set (the
// writer's image is the region's size). Memory stays at one band (BandRows)
// whatever the size.
bool RenderTo(host::Texmap& root, ImageWriter& writer, const RenderOptions& options, std::string& error);

// Renders options.region (or the whole image) into memory.
Image RenderRegion(host::Texmap& root, const RenderOptions& options);

// Renders into memory (for small images such as contact-sheet tiles).
Image RenderImage(host::Texmap& root, int width, int height, int threads, EvalPath path = EvalPath::Spans,
                  int samples = 1);

}  // namespace tessary::app
