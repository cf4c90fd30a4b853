#pragma once
// Counts heap allocations (every replaceable operator new) made on the
// calling thread while a counter is alive. A test binary that uses it links
// tests/support/allocation_counter.cpp, which replaces the global operators.

namespace tessary::testing {

class AllocationCounter {
 public:
  AllocationCounter();  // starts at 0; counters do not nest
  ~AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  int Count() const { return count_; }

 private:
  int count_ = 0;
};

}  // namespace tessary::testing
