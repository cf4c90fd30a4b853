#pragma once
// The host's undo hold and macro recorder.

#include <memory>
#include <string>
#include <vector>

namespace tessary::host {

// One undoable change.
class RestoreObj {
 public:
  virtual ~RestoreObj() = default;
  // Puts the state back as it was before the change.
  virtual void Restore(int isUndo) = 0;
  // Re-applies the change.
  virtual void Redo() = 0;
};

// The undo hold. Begin / Accept pairs nest; the outermost Accept makes one
// undo step of everything Put since the outermost Begin, labelled. Cancel
// restores (newest first) and discards it. At most kMaxUndoSteps steps are
// kept; older ones are dropped.
class Hold {
 public:
  static constexpr int kMaxUndoSteps = 64;

  Hold() = default;
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  ~Hold();

  void Begin();
  // Takes ownership of rec. Outside a hold the record is deleted at once.
  void Put(RestoreObj* rec);
  void Accept(const char* label);
  void Cancel();
  // Non-zero while a hold is open.
  int Holding() const { return depth_; }

  // Undoes the newest accepted step (restoring newest first); false when
  // there is none.
  bool Undo();

  // What tests and programs read.
  int BeginCount() const { return begins_; }
  int AcceptCount() const { return accepts_; }
  int CancelCount() const { return cancels_; }
  // Labels of accepted steps, oldest first (kept steps only).
  std::vector<std::string> AcceptedLabels() const;
  int NumUndoSteps() const { return static_cast<int>(steps_.size()); }
  // Forgets every step, open records and counter.
  void Reset();

 private:
  struct Step {
    std::string label;
    std::vector<std::unique_ptr<RestoreObj>> records;
  };
  int depth_ = 0;
  std::vector<std::unique_ptr<RestoreObj>> open_;
  std::vector<Step> steps_;
  int begins_ = 0;
  int accepts_ = 0;
  int cancels_ = 0;
};

extern Hold theHold;

// The macro recorder: while enabled, changes made through the host's
// interfaces (parameter blocks) are recorded as script lines. Disable and
// Enable nest: the recorder is on when every Disable was matched by an
// Enable.
class MacroRecorder {
 public:
  static constexpr int kMaxRecords = 4096;

  void Disable() { ++disabled_; }
  void Enable() {
    if (disabled_ > 0) --disabled_;
  }
  bool Enabled() const { return disabled_ == 0; }

  // Records one operation when enabled; returns whether it was recorded.
  // Beyond kMaxRecords the oldest records are dropped (the count goes on).
  bool Record(const std::string& line);
  int RecordCount() const { return count_; }
  const std::vector<std::string>& Records() const { return records_; }
  // Forgets the records and the count, and turns the recorder on.
  void Reset();

 private:
  int disabled_ = 0;
  int count_ = 0;
  std::vector<std::string> records_;
};

extern MacroRecorder* macroRecorder;

}  // namespace tessary::host
