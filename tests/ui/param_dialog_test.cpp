// The parameter dialog's life: creation through the map, pages, re-targeting,
// reloads driven by the map's change handling, and deletion.

#include "tests/ui/editor_fixture.h"

namespace tessary::uitest {
namespace {

using ParamDialog = EditorTest;

TEST_F(ParamDialog, CreationAddsThreePagesAndLinksTheMap) {
  Open(2);
  ASSERT_EQ(params->pages.size(), 3u);
  struct Page {
    int dialog;
    const char* title;
    DWORD flags;
    HWND QuilboDlg::*field;
  };
  const Page want[] = {{197, "Tessary parameters", 0, &QuilboDlg::layersPanel},
                       {196, "Output", 1, &QuilboDlg::outputPanel},
                       {107, "About", 1, &QuilboDlg::aboutPanel}};
  for (std::size_t i = 0; i < 3; ++i) {
    const RollupPage& p = params->pages[i];
    EXPECT_EQ(p.dialogId, want[i].dialog);
    EXPECT_EQ(p.title, want[i].title);
    EXPECT_EQ(p.flags, want[i].flags);
    EXPECT_EQ(p.category, 4000);
    EXPECT_EQ(p.param, reinterpret_cast<LPARAM>(dlg));
    ASSERT_NE(p.window, nullptr);
    EXPECT_EQ(dlg->*want[i].field, p.window);
    EXPECT_EQ(GetWindowLongPtrA(p.window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(dlg));
  }
  EXPECT_EQ(map->paramDlg, dlg);
  EXPECT_EQ(dlg->GetThing(), map);
  EXPECT_EQ(dlg->mtlEditWindow, editor);
  EXPECT_EQ(dlg->scrollBar, Item(IDC_LAYER_SCROLL));
  EXPECT_TRUE(dlg->ClassID() == QUILBO_CLASS_ID);
  EXPECT_EQ(dlg->FindSubMtlFromHWND(MapButton(0)), -1);
  // The first paint has reloaded the dialog.
  EXPECT_EQ(dlg->valid, 1);
}

TEST_F(ParamDialog, BaseNumberReachesTheBlockOnceShown) {
  map->SetNumLayers(3);
  host::macroRecorder->Reset();
  EXPECT_STREQ(map->pblock->GetStr(params::kEditIds, 0, 0), "0");
  Open(3);
  EXPECT_STREQ(map->pblock->GetStr(params::kEditIds, 0, 0), "B:");
  EXPECT_STREQ(map->pblock->GetStr(params::kEditIds, 0, 2), "2");
  EXPECT_EQ(host::macroRecorder->RecordCount(), 0);
  // Writing the texts does not keep the dialog reloading.
  EXPECT_EQ(hl::Pump(), 0);
  EXPECT_EQ(dlg->valid, 1);
}

TEST_F(ParamDialog, MapChangesReloadAtTheNextPaint) {
  Open(3);
  const int queries = params->timeQueries;
  map->opacity[2] = 30.0f;  // written behind the dialog's back
  map->pblock->SetValue(params::kOpasityList, 0, 30.0f, 2);
  EXPECT_EQ(dlg->valid, 0);
  EXPECT_TRUE(GetUpdateRect(Layers(), nullptr, FALSE));
  EXPECT_FLOAT_EQ(SpinnerValue(Layers(), IDC_OPACITY_SPIN0 + 2), 100.0f);
  hl::Pump();
  EXPECT_EQ(dlg->valid, 1);
  EXPECT_GT(params->timeQueries, queries);
  EXPECT_FLOAT_EQ(SpinnerValue(Layers(), IDC_OPACITY_SPIN0 + 2), 30.0f);
}

TEST_F(ParamDialog, SetTimeAndReloadFollowTheMap) {
  Open(2);
  map->blendMode[1] = 5;
  params->time = 160;
  dlg->SetTime(9999);
  EXPECT_EQ(SendMessageA(Row(IDC_MODE_LIST0, 1), CB_GETCURSEL, 0, 0), 5);
  EXPECT_TRUE(GetUpdateRect(Layers(), nullptr, FALSE));
  EXPECT_TRUE(map->validity.InInterval(160));
  map->layerUsed[1] = 0;
  dlg->ReloadDialog();
  EXPECT_EQ(IsDlgButtonChecked(Layers(), IDC_USE_LAYER0 + 1), BST_UNCHECKED);
}

TEST_F(ParamDialog, SetThingShowsTheOtherMapAtItsOwnScrollPosition) {
  Open(3);
  auto* other = new Quilbo();
  other->SetNumLayers(12);
  other->firstVisibleLayer = 5;
  dlg->SetThing(other);
  EXPECT_EQ(map->paramDlg, nullptr);
  EXPECT_EQ(other->paramDlg, dlg);
  EXPECT_EQ(RowNumber(0), "5");
  EXPECT_EQ(Text(Item(IDC_NUM_LAYERS)), "12");
  EXPECT_TRUE(Enabled(Item(IDC_LAYER_SCROLL)));
  dlg->SetThing(nullptr);
  EXPECT_EQ(other->paramDlg, nullptr);
  EXPECT_EQ(dlg->GetThing(), nullptr);
  EXPECT_EQ(dlg->FindSubTexFromHWND(MapButton(0)), -1);
  ASSERT_TRUE(hl::ClickDlgButton(Layers(), IDC_ADD_LAYER));  // nothing to add to
  other->DeleteThis();
}

TEST_F(ParamDialog, SubMapIndexOfAWindow) {
  Open(9, 2);
  struct Case {
    HWND window;
    int index;
  };
  const Case cases[] = {{MaskButton(2), 9}, {MapButton(0), 4},   {MaskButton(5), 15},
                        {MapButton(5), 14}, {Row(IDC_MAP_ON0, 2), -1}, {Layers(), -1},
                        {nullptr, -1},      {Item(IDC_ADD_LAYER), -1}};
  for (const Case& c : cases) EXPECT_EQ(dlg->FindSubTexFromHWND(c.window), c.index);
}

TEST_F(ParamDialog, DeleteThisDetachesFromMapAndPanels) {
  Open(3);
  HWND layers = Layers();
  Close();
  EXPECT_EQ(map->paramDlg, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(layers, GWLP_USERDATA), 0);
  EXPECT_EQ(GetWindowLongPtrA(Output(), GWLP_USERDATA), 0);
  EXPECT_EQ(GetWindowLongPtrA(About(), GWLP_USERDATA), 0);
  // Later changes of the map and messages to the pages reach nothing.
  map->SetNumLayers(5);
  map->pblock->SetValue(params::kOpasityList, 0, 20.0f, 1);
  hl::Pump();
  EXPECT_EQ(Text(Item(IDC_NUM_LAYERS)), "3");
  EXPECT_TRUE(hl::ClickDlgButton(layers, IDC_ADD_LAYER));
  EXPECT_TRUE(hl::ClickDlgButton(Output(), IDC_OUTPUT_ON));
  EXPECT_EQ(map->LayerCount(), 5);
  EXPECT_FALSE(map->outputOn);
  EXPECT_FALSE(ht::DragMapOntoButton(MapButton(0), nullptr));
}

TEST_F(ParamDialog, EveryInterfaceIsGivenBackWhenThePagesGo) {
  const int before = ht::LiveControlObjects();
  Open(8);
  Close();
  delete params;
  params = nullptr;
  EXPECT_EQ(ht::LiveControlObjects(), before);
}

TEST_F(ParamDialog, PanelsDestroyedFirstGiveTheirInterfacesBack) {
  Open(2);
  const int before = ht::LiveControlObjects();
  DestroyWindow(Layers());
  params->pages[0].window = nullptr;
  EXPECT_EQ(dlg->rowButtons[0][0], nullptr);
  EXPECT_EQ(dlg->rowNumberEdits[5], nullptr);
  EXPECT_LT(ht::LiveControlObjects(), before);
}

TEST_F(ParamDialog, MapWithoutFactoryHasNoDialog) {
  SetQuilboDialogFactory(nullptr);
  EXPECT_EQ(map->CreateParamDlg(editor, params), nullptr);
  SetQuilboDialogFactory(&CreateQuilboDlg);
}

}  // namespace
}  // namespace tessary::uitest
