#include "host/sdk/interval.h"

#include <gtest/gtest.h>

namespace tessary::host {
namespace {

constexpr TimeValue kMin = TIME_NegInfinity;
constexpr TimeValue kMax = TIME_PosInfinity;

TEST(Interval, NamedIntervalsHaveTheHostsBitPatterns) {
  EXPECT_EQ(static_cast<unsigned>(NEVER.Start()), 0x80000000u);
  EXPECT_EQ(static_cast<unsigned>(NEVER.End()), 0x80000000u);
  EXPECT_EQ(static_cast<unsigned>(FOREVER.Start()), 0x80000000u);
  EXPECT_EQ(static_cast<unsigned>(FOREVER.End()), 0x7FFFFFFFu);
  EXPECT_EQ(Interval(), NEVER);
  Interval i(3, 4);
  i.SetInfinite();
  EXPECT_EQ(i, FOREVER);
  i.SetEmpty();
  EXPECT_EQ(i, NEVER);
}

TEST(Interval, Contains) {
  struct Case {
    Interval iv;
    TimeValue t;
    bool inside;
  };
  const Case cases[] = {
      {FOREVER, 0, true},       {FOREVER, kMin, true},   {FOREVER, kMax, true},
      {NEVER, kMin, false},     {NEVER, 0, false},       {Interval(0, 160), 0, true},
      {Interval(0, 160), 160, true}, {Interval(0, 160), 161, false}, {Interval(0, 160), -1, false},
      {Interval(5, 5), 5, true}, {Interval(10, 0), 5, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.iv.InInterval(c.t), c.inside) << c.iv.Start() << ".." << c.iv.End() << " t=" << c.t;
  }
}

TEST(Interval, Intersection) {
  struct Case {
    Interval a;
    Interval b;
    Interval expected;
  };
  const Case cases[] = {
      {FOREVER, FOREVER, FOREVER},
      {FOREVER, Interval(0, 100), Interval(0, 100)},
      {Interval(0, 100), Interval(50, 200), Interval(50, 100)},
      {Interval(0, 100), Interval(100, 200), Interval(100, 100)},
      {Interval(0, 100), Interval(101, 200), NEVER},
      {NEVER, FOREVER, NEVER},
      {FOREVER, NEVER, NEVER},
      {NEVER, NEVER, NEVER},
      {Interval(-50, -10), Interval(kMin, -20), Interval(-50, -20)},
  };
  for (const Case& c : cases) {
    Interval x = c.a;
    x &= c.b;
    EXPECT_EQ(x, c.expected) << c.a.Start() << ".." << c.a.End() << " & " << c.b.Start() << ".." << c.b.End();
    EXPECT_EQ(c.b & c.a, c.expected);
    EXPECT_EQ(x.Empty(), c.expected.Empty());
  }
}

TEST(Interval, EmptyOnlyForNeverAndReversed) {
  EXPECT_TRUE(NEVER.Empty());
  EXPECT_TRUE(Interval(3, 2).Empty());
  EXPECT_FALSE(FOREVER.Empty());
  EXPECT_FALSE(Interval(kMin, kMin + 1).Empty());
  EXPECT_FALSE(Interval(7, 7).Empty());
}

}  // namespace
}  // namespace tessary::host
