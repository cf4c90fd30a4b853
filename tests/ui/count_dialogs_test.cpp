// The Set Number, Insert and Delete dialogs, answered as a user would.

#include "tests/ui/editor_fixture.h"

namespace tessary::uitest {
namespace {

using CountDialogs = EditorTest;

struct Seen {
  std::string caption;
  std::string label;
  std::string initial;
};

// How the person closes the dialog: a click on OK (the field loses the focus
// and commits first), Return in the field (the dialog manager presses OK
// without the field losing the focus), a click on Cancel, or Escape.
enum class Finish { ClickOk, ReturnKey, ClickCancel, EscapeKey };

// An answer that notes what the dialog showed, types `typed` (when given)
// and closes the dialog the given way.
std::function<void(HWND)> Answer(Seen* seen, const char* typed, Finish how = Finish::ClickOk) {
  return [seen, typed, how](HWND d) {
    seen->caption = hl::Text(d);
    for (HWND child = GetWindow(d, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (GetDlgCtrlID(child) == -1 || GetDlgCtrlID(child) == 0xFFFF) seen->label = hl::Text(child);
    }
    seen->initial = hl::Text(GetDlgItem(d, IDC_COUNT_EDIT));
    if (typed) ht::TypeInEdit(GetDlgItem(d, IDC_COUNT_EDIT), typed, false);
    switch (how) {
      case Finish::ClickOk: hl::ClickDlgButton(d, IDOK); break;
      case Finish::ReturnKey: hl::PressKey(VK_RETURN); break;
      case Finish::ClickCancel: hl::ClickDlgButton(d, IDCANCEL); break;
      case Finish::EscapeKey: hl::PressKey(VK_ESCAPE); break;
    }
  };
}

TEST_F(CountDialogs, SetNumber) {
  struct Case {
    int layers;
    const char* typed;
    Finish how;
    int expect;
  };
  const Case cases[] = {
      {3, "5", Finish::ClickOk, 5},         {3, nullptr, Finish::ClickOk, 3},
      {4, "1", Finish::ClickOk, 2},  // the spinner stops at 2
      {3, "5000", Finish::ClickOk, 1000},   {3, "9", Finish::ClickCancel, 3},
      {8, "2", Finish::ClickOk, 2},         {3, "6", Finish::ReturnKey, 6},
      {3, "7", Finish::EscapeKey, 3},       {5, "x", Finish::ReturnKey, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.typed ? c.typed : "(nothing)") << " close " << static_cast<int>(c.how));
    Open(c.layers);
    Seen seen;
    hl::AnswerNextDialog(Answer(&seen, c.typed, c.how));
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
    EXPECT_EQ(seen.caption, "Set Number of Maps");
    EXPECT_EQ(seen.label, "Number of Maps:");
    EXPECT_EQ(seen.initial, std::to_string(c.layers));
    EXPECT_EQ(map->LayerCount(), c.expect);
    EXPECT_EQ(Text(Item(IDC_NUM_LAYERS)), std::to_string(c.expect));
    Close();
    delete params;
    params = nullptr;
  }
}

// A stack past the spinner's usual 1000 keeps its layers when the dialog is
// answered with the value it shows.
TEST_F(CountDialogs, SetNumberOnALargeStackKeepsItsLayers) {
  Open(1200);
  Seen seen;
  hl::AnswerNextDialog(Answer(&seen, nullptr));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
  EXPECT_EQ(seen.initial, "1200");
  EXPECT_EQ(map->LayerCount(), 1200);
  hl::AnswerNextDialog(Answer(&seen, "1500"));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
  EXPECT_EQ(map->LayerCount(), 1200);  // no more than it had
  hl::AnswerNextDialog(Answer(&seen, "700"));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
  EXPECT_EQ(map->LayerCount(), 700);
}

TEST_F(CountDialogs, InsertBefore) {
  struct Case {
    const char* typed;
    Finish how;
    std::vector<int> expect;  // former layer at each position, -1 for a new one
  };
  const Case cases[] = {
      {"2", Finish::ClickOk, {0, 1, -1, 2, 3}},
      {"1", Finish::ClickOk, {0, -1, 1, 2, 3}},
      {"3", Finish::ReturnKey, {0, 1, 2, -1, 3}},
      {"4", Finish::ClickOk, {0, 1, 2, 3}},      // at N: nothing
      {"0", Finish::ClickOk, {0, -1, 1, 2, 3}},  // typed 0 is clamped to 1
      {"2", Finish::ClickCancel, {0, 1, 2, 3}},
      {"900", Finish::ClickOk, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Open(4);
    TagLayers();
    Seen seen;
    hl::AnswerNextDialog(Answer(&seen, c.typed, c.how));
    hl::SetKeyDown(VK_CONTROL, true);
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_ADD_LAYER));
    hl::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(seen.caption, "Insert Map");
    EXPECT_EQ(seen.label, "Insert before:");
    EXPECT_EQ(seen.initial, "1");
    std::vector<int> got = Tags();
    for (int& t : got)
      if (t == 90) t = -1;  // a default layer has opacity 100
    EXPECT_EQ(got, c.expect);
    EXPECT_EQ(Text(Item(IDC_NUM_LAYERS)), std::to_string(c.expect.size()));
    Close();
    delete params;
    params = nullptr;
  }
}

TEST_F(CountDialogs, DeleteLayer) {
  struct Case {
    int layers;
    const char* typed;
    Finish how;
    std::string initial;
    std::vector<int> expect;
  };
  const Case cases[] = {
      {4, "1", Finish::ClickOk, "3", {0, 2, 3}},
      {4, nullptr, Finish::ClickOk, "3", {0, 1, 2}},  // the top layer is offered
      {4, "2", Finish::ClickCancel, "3", {0, 1, 2, 3}},
      {4, "0", Finish::ClickOk, "3", {0, 2, 3}},  // typed 0 is clamped to 1
      {4, "7", Finish::ReturnKey, "3", {0, 1, 2}},  // clamped to N - 1
      {1, "1", Finish::ClickOk, "1", {0}},  // nothing can go: the minimum wins
      {2, nullptr, Finish::ReturnKey, "1", {0}},
      {4, "2", Finish::ReturnKey, "3", {0, 1, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.layers << " " << (c.typed ? c.typed : "-"));
    Open(c.layers);
    TagLayers();
    Seen seen;
    hl::AnswerNextDialog(Answer(&seen, c.typed, c.how));
    hl::SetKeyDown(VK_CONTROL, true);
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_DELETE_LAYER));
    hl::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(seen.caption, "Delete Map");
    EXPECT_EQ(seen.label, "Number of delete map:");
    EXPECT_EQ(seen.initial, c.initial);
    EXPECT_EQ(Tags(), c.expect);
    Close();
    delete params;
    params = nullptr;
  }
}

TEST_F(CountDialogs, ClosedDialogsChangeNothing) {
  Open(4);
  TagLayers();
  struct Case {
    int button;
    Finish how;
    const char* caption;
  };
  const Case cases[] = {{IDC_SET_NUMBER, Finish::EscapeKey, "Set Number of Maps"},
                        {IDC_ADD_LAYER, Finish::ClickCancel, "Insert Map"},
                        {IDC_DELETE_LAYER, Finish::EscapeKey, "Delete Map"}};
  for (const Case& c : cases) {
    Seen seen;
    hl::AnswerNextDialog(Answer(&seen, "2", c.how));
    hl::SetKeyDown(VK_CONTROL, c.button != IDC_SET_NUMBER);
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), c.button));
    EXPECT_EQ(seen.caption, c.caption);
  }
  hl::SetKeyDown(VK_CONTROL, false);
  EXPECT_EQ(hl::PendingAnswers(), 0u);
  EXPECT_EQ(Tags(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(params->mtlChanged, 0);
}

}  // namespace
}  // namespace tessary::uitest
