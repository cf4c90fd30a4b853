#pragma once
// The host's basic identifier and result types: times, class identities,
// parameter and block IDs, reference results and messages, part masks and
// the stream result codes.

#include <cstdint>
#include <string>

namespace tessary::host {

// Time in the host's ticks.
using TimeValue = int;

// A class identity: two unsigned 32-bit parts. Ordered by the first part,
// then the second, so it can key ordered containers.
class Class_ID {
 public:
  constexpr Class_ID() = default;
  constexpr Class_ID(std::uint32_t a, std::uint32_t b) : a_(a), b_(b) {}
  constexpr std::uint32_t PartA() const { return a_; }
  constexpr std::uint32_t PartB() const { return b_; }
  friend constexpr bool operator==(const Class_ID&, const Class_ID&) = default;
  friend constexpr bool operator<(const Class_ID& x, const Class_ID& y) {
    return x.a_ < y.a_ || (x.a_ == y.a_ && x.b_ < y.b_);
  }

 private:
  std::uint32_t a_ = 0;
  std::uint32_t b_ = 0;
};

// Super class identity: the kind of plug-in (texture map, parameter block...).
using SClass_ID = std::uint32_t;
inline constexpr SClass_ID TEXMAP_CLASS_ID = 0xC10;
inline constexpr SClass_ID PARAMETER_BLOCK2_CLASS_ID = 0x82;
inline constexpr SClass_ID REF_MAKER_CLASS_ID = 0x100;
inline constexpr SClass_ID REF_TARGET_CLASS_ID = 0x101;

using ParamID = short;
using BlockID = short;

// Answer of a reference maker to a notification.
enum RefResult : int {
  REF_FAIL = 0,
  REF_SUCCEED = 1,
  REF_DONTCARE = 2,
  REF_STOP = 3,
};

// Notification message codes.
using RefMessage = std::uint32_t;
inline constexpr RefMessage REFMSG_CHANGE = 0x50;
inline constexpr RefMessage REFMSG_TARGET_DELETED = 0x40;
inline constexpr RefMessage REFMSG_SUBANIM_STRUCTURE_CHANGED = 0xF2;
inline constexpr RefMessage REFMSG_GET_PARAM_NAME = 0xFB;
inline constexpr RefMessage REFMSG_GET_PARAM_DIM = 0xFC;

// Which parts of an object a change concerns; a bit mask. For some messages
// the value passed by reference is a pointer to a record instead (see the
// message's documentation), which is why it is pointer-sized.
using PartID = std::uintptr_t;
inline constexpr PartID PART_ALL = 0x800037FF;

// The "every super class" filter of NotifyDependents.
inline constexpr SClass_ID NOTIFY_ALL = 0xFFFFFFF0;

// Record that REFMSG_GET_PARAM_NAME points to through its PartID: the
// receiver fills name for the parameter index.
struct GetParamName {
  std::string& name;
  int index;
};

// Result of stream operations and of Save / Load.
enum IOResult : int {
  IO_OK = 0,
  IO_END = 1,
  IO_ERROR = 2,
};

using MSTR = std::string;

}  // namespace tessary::host
