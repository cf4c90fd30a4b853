#include "host/sdk/hold.h"

#include <utility>

namespace tessary::host {

Hold theHold;

namespace {
MacroRecorder theMacroRecorder;
}  // namespace
MacroRecorder* macroRecorder = &theMacroRecorder;

Hold::~Hold() = default;

void Hold::Begin() {
  ++begins_;
  ++depth_;
}

void Hold::Put(RestoreObj* rec) {
  if (!rec) return;
  std::unique_ptr<RestoreObj> owned(rec);
  if (depth_ > 0) open_.push_back(std::move(owned));
}

void Hold::Accept(const char* label) {
  if (depth_ == 0) return;
  ++accepts_;
  if (--depth_ > 0) return;
  steps_.push_back(Step{label ? label : "", std::move(open_)});
  open_.clear();
  if (static_cast<int>(steps_.size()) > kMaxUndoSteps) steps_.erase(steps_.begin());
}

void Hold::Cancel() {
  if (depth_ == 0) return;
  ++cancels_;
  if (--depth_ > 0) return;
  for (auto it = open_.rbegin(); it != open_.rend(); ++it) (*it)->Restore(1);
  open_.clear();
}

bool Hold::Undo() {
  if (depth_ > 0 || steps_.empty()) return false;
  Step step = std::move(steps_.back());
  steps_.pop_back();
  for (auto it = step.records.rbegin(); it != step.records.rend(); ++it) (*it)->Restore(1);
  return true;
}

std::vector<std::string> Hold::AcceptedLabels() const {
  std::vector<std::string> labels;
  labels.reserve(steps_.size());
  for (const Step& s : steps_) labels.push_back(s.label);
  return labels;
}

void Hold::Reset() {
  depth_ = 0;
  open_.clear();
  steps_.clear();
  begins_ = accepts_ = cancels_ = 0;
}

bool MacroRecorder::Record(const std::string& line) {
  if (!Enabled()) return false;
  ++count_;
  records_.push_back(line);
  if (static_cast<int>(records_.size()) > kMaxRecords) records_.erase(records_.begin());
  return true;
}

void MacroRecorder::Reset() {
  disabled_ = 0;
  count_ = 0;
  records_.clear();
}

}  // namespace tessary::host
