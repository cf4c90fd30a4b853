// The Layers rollout driven as a user would: layouts, scrolling, commands,
// layer numbers, opacity and colour.

#include "tests/ui/editor_fixture.h"

namespace tessary::uitest {
namespace {

using LayersPanel = EditorTest;

constexpr int kRowFirstIds[] = {IDC_ROW_FRAME0,    IDC_LAYER_NUMBER0, IDC_USE_LAYER0,   IDC_OPACITY_EDIT0,
                                IDC_OPACITY_SPIN0, IDC_LAYER_COLOR0,  IDC_MODE_LIST0,   IDC_MAP_ON0,
                                IDC_MASK_ON0};

TEST_F(LayersPanel, LayoutAndScrollBarFollowTheLayerCount) {
  struct Case {
    int layers;
    int first;
    int shownRows;
    bool barEnabled;
    int barMax;
    int expectFirst;
  };
  const Case cases[] = {
      // Fewer layers than rows ask for a reversed range (0 .. N - 6), which
      // Windows does not keep: it becomes 0 .. 0.
      {1, 0, 1, false, 0, 0},  {6, 0, 6, false, 0, 0},  {7, 0, 6, true, 1, 0},
      {12, 4, 6, true, 6, 4},  {12, 10, 6, true, 6, 6}, {3, 2, 3, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "N=" << c.layers << " F=" << c.first);
    Open(c.layers, c.first);
    EXPECT_EQ(map->firstVisibleLayer, c.expectFirst);
    EXPECT_EQ(Text(Item(IDC_NUM_LAYERS)), std::to_string(c.layers));
    HWND bar = Item(IDC_LAYER_SCROLL);
    EXPECT_EQ(Enabled(bar), c.barEnabled);
    int lo = 99, hi = 99;
    GetScrollRange(bar, SB_CTL, &lo, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, c.barMax);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), c.expectFirst);
    for (int r = 0; r < kVisibleRows; ++r) {
      const bool shown = r < c.shownRows;
      for (int first : kRowFirstIds) {
        const bool baseHidden = c.expectFirst == 0 && r == 0 &&
                                (first == IDC_USE_LAYER0 || first == IDC_OPACITY_EDIT0 ||
                                 first == IDC_OPACITY_SPIN0 || first == IDC_MODE_LIST0);
        EXPECT_EQ(Visible(Row(first, r)), shown && !baseHidden) << "row " << r << " control " << first;
      }
      EXPECT_EQ(Visible(MapButton(r)), shown);
      EXPECT_EQ(Visible(MaskButton(r)), shown);
      if (shown) {
        EXPECT_EQ(RowNumber(r), r + c.expectFirst == 0 ? "B:" : std::to_string(r + c.expectFirst));
      }
    }
    EXPECT_EQ(Enabled(Row(IDC_LAYER_NUMBER0, 0)), c.expectFirst != 0);
    Close();
    delete params;
    params = nullptr;
  }
}

TEST_F(LayersPanel, BaseRowStaysUsableAfterShowingAnUnusedLayer) {
  Open(8, 1);
  // Layer 1 in row 0 is switched off, so row 0's controls go grey ...
  ASSERT_TRUE(hl::ClickButton(Row(IDC_USE_LAYER0, 0)));
  EXPECT_EQ(map->layerUsed[1], 0);
  for (int first : {IDC_MAP_ON0, IDC_MASK_ON0, IDC_LAYER_COLOR0, IDC_OPACITY_EDIT0, IDC_MODE_LIST0})
    EXPECT_FALSE(Enabled(Row(first, 0))) << first;
  EXPECT_FALSE(Enabled(MapButton(0)));
  EXPECT_TRUE(Enabled(Row(IDC_LAYER_NUMBER0, 0)));
  EXPECT_TRUE(Enabled(Row(IDC_USE_LAYER0, 0)));
  // ... and the base layer scrolled into that row has them back.
  ASSERT_TRUE(hl::ScrollAction(Item(IDC_LAYER_SCROLL), SB_LINEUP, 0));
  EXPECT_EQ(RowNumber(0), "B:");
  for (int first : {IDC_MAP_ON0, IDC_MASK_ON0, IDC_LAYER_COLOR0})
    EXPECT_TRUE(Enabled(Row(first, 0))) << first;
  EXPECT_TRUE(Enabled(MapButton(0)));
  EXPECT_TRUE(Enabled(MaskButton(0)));
  EXPECT_FALSE(Visible(Row(IDC_USE_LAYER0, 0)));
}

TEST_F(LayersPanel, ScrollCodesMoveAndClampTheWindow) {
  struct Case {
    int layers;
    int first;
    int code;
    int thumb;
    int expect;
  };
  const Case cases[] = {
      {12, 3, SB_LINEUP, 0, 2},       {12, 0, SB_LINEUP, 0, 0},       {12, 5, SB_LINEDOWN, 0, 6},
      {12, 6, SB_LINEDOWN, 0, 6},     {12, 5, SB_PAGEDOWN, 0, 6},     {20, 3, SB_PAGEDOWN, 0, 9},
      {12, 3, SB_PAGEUP, 0, 0},       {20, 9, SB_PAGEUP, 0, 3},       {12, 1, SB_THUMBPOSITION, 4, 4},
      {12, 1, SB_THUMBTRACK, 100, 6}, {12, 5, SB_THUMBTRACK, -1, 0}, {12, 2, SB_ENDSCROLL, 5, 2},
      {12, 2, SB_TOP, 5, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "N=" << c.layers << " F=" << c.first << " code " << c.code);
    Open(c.layers, c.first);
    ASSERT_TRUE(hl::ScrollAction(Item(IDC_LAYER_SCROLL), c.code, c.thumb));
    EXPECT_EQ(map->firstVisibleLayer, c.expect);
    EXPECT_EQ(GetScrollPos(Item(IDC_LAYER_SCROLL), SB_CTL), c.expect);
    EXPECT_EQ(RowNumber(0), c.expect == 0 ? "B:" : std::to_string(c.expect));
    EXPECT_EQ(RowNumber(5), std::to_string(c.expect + 5));
    Close();
    delete params;
    params = nullptr;
  }
}

TEST_F(LayersPanel, AddAndDeleteWithoutCtrl) {
  Open(1);
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_DELETE_LAYER));
  EXPECT_EQ(map->LayerCount(), 1);
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_ADD_LAYER));
  EXPECT_EQ(map->LayerCount(), 8);
  EXPECT_EQ(Text(Item(IDC_NUM_LAYERS)), "8");
  EXPECT_TRUE(Enabled(Item(IDC_LAYER_SCROLL)));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_DELETE_LAYER));
  EXPECT_EQ(map->LayerCount(), 7);
  EXPECT_EQ(params->mtlChanged, 0);
}

// Add stops at the most layers a map holds: nothing changes there.
TEST_F(LayersPanel, AddWithoutCtrlStopsAtTheMostLayers) {
  Open(kMaxLayers);
  TagLayers();
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_ADD_LAYER));
  EXPECT_EQ(map->LayerCount(), kMaxLayers);
  EXPECT_EQ(map->pblock->Count(params::kMapList), host::kMaxParamTabCount);
  EXPECT_EQ(Text(Item(IDC_NUM_LAYERS)), std::to_string(kMaxLayers));
  EXPECT_EQ(map->opacity[kMaxLayers - 1], static_cast<float>(10 + kMaxLayers - 1));
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_DELETE_LAYER));
  EXPECT_EQ(map->LayerCount(), kMaxLayers - 1);
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_ADD_LAYER));
  EXPECT_EQ(map->LayerCount(), kMaxLayers);
}

TEST_F(LayersPanel, ModeListsHoldTheModesInOrder) {
  Open(2);
  HWND list = Row(IDC_MODE_LIST0, 1);
  ASSERT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 34);
  char text[64];
  SendMessageA(list, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "Normal");
  SendMessageA(list, CB_GETLBTEXT, 33, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "Exact Difference");
  SendMessageA(list, CB_GETLBTEXT, 19, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "Soft burn");
  ASSERT_TRUE(hl::PickComboItem(list, 12));
  EXPECT_EQ(map->blendMode[1], 12);
  EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 12);
  // The editor hears of it (its samples are drawn again).
  EXPECT_EQ(params->mtlChanged, 1);
}

TEST_F(LayersPanel, CheckBoxesWriteTheirLayer) {
  struct Case {
    int firstId;
    host::Tab<int> Quilbo::*table;
  };
  const Case cases[] = {{IDC_MAP_ON0, &Quilbo::mapOn}, {IDC_MASK_ON0, &Quilbo::maskOn}, {IDC_USE_LAYER0, &Quilbo::layerUsed}};
  Open(9, 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firstId);
    const int changed = params->mtlChanged;
    ASSERT_TRUE(hl::ClickButton(Row(c.firstId, 2)));
    EXPECT_EQ((map->*c.table)[5], 0);
    EXPECT_EQ((map->*c.table)[4], 1);
    EXPECT_EQ(IsDlgButtonChecked(Layers(), c.firstId + 2), BST_UNCHECKED);
    ASSERT_TRUE(hl::ClickButton(Row(c.firstId, 2)));
    EXPECT_EQ((map->*c.table)[5], 1);
    EXPECT_EQ(params->mtlChanged, changed + 2);
  }
  // Map off greys the map button only; use off greys the whole row but the number.
  ASSERT_TRUE(hl::ClickButton(Row(IDC_MAP_ON0, 1)));
  EXPECT_FALSE(Enabled(MapButton(1)));
  EXPECT_TRUE(Enabled(MaskButton(1)));
  ASSERT_TRUE(hl::ClickButton(Row(IDC_USE_LAYER0, 1)));
  for (int first : {IDC_MAP_ON0, IDC_MASK_ON0, IDC_OPACITY_EDIT0, IDC_OPACITY_SPIN0, IDC_LAYER_COLOR0, IDC_MODE_LIST0})
    EXPECT_FALSE(Enabled(Row(first, 1))) << first;
  EXPECT_FALSE(Enabled(MaskButton(1)));
  EXPECT_TRUE(Enabled(Row(IDC_LAYER_NUMBER0, 1)));
  EXPECT_TRUE(Enabled(Row(IDC_USE_LAYER0, 1)));
  EXPECT_TRUE(Visible(Row(IDC_ROW_FRAME0, 1)));
}

TEST_F(LayersPanel, ButtonsPostTheirSubMapIndexToTheEditor) {
  struct Case {
    int first;
    int button;  // 0..11, map and mask interleaved
    WPARAM index;
  };
  const Case cases[] = {{4, 3, 11}, {0, 0, 0}, {2, 5, 9}, {6, 10, 22}};
  for (const Case& c : cases) {
    Open(12, c.first);
    EditorMessages().clear();
    ASSERT_TRUE(hl::ClickButton(Item(IDC_MAP_BUTTON0 + c.button)));
    hl::Pump();
    ASSERT_EQ(EditorMessages().size(), 1u);
    EXPECT_EQ(EditorMessages()[0].msg, 0x4402u);
    EXPECT_EQ(EditorMessages()[0].wParam, c.index);
    EXPECT_EQ(EditorMessages()[0].lParam, reinterpret_cast<LPARAM>(map));
    Close();
    delete params;
    params = nullptr;
  }
}

TEST_F(LayersPanel, LayerNumberSwapsTheRowWithThatLayer) {
  struct Case {
    const char* typed;
    int row;
    std::vector<int> expect;
  };
  const Case cases[] = {
      {"4", 2, {0, 1, 4, 3, 2}},
      {"1", 3, {0, 3, 2, 1, 4}},
      {"7", 2, {0, 1, 2, 3, 4}},            // no such layer
      {"-1", 2, {0, 1, 2, 3, 4}},
      {"abc", 2, {2, 1, 0, 3, 4}},          // no number: the base
      {"0", 4, {4, 1, 2, 3, 0}},
      {"99999999999", 2, {0, 1, 2, 3, 4}},  // past int: no such layer either
      {"-99999999999", 2, {0, 1, 2, 3, 4}},
      {"4294967296", 2, {0, 1, 2, 3, 4}},   // not read modulo 2^32
      {"3abc", 1, {0, 3, 2, 1, 4}},
      {"  2", 1, {0, 2, 1, 3, 4}},
      {"3333333333333333333333333333", 1, {0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Open(5);
    TagLayers();
    const int changed = params->mtlChanged;
    ASSERT_TRUE(TypeIn(Layers(), IDC_LAYER_NUMBER0 + c.row, c.typed));
    EXPECT_EQ(Tags(), c.expect);
    EXPECT_EQ(RowNumber(c.row), std::to_string(c.row));
    EXPECT_EQ(params->mtlChanged, changed + 1);
    Close();
    delete params;
    params = nullptr;
  }
}

TEST_F(LayersPanel, LayerNumberOfAScrolledRow) {
  Open(10, 4);
  TagLayers();
  ASSERT_TRUE(TypeIn(Layers(), IDC_LAYER_NUMBER0 + 1, "9"));
  EXPECT_EQ(Tags(), (std::vector<int>{0, 1, 2, 3, 4, 9, 6, 7, 8, 5}));
  EXPECT_EQ(RowNumber(1), "5");
}

TEST_F(LayersPanel, OpacityIsTakenOnReleaseAndEnter) {
  Open(3);
  const int changed = params->mtlChanged;
  ASSERT_TRUE(TypeIn(Layers(), IDC_OPACITY_EDIT0 + 1, "40"));
  EXPECT_FLOAT_EQ(map->opacity[1], 40.0f);
  ASSERT_TRUE(TypeIn(Layers(), IDC_OPACITY_EDIT0 + 2, "250"));  // the spinner stops at 100
  EXPECT_FLOAT_EQ(map->opacity[2], 100.0f);
  EXPECT_EQ(params->mtlChanged, changed + 2);

  HWND spin = Row(IDC_OPACITY_SPIN0, 1);
  ASSERT_TRUE(ht::DragSpinner(spin, -50));
  EXPECT_FLOAT_EQ(map->opacity[1], 40.0f);  // not while dragging
  ASSERT_TRUE(ht::ReleaseSpinner(spin));
  EXPECT_FLOAT_EQ(map->opacity[1], SpinnerValue(Layers(), IDC_OPACITY_SPIN0 + 1));
  EXPECT_LT(map->opacity[1], 40.0f);
  ASSERT_TRUE(ht::ResetSpinner(spin));
  EXPECT_FLOAT_EQ(map->opacity[1], 100.0f);
}

TEST_F(LayersPanel, OnlyTheFinalColourChangeMakesAnUndoStep) {
  Open(8, 2);
  HWND swatch = Row(IDC_LAYER_COLOR0, 1);
  const int changed = params->mtlChanged;
  // Colours tried in the picker reach the layer at once, without undo.
  bool triedReachedTheLayer = false;
  host::SetColorPicker([&](HWND, COLORREF& color, const std::function<void(COLORREF)>& interim) {
    interim(RGB(255, 0, 0));
    interim(RGB(0, 255, 0));
    triedReachedTheLayer = map->layerColor[3].g == 1.0f && host::theHold.BeginCount() == 0 &&
                           params->mtlChanged == changed;
    color = RGB(0, 0, 51);
    return true;
  });
  ASSERT_TRUE(hl::ClickButton(swatch));
  host::SetColorPicker(nullptr);
  EXPECT_TRUE(triedReachedTheLayer);
  EXPECT_EQ(host::theHold.BeginCount(), 1);
  EXPECT_EQ(host::theHold.AcceptCount(), 1);
  EXPECT_EQ(host::theHold.AcceptedLabels(), std::vector<std::string>{"Param Change"});
  EXPECT_EQ(params->mtlChanged, changed + 1);
  EXPECT_FLOAT_EQ(map->layerColor[3].r, 0.0f);
  EXPECT_FLOAT_EQ(map->layerColor[3].b, 51.0f / 255.0f);
  EXPECT_FLOAT_EQ(map->layerColor[2].r, 0.5f);  // other layers untouched
  // Cancelled after trying one: the colour goes back, still one undo step.
  ASSERT_TRUE(ht::PickColors(swatch, {RGB(9, 9, 9)}, std::nullopt));
  EXPECT_FLOAT_EQ(map->layerColor[3].b, 51.0f / 255.0f);
  EXPECT_EQ(host::theHold.AcceptCount(), 1);
}

TEST_F(LayersPanel, TabbingThroughAModeListWithoutSelectionKeepsTheMode) {
  map->SetNumLayers(3);
  map->blendMode[1] = 40;  // outside the table: the list shows no selection
  Open(3);
  HWND list = Row(IDC_MODE_LIST0, 1);
  EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), CB_ERR);
  // Focus, opening and closing without a pick leave the mode alone.
  hl::Focus(list);
  for (int code : {CBN_DROPDOWN, CBN_CLOSEUP, CBN_SELENDCANCEL, CBN_KILLFOCUS})
    SendMessageA(Layers(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDC_MODE_LIST0 + 1), static_cast<WORD>(code)),
                 reinterpret_cast<LPARAM>(list));
  hl::Focus(Row(IDC_OPACITY_EDIT0, 1));
  EXPECT_EQ(map->blendMode[1], 40);
  // A pick sets it.
  ASSERT_TRUE(hl::PickComboItem(list, 3));
  EXPECT_EQ(map->blendMode[1], 3);
}

TEST_F(LayersPanel, SwatchesShowTheLayerColours) {
  map->SetNumLayers(3);
  map->layerColor[2] = host::Color(1.0f, 0.2f, 0.0f);
  Open(3);
  host::IColorSwatch* s = host::GetIColorSwatch(Row(IDC_LAYER_COLOR0, 2));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetColor(), RGB(255, 51, 0));
  host::ReleaseIColorSwatch(s);
}

}  // namespace
}  // namespace tessary::uitest
