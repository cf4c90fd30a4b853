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

// An answer that notes what the dialog showed, types `typed` (when given)
// and presses OK or Cancel.
hl::DialogAnswer Answer(Seen* seen, const char* typed, int button = IDOK) {
  return [seen, typed, button](HWND d) {
    char text[128] = {};
    GetWindowTextA(d, text, sizeof text);
    seen->caption = text;
    for (HWND child : hl::ChildWindows(d)) {
      if (GetDlgCtrlID(child) == -1 || GetDlgCtrlID(child) == 0xFFFF) {
        GetWindowTextA(child, text, sizeof text);
        seen->label = text;
      }
    }
    GetWindowTextA(GetDlgItem(d, IDC_COUNT_EDIT), text, sizeof text);
    seen->initial = text;
    if (typed) ht::TypeInEdit(GetDlgItem(d, IDC_COUNT_EDIT), typed);
    hl::ClickDlgButton(d, button);
  };
}

TEST_F(CountDialogs, SetNumber) {
  struct Case {
    int layers;
    const char* typed;
    int button;
    int expect;
  };
  const Case cases[] = {
      {3, "5", IDOK, 5},      {3, nullptr, IDOK, 3},      {4, "1", IDOK, 2},  // the spinner stops at 2
      {3, "5000", IDOK, 1000}, {3, "9", IDCANCEL, 3},     {8, "2", IDOK, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed ? c.typed : "(nothing)");
    Open(c.layers);
    Seen seen;
    hl::QueueDialogAnswer(Answer(&seen, c.typed, c.button));
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
    EXPECT_EQ(hl::ShownModalDialogs().back(), 192);
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
  hl::QueueDialogAnswer(Answer(&seen, nullptr));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
  EXPECT_EQ(seen.initial, "1200");
  EXPECT_EQ(map->LayerCount(), 1200);
  hl::QueueDialogAnswer(Answer(&seen, "1500"));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
  EXPECT_EQ(map->LayerCount(), 1200);  // no more than it had
  hl::QueueDialogAnswer(Answer(&seen, "700"));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_SET_NUMBER));
  EXPECT_EQ(map->LayerCount(), 700);
}

TEST_F(CountDialogs, InsertBefore) {
  struct Case {
    const char* typed;
    int button;
    std::vector<int> expect;  // former layer at each position, -1 for a new one
  };
  const Case cases[] = {
      {"2", IDOK, {0, 1, -1, 2, 3}},
      {"1", IDOK, {0, -1, 1, 2, 3}},
      {"3", IDOK, {0, 1, 2, -1, 3}},
      {"4", IDOK, {0, 1, 2, 3}},   // at N: nothing
      {"0", IDOK, {0, -1, 1, 2, 3}},  // typed 0 is clamped to 1
      {"2", IDCANCEL, {0, 1, 2, 3}},
      {"900", IDOK, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Open(4);
    TagLayers();
    Seen seen;
    hl::QueueDialogAnswer(Answer(&seen, c.typed, c.button));
    hl::SetKeyDown(VK_CONTROL, true);
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_ADD_LAYER));
    hl::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(hl::ShownModalDialogs().back(), 193);
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
    int button;
    std::string initial;
    std::vector<int> expect;
  };
  const Case cases[] = {
      {4, "1", IDOK, "3", {0, 2, 3}},
      {4, nullptr, IDOK, "3", {0, 1, 2}},   // the top layer is offered
      {4, "2", IDCANCEL, "3", {0, 1, 2, 3}},
      {4, "0", IDOK, "3", {0, 2, 3}},       // typed 0 is clamped to 1
      {4, "7", IDOK, "3", {0, 1, 2}},       // clamped to N - 1
      {1, "1", IDOK, "1", {0}},             // nothing can go: the minimum wins
      {2, nullptr, IDOK, "1", {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.layers << " " << (c.typed ? c.typed : "-"));
    Open(c.layers);
    TagLayers();
    Seen seen;
    hl::QueueDialogAnswer(Answer(&seen, c.typed, c.button));
    hl::SetKeyDown(VK_CONTROL, true);
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_DELETE_LAYER));
    hl::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(hl::ShownModalDialogs().back(), 194);
    EXPECT_EQ(seen.caption, "Delete Map");
    EXPECT_EQ(seen.label, "Number of delete map:");
    EXPECT_EQ(seen.initial, c.initial);
    EXPECT_EQ(Tags(), c.expect);
    Close();
    delete params;
    params = nullptr;
  }
}

TEST_F(CountDialogs, UnansweredDialogsChangeNothing) {
  Open(4);
  TagLayers();
  for (int button : {IDC_SET_NUMBER, IDC_ADD_LAYER, IDC_DELETE_LAYER}) {
    hl::SetKeyDown(VK_CONTROL, button != IDC_SET_NUMBER);
    ASSERT_TRUE(hl::ClickDlgButton(Layers(), button));
  }
  hl::SetKeyDown(VK_CONTROL, false);
  EXPECT_EQ(hl::ShownModalDialogs(), (std::vector<int>{192, 193, 194}));
  EXPECT_EQ(Tags(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(params->mtlChanged, 0);
}

}  // namespace
}  // namespace tessary::uitest
