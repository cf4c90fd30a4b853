// Render threads evaluate one map at the same time, each with its own
// shading context; the map is not edited meanwhile. Built under the thread
// sanitizer this shows that evaluation only reads the map.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/map/map_fixture.h"

namespace tessary::testing {
namespace {

using namespace host;

TEST(ConcurrentEval, EightThreadsGetTheSingleThreadedResults) {
  auto* map = new Quilbo();
  Observer holder(map);
  map->SetNumLayers(4);
  const AColor colors[] = {{0.9f, 0.1f, 0.2f, 1}, {0.3f, 0.8f, 0.4f, 1}, {0.5f, 0.5f, 0.9f, 1}, {0.2f, 0.7f, 0.1f, 1}};
  for (int i = 0; i < 4; ++i) {
    map->SetSubTexmap(2 * i, new ConstMap("m", nullptr, colors[i], Point3(0.1f * float(i), 0.2f, -0.3f)));
    map->blendMode[i] = 3 * i + 1;
    map->opacity[i] = 25.0f * float(i + 1);
  }
  map->SetSubTexmap(5, new ConstMap("mask", nullptr, AColor(0.6f, 0.6f, 0.6f, 1)));
  map->outputOn = true;
  map->gamma = 1.8f;
  map->hsvShift = AColor(20, 0.1f, 0, 0);

  constexpr int kSamples = 200;
  auto evaluate = [map](std::vector<AColor>& c, std::vector<Point3>& p) {
    ShadeContext sc;
    for (int s = 0; s < kSamples; ++s) {
      sc.MoveTo(Point3(float(s) / kSamples, 0, 0));
      c.push_back(map->EvalColor(sc));
      sc.NewSample();
      p.push_back(map->EvalNormalPerturb(sc));
    }
  };
  std::vector<AColor> expectedColors;
  std::vector<Point3> expectedPerturbs;
  evaluate(expectedColors, expectedPerturbs);

  constexpr int kThreads = 8;
  std::vector<std::vector<AColor>> colorsOf(kThreads);
  std::vector<std::vector<Point3>> perturbsOf(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] { evaluate(colorsOf[std::size_t(t)], perturbsOf[std::size_t(t)]); });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(colorsOf[std::size_t(t)], expectedColors) << "thread " << t;
    EXPECT_EQ(perturbsOf[std::size_t(t)], expectedPerturbs) << "thread " << t;
  }
}

}  // namespace
}  // namespace tessary::testing
