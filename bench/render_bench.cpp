// The render path through the real maps, without files: a stack of eight
// bitmap layers (float RGBA images with partly transparent colours, the
// modes and opacities of bench/render_vs_peers.sh) rendered into memory one
// sample at a time (the root's EvalColor, what a host calls) and as spans
// (what the renderer does), and the same stack with layers 1-7 switched off
// (their images still in memory), so the difference of the two is the
// compositing of seven layers.
//
// The same stack of 8-bit PNG layers (straight colour, as most painted
// textures come) is BM_RenderByteStack.
//
// Arguments: path (0 samples, 1 spans), layers 1-7 on (1) or off (0),
// threads. The counter "per_pixel" is seconds per pixel; the compositing per
// pixel and layer is (on - off) / 7. CPU time for one thread; with two,
// real time (UseRealTime), since the work is shared.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/host_session.h"
#include "app/map_graph.h"
#include "app/render.h"
#include "app/scene_io.h"

namespace tessary::app {
namespace {

constexpr int kSide = 1024;
constexpr int kLayers = 8;

// An image of smooth colour ramps with alpha from 0.2 to 1.
Image MakeLayer(int i) {
  Image img;
  img.width = kSide;
  img.height = kSide;
  img.premultiplied = false;
  img.rgba.resize(static_cast<std::size_t>(kSide) * kSide * 4);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      float* p = &img.rgba[(static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x)) * 4];
      const float fx = static_cast<float>((x * (i + 3)) % kSide) / kSide;
      const float fy = static_cast<float>((y * (2 * i + 1)) % kSide) / kSide;
      p[0] = fx;
      p[1] = fy;
      p[2] = 0.5f * (fx + fy);
      p[3] = 0.2f + 0.8f * static_cast<float>((x + y + i) % 5) * 0.25f;
    }
  }
  return img;
}

// The session, the images (written once as uncompressed EXR) and the two
// scenes.
struct Fixture {
  std::unique_ptr<HostSession> session;
  std::filesystem::path dir;
  SceneGraph stack, off, bytes, bytesOff;
  ImageLibrary images;

  Fixture() {
    std::string error;
    session = HostSession::Start(error);
    if (!session) Fail(error);
    dir = std::filesystem::temp_directory_path() / ("tessary-render-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int i = 0; i < kLayers; ++i) {
      const Image layer = MakeLayer(i);
      if (!WriteImage((dir / ("l" + std::to_string(i) + ".exr")).string(), ImageFormat::Exr, layer, error) ||
          !WriteImage((dir / ("l" + std::to_string(i) + ".png")).string(), ImageFormat::Png8, layer, error))
        Fail(error);
    }
    Load(stack, "stack.json", false, ".exr");
    Load(off, "off.json", true, ".exr");
    Load(bytes, "bytes.json", false, ".png");
    Load(bytesOff, "bytes-off.json", true, ".png");
  }
  ~Fixture() { std::filesystem::remove_all(dir); }

  void Load(SceneGraph& graph, const std::string& name, bool layersOff, const std::string& extension) {
    static const char* modes[kLayers] = {"Normal", "Multiply", "Screen", "Overlay", "Difference", "Normal", "Lighten", "Hard Light"};
    std::string scene = R"({"format": "tessary-scene", "version": 1, "root": {"type": "tessary", "layers": [)";
    for (int i = 0; i < kLayers; ++i) {
      scene += std::string(i ? ", " : "") + R"({"map": {"type": "bitmap", "file": "l)" + std::to_string(i) +
               extension + R"("}, "mode": ")" + modes[i] + R"(", "opacity": )" + (i == 5 ? "50" : "100") +
               (layersOff && i > 0 ? R"(, "used": false)" : "") + "}";
    }
    scene += "]}}";
    std::ofstream(dir / name) << scene;
    std::string error;
    if (!LoadScene((dir / name).string(), graph, error) || !PrepareGraph(graph, images, error)) Fail(error);
  }
  [[noreturn]] static void Fail(const std::string& error) {
    std::fprintf(stderr, "render_bench: %s\n", error.c_str());
    std::exit(1);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

void RenderStack(benchmark::State& state, host::Texmap& root) {
  const EvalPath path = state.range(0) != 0 ? EvalPath::Spans : EvalPath::Samples;
  const int threads = static_cast<int>(state.range(2));
  const ThreadLimit limit(threads);
  for (auto _ : state) {
    Image image = RenderImage(root, kSide, kSide, threads, path);
    benchmark::DoNotOptimize(image.rgba.data());
  }
  state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(kSide) * kSide,
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
void BM_RenderBitmapStack(benchmark::State& state) {
  Fixture& f = TheFixture();
  RenderStack(state, *(state.range(1) != 0 ? f.stack.root : f.off.root));
}
void BM_RenderByteStack(benchmark::State& state) {
  Fixture& f = TheFixture();
  RenderStack(state, *(state.range(1) != 0 ? f.bytes.root : f.bytesOff.root));
}

BENCHMARK(BM_RenderBitmapStack)
    ->ArgNames({"spans", "layers", "threads"})
    ->ArgsProduct({{0, 1}, {1, 0}, {1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderBitmapStack)
    ->ArgNames({"spans", "layers", "threads"})
    ->ArgsProduct({{1}, {1, 0}, {2}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderByteStack)
    ->ArgNames({"spans", "layers", "threads"})
    ->ArgsProduct({{1}, {1, 0}, {1, 2}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessary::app

BENCHMARK_MAIN();
