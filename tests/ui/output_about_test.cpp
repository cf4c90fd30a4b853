// The Output and About rollouts, and the About caption of the
// network-rendering module loaded as the host loads it.

#include <cmath>

#include "host/runtime/class_directory.h"
#include "host/runtime/module_loader.h"
#include "tests/ui/editor_fixture.h"

namespace tessary::uitest {
namespace {

using OutputRollout = EditorTest;

struct Binding {
  int spin;
  int edit;
  float& (*field)(Quilbo&);
  float shown;  // displayed value per stored unit
};

const Binding kBindings[] = {
    {IDC_H_SPIN, IDC_H_EDIT, [](Quilbo& m) -> float& { return m.hsvShift.r; }, 1.0f},
    {IDC_S_SPIN, IDC_S_EDIT, [](Quilbo& m) -> float& { return m.hsvShift.g; }, 1.0f},
    {IDC_V_SPIN, IDC_V_EDIT, [](Quilbo& m) -> float& { return m.hsvShift.b; }, 1.0f},
    {IDC_R_SPIN, IDC_R_EDIT, [](Quilbo& m) -> float& { return m.rgbShift.r; }, 1.0f},
    {IDC_G_SPIN, IDC_G_EDIT, [](Quilbo& m) -> float& { return m.rgbShift.g; }, 1.0f},
    {IDC_B_SPIN, IDC_B_EDIT, [](Quilbo& m) -> float& { return m.rgbShift.b; }, 1.0f},
    {IDC_ALPHA_SPIN, IDC_ALPHA_EDIT, [](Quilbo& m) -> float& { return m.alphaShift; }, 1.0f},
    {IDC_BRIGHT_SPIN, IDC_BRIGHT_EDIT, [](Quilbo& m) -> float& { return m.brightness; }, 100.0f},
    {IDC_CONTRAST_SPIN, IDC_CONTRAST_EDIT, [](Quilbo& m) -> float& { return m.contrast; }, 100.0f},
    {IDC_GAMMA_SPIN, IDC_GAMMA_EDIT, [](Quilbo& m) -> float& { return m.gamma; }, 1.0f},
};

TEST_F(OutputRollout, OnEnablesEverySpinnerAndSwitch) {
  Open(1);
  auto expectEnabled = [this](bool on) {
    for (const Binding& b : kBindings) {
      EXPECT_EQ(Enabled(GetDlgItem(Output(), b.spin)), on) << b.spin;
      EXPECT_EQ(Enabled(GetDlgItem(Output(), b.edit)), on) << b.edit;
    }
    for (int id : {IDC_CLAMP, IDC_MONO, IDC_RESET}) EXPECT_EQ(Enabled(GetDlgItem(Output(), id)), on) << id;
    EXPECT_TRUE(Enabled(GetDlgItem(Output(), IDC_OUTPUT_ON)));
  };
  expectEnabled(false);
  ASSERT_TRUE(hl::ClickDlgButton(Output(), IDC_OUTPUT_ON));
  EXPECT_TRUE(map->outputOn);
  EXPECT_EQ(params->mtlChanged, 1);
  expectEnabled(true);
  ASSERT_TRUE(hl::ClickDlgButton(Output(), IDC_OUTPUT_ON));
  EXPECT_FALSE(map->outputOn);
  expectEnabled(false);
}

TEST_F(OutputRollout, EachFieldStoresItsValue) {
  map->outputOn = true;
  Open(1);
  struct Case {
    std::size_t binding;
    const char* typed;
    float stored;
    float shown;
  };
  const Case cases[] = {
      {0, "30", 30.0f, 30.0f},      {1, "-0.25", -0.25f, -0.25f}, {2, "2", 2.0f, 2.0f},
      {3, "0.5", 0.5f, 0.5f},       {4, "-1", -1.0f, -1.0f},      {5, "7", 7.0f, 7.0f},
      {6, "0.125", 0.125f, 0.125f}, {7, "150", 150.0f * 0.01f, 150.0f},
      {8, "40", 40.0f * 0.01f, 40.0f}, {9, "2.2", 2.2f, 2.2f},
      {9, "0", 0.001f, 0.001f},     // gamma stops at 0.001
      {0, "20000000", 10000000.0f, 10000000.0f},
  };
  for (const Case& c : cases) {
    const Binding& b = kBindings[c.binding];
    SCOPED_TRACE(::testing::Message() << "spinner " << b.spin << " typed " << c.typed);
    const int changed = params->mtlChanged;
    ASSERT_TRUE(TypeIn(Output(), b.edit, c.typed));
    EXPECT_FLOAT_EQ(b.field(*map), c.stored);
    EXPECT_FLOAT_EQ(SpinnerValue(Output(), b.spin), c.shown);
    EXPECT_EQ(params->mtlChanged, changed + 1);
  }
  // Dragging stores on release only.
  HWND spin = GetDlgItem(Output(), IDC_BRIGHT_SPIN);
  ASSERT_TRUE(ht::DragSpinner(spin, 10));
  EXPECT_FLOAT_EQ(map->brightness, 1.5f);
  ASSERT_TRUE(ht::ReleaseSpinner(spin));
  EXPECT_FLOAT_EQ(map->brightness, SpinnerValue(Output(), IDC_BRIGHT_SPIN) * 0.01f);
  EXPECT_GT(map->brightness, 1.5f);
}

TEST_F(OutputRollout, ReloadShowsTheMapAndClearsFourthComponents) {
  map->brightness = 0.5f;
  map->contrast = 2.0f;
  map->gamma = 1.8f;
  map->hsvShift = host::AColor(10, 0.5f, 0.25f, 7);
  map->rgbShift = host::AColor(-1, 0, 1, 3);
  map->clampOn = true;
  Open(1);
  EXPECT_FLOAT_EQ(SpinnerValue(Output(), IDC_BRIGHT_SPIN), 50.0f);
  EXPECT_EQ(Text(GetDlgItem(Output(), IDC_BRIGHT_EDIT)), "50.0");
  EXPECT_FLOAT_EQ(SpinnerValue(Output(), IDC_CONTRAST_SPIN), 200.0f);
  EXPECT_FLOAT_EQ(SpinnerValue(Output(), IDC_GAMMA_SPIN), 1.8f);
  EXPECT_FLOAT_EQ(SpinnerValue(Output(), IDC_H_SPIN), 10.0f);
  EXPECT_FLOAT_EQ(SpinnerValue(Output(), IDC_R_SPIN), -1.0f);
  EXPECT_EQ(IsDlgButtonChecked(Output(), IDC_CLAMP), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(Output(), IDC_OUTPUT_ON), BST_UNCHECKED);
  EXPECT_FLOAT_EQ(map->brightness, 0.5f);
  EXPECT_FLOAT_EQ(map->hsvShift.a, 0.0f);
  EXPECT_FLOAT_EQ(map->rgbShift.a, 0.0f);
  EXPECT_FLOAT_EQ(map->hsvShift.r, 10.0f);
}

TEST_F(OutputRollout, ResetRestoresNeutralValuesButKeepsOn) {
  map->outputOn = true;
  Open(1);
  for (const Binding& b : kBindings) ASSERT_TRUE(TypeIn(Output(), b.edit, "3"));
  ASSERT_TRUE(hl::ClickDlgButton(Output(), IDC_CLAMP));
  ASSERT_TRUE(hl::ClickDlgButton(Output(), IDC_MONO));
  EXPECT_TRUE(map->clampOn);
  EXPECT_TRUE(map->monoOn);
  const int changed = params->mtlChanged;
  ASSERT_TRUE(hl::ClickDlgButton(Output(), IDC_RESET));
  EXPECT_EQ(params->mtlChanged, changed + 1);
  EXPECT_TRUE(map->outputOn);
  EXPECT_FALSE(map->clampOn);
  EXPECT_FALSE(map->monoOn);
  for (const Binding& b : kBindings) {
    const bool one = b.spin == IDC_BRIGHT_SPIN || b.spin == IDC_CONTRAST_SPIN || b.spin == IDC_GAMMA_SPIN;
    EXPECT_FLOAT_EQ(b.field(*map), one ? 1.0f : 0.0f) << b.spin;
    EXPECT_FLOAT_EQ(SpinnerValue(Output(), b.spin), one ? b.shown : 0.0f) << b.spin;
  }
  EXPECT_EQ(IsDlgButtonChecked(Output(), IDC_OUTPUT_ON), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(Output(), IDC_CLAMP), BST_UNCHECKED);
}

TEST_F(OutputRollout, RightClickRestoresTheResetValue) {
  map->outputOn = true;
  map->gamma = 2.0f;
  map->contrast = 0.3f;
  Open(1);
  ASSERT_TRUE(ht::ResetSpinner(GetDlgItem(Output(), IDC_GAMMA_SPIN)));
  ASSERT_TRUE(ht::ResetSpinner(GetDlgItem(Output(), IDC_CONTRAST_SPIN)));
  EXPECT_FLOAT_EQ(map->gamma, 1.0f);
  EXPECT_FLOAT_EQ(map->contrast, 1.0f);
}

using AboutRollout = EditorTest;

TEST_F(AboutRollout, CaptionAndBanner) {
  Open(1);
#ifdef TESSARY_NETWORK_RENDERING
  EXPECT_EQ(Text(GetDlgItem(About(), IDC_VERSION_TEXT)), "Network Rendering Version:  1.6.5 ");
#else
  EXPECT_EQ(Text(GetDlgItem(About(), IDC_VERSION_TEXT)), "Version:  1.6.5 ");
#endif
  HIMAGELIST list = nullptr;
  int index = -1, width = 0, height = 0;
  ASSERT_TRUE(ht::CustImageState(GetDlgItem(About(), IDC_BANNER), &list, &index, &width, &height));
  EXPECT_EQ(list, dlg->bannerImageList);
  EXPECT_EQ(ImageList_GetImageCount(list), 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 56);
}

#ifdef TESSARY_NETRENDER_MODULE
TEST(NetworkRendering, AboutCaptionOfTheLoadedModule) {
  hl::ResetUserInterface();
  HWND editor = MakeEditorWindow();
  host::ClassDirectory directory;
  std::string error;
  auto module = host::PluginModule::Load(TESSARY_NETRENDER_MODULE, directory, &error);
  ASSERT_NE(module, nullptr) << error;
  {
    TestMtlParams params(editor);
    ASSERT_EQ(module->NumClasses(), 1);
    auto* map = dynamic_cast<host::Texmap*>(module->GetClassDesc(0)->Create());
    ASSERT_NE(map, nullptr);
    host::ParamDlg* d = map->CreateParamDlg(editor, &params);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(params.pages.size(), 3u);
    char text[128] = {};
    GetDlgItemTextA(params.pages[2].window, IDC_VERSION_TEXT, text, sizeof text);
    EXPECT_STREQ(text, "Network Rendering Version:  1.6.5 ");
    d->DeleteThis();
    map->DeleteThis();
  }
  // The pages went with the editor, before the module.
  module.reset();
  hl::ResetUserInterface();
  // This program's own configuration is the workstation one.
  AttachModule();
}
#endif

}  // namespace
}  // namespace tessary::uitest
