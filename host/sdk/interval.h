#pragma once
// The host's time interval: two 32-bit tick times, both ends included.
//
// The empty interval is (0x80000000, 0x80000000) (NEVER); the interval of
// all time is (0x80000000, 0x7FFFFFFF) (FOREVER). Any interval whose start is
// the smallest time and whose end is the smallest time too is empty; an
// interval whose end lies before its start contains nothing either.

#include <cstdint>
#include <limits>

#include "host/sdk/maxtypes.h"

namespace tessary::host {

inline constexpr TimeValue TIME_NegInfinity = std::numeric_limits<std::int32_t>::min();
inline constexpr TimeValue TIME_PosInfinity = std::numeric_limits<std::int32_t>::max();

class Interval {
 public:
  // A new interval is empty.
  constexpr Interval() = default;
  constexpr Interval(TimeValue start, TimeValue end) : start_(start), end_(end) {}

  constexpr TimeValue Start() const { return start_; }
  constexpr TimeValue End() const { return end_; }
  constexpr void SetEmpty() { start_ = end_ = TIME_NegInfinity; }
  constexpr void SetInfinite() {
    start_ = TIME_NegInfinity;
    end_ = TIME_PosInfinity;
  }

  // True for NEVER and for any interval that holds no time.
  constexpr bool Empty() const {
    return (start_ == TIME_NegInfinity && end_ == TIME_NegInfinity) || end_ < start_;
  }
  constexpr bool IsInfinite() const { return start_ == TIME_NegInfinity && end_ == TIME_PosInfinity; }

  // Whether t lies in the interval (ends included). Nothing lies in an
  // empty interval, not even the smallest time.
  constexpr bool InInterval(TimeValue t) const { return !Empty() && start_ <= t && t <= end_; }
  constexpr bool InInterval(const Interval& other) const {
    return !other.Empty() && InInterval(other.start_) && InInterval(other.end_);
  }

  // Intersection. Empty stays empty; intervals that do not overlap give
  // NEVER.
  constexpr Interval& operator&=(const Interval& other) {
    if (Empty() || other.Empty()) {
      SetEmpty();
      return *this;
    }
    const TimeValue s = start_ > other.start_ ? start_ : other.start_;
    const TimeValue e = end_ < other.end_ ? end_ : other.end_;
    if (e < s) {
      SetEmpty();
    } else {
      start_ = s;
      end_ = e;
    }
    return *this;
  }
  friend constexpr Interval operator&(Interval a, const Interval& b) { return a &= b; }

  friend constexpr bool operator==(const Interval&, const Interval&) = default;

 private:
  TimeValue start_ = TIME_NegInfinity;
  TimeValue end_ = TIME_NegInfinity;
};

inline constexpr Interval NEVER{TIME_NegInfinity, TIME_NegInfinity};
inline constexpr Interval FOREVER{TIME_NegInfinity, TIME_PosInfinity};

}  // namespace tessary::host
