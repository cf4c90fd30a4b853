#include "host/sdk/hold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessary::host {
namespace {

struct Rec : RestoreObj {
  Rec(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n)) {}
  ~Rec() override { log->push_back("free " + name); }
  void Restore(int) override { log->push_back("restore " + name); }
  void Redo() override { log->push_back("redo " + name); }
  std::vector<std::string>* log;
  std::string name;
};

class HoldTest : public ::testing::Test {
 protected:
  void SetUp() override { hold.Reset(); }
  Hold hold;
  std::vector<std::string> log;
};

TEST_F(HoldTest, AcceptMakesOneLabelledStepPerOutermostBegin) {
  hold.Begin();
  hold.Put(new Rec(&log, "a"));
  hold.Begin();
  hold.Put(new Rec(&log, "b"));
  hold.Accept("inner");
  EXPECT_EQ(hold.Holding(), 1);
  hold.Accept("Param Change");
  EXPECT_EQ(hold.Holding(), 0);
  EXPECT_EQ(hold.AcceptedLabels(), std::vector<std::string>{"Param Change"});
  EXPECT_EQ(hold.BeginCount(), 2);
  EXPECT_EQ(hold.AcceptCount(), 2);
  EXPECT_TRUE(hold.Undo());
  EXPECT_EQ(log, (std::vector<std::string>{"restore b", "restore a", "free a", "free b"}));
  EXPECT_FALSE(hold.Undo());
}

TEST_F(HoldTest, CancelRestoresNewestFirstAndKeepsNoStep) {
  hold.Begin();
  hold.Put(new Rec(&log, "a"));
  hold.Put(new Rec(&log, "b"));
  hold.Cancel();
  EXPECT_EQ(log, (std::vector<std::string>{"restore b", "restore a", "free a", "free b"}));
  EXPECT_EQ(hold.NumUndoSteps(), 0);
  EXPECT_EQ(hold.CancelCount(), 1);
}

TEST_F(HoldTest, RecordsOutsideAHoldAreFreedAndUnmatchedCallsAreHarmless) {
  hold.Put(new Rec(&log, "stray"));
  EXPECT_EQ(log, std::vector<std::string>{"free stray"});
  hold.Accept("nothing open");
  hold.Cancel();
  EXPECT_EQ(hold.AcceptCount(), 0);
  EXPECT_EQ(hold.NumUndoSteps(), 0);
}

TEST_F(HoldTest, KeepsABoundedNumberOfSteps) {
  for (int i = 0; i < Hold::kMaxUndoSteps + 5; ++i) {
    hold.Begin();
    hold.Accept(std::to_string(i).c_str());
  }
  const auto labels = hold.AcceptedLabels();
  ASSERT_EQ(static_cast<int>(labels.size()), Hold::kMaxUndoSteps);
  EXPECT_EQ(labels.front(), "5");
  EXPECT_EQ(hold.AcceptCount(), Hold::kMaxUndoSteps + 5);
}

TEST(MacroRecorder, DisableAndEnableNest) {
  MacroRecorder rec;
  struct Step {
    char op;  // d: Disable, e: Enable, r: Record
    bool enabledAfter;
    int countAfter;
  };
  const Step steps[] = {
      {'r', true, 1}, {'d', false, 1}, {'r', false, 1}, {'d', false, 1}, {'e', false, 1},
      {'r', false, 1}, {'e', true, 1}, {'r', true, 2}, {'e', true, 2},  // an extra Enable stays on
      {'r', true, 3},
  };
  int i = 0;
  for (const Step& s : steps) {
    if (s.op == 'd') rec.Disable();
    if (s.op == 'e') rec.Enable();
    if (s.op == 'r') rec.Record("line " + std::to_string(i));
    EXPECT_EQ(rec.Enabled(), s.enabledAfter) << "step " << i;
    EXPECT_EQ(rec.RecordCount(), s.countAfter) << "step " << i;
    ++i;
  }
  EXPECT_EQ(rec.Records(), (std::vector<std::string>{"line 0", "line 7", "line 9"}));
}

TEST(MacroRecorder, TheHostHasOneRecorder) {
  ASSERT_NE(macroRecorder, nullptr);
  macroRecorder->Reset();
  EXPECT_TRUE(macroRecorder->Enabled());
}

}  // namespace
}  // namespace tessary::host
