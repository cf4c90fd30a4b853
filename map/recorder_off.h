#pragma once
// Changes the map makes to its own parameter block happen with the host's
// macro recorder switched off: it is off while a RecorderOff lives.

#include "host/sdk/hold.h"

namespace tessary {

class RecorderOff {
 public:
  RecorderOff() { host::macroRecorder->Disable(); }
  ~RecorderOff() { host::macroRecorder->Enable(); }
  RecorderOff(const RecorderOff&) = delete;
  RecorderOff& operator=(const RecorderOff&) = delete;
};

}  // namespace tessary
