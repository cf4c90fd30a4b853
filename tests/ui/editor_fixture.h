#pragma once
// A map opened in the test editor: the fixture every editor test starts from.

#include <gtest/gtest.h>

#include <string>

#include "host/custcont.h"
#include "host/custcont_test_hooks.h"
#include "host/dad_test_hooks.h"
#include "host/hold.h"
#include "map/quilbo.h"
#include "map/quilbo_class_desc.h"
#include "resources/resource.h"
#include "tests/support/win32_user.h"
#include "tests/ui/editor_double.h"
#include "ui/quilbo_dlg.h"

namespace tessary::uitest {

namespace hl = tessary::testsupport;
namespace ht = tessary::host::test;

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::ResetUserInterface();
    AttachModule();
    host::theHold.Reset();
    editor = MakeEditorWindow();
    map = new Quilbo();
  }
  void TearDown() override {
    Close();
    delete params;
    params = nullptr;
    if (map) map->DeleteThis();
    hl::ResetUserInterface();
  }

  // Opens the editor on the map; the first paint has been delivered.
  void Open(int layers = 1, int first = 0) {
    map->SetNumLayers(layers);
    map->firstVisibleLayer = first;
    params = new TestMtlParams(editor);
    dlg = static_cast<QuilboDlg*>(map->CreateParamDlg(editor, params));
    ASSERT_NE(dlg, nullptr);
    hl::Pump();
  }
  void Close() {
    if (dlg) dlg->DeleteThis();
    dlg = nullptr;
  }

  HWND Layers() const { return params->pages.at(0).window; }
  HWND Output() const { return params->pages.at(1).window; }
  HWND About() const { return params->pages.at(2).window; }
  HWND Item(int id) const { return GetDlgItem(Layers(), id); }
  // Control firstId + r of the Layers panel (row r of a column).
  HWND Row(int firstId, int r) const { return Item(firstId + r); }
  HWND MapButton(int r) const { return Item(IDC_MAP_BUTTON0 + 2 * r); }
  HWND MaskButton(int r) const { return Item(IDC_MASK_BUTTON0 + 2 * r); }

  static std::string Text(HWND w) {
    char buf[4096] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
  }
  static bool Visible(HWND w) { return IsWindowVisible(w) != FALSE; }
  static bool Enabled(HWND w) { return IsWindowEnabled(w) != FALSE; }
  // The layer number shown in row r.
  std::string RowNumber(int r) const { return Text(Item(IDC_LAYER_NUMBER0 + r)); }
  float SpinnerValue(HWND panel, int id) const {
    host::ISpinnerControl* s = host::GetISpinner(GetDlgItem(panel, id));
    const float v = s ? s->GetFVal() : -12345.0f;
    if (s) host::ReleaseISpinner(s);
    return v;
  }
  bool TypeIn(HWND panel, int id, const char* text) { return ht::TypeInEdit(GetDlgItem(panel, id), text); }

  // Gives layer i a recognisable opacity (10 + i) so that moves can be followed.
  void TagLayers() {
    for (int i = 0; i < map->LayerCount(); ++i) map->opacity[i] = static_cast<float>(10 + i);
  }
  std::vector<int> Tags() const {
    std::vector<int> t;
    for (int i = 0; i < map->LayerCount(); ++i) t.push_back(static_cast<int>(map->opacity[i]) - 10);
    return t;
  }

  HWND editor = nullptr;
  Quilbo* map = nullptr;
  TestMtlParams* params = nullptr;
  QuilboDlg* dlg = nullptr;
};

}  // namespace tessary::uitest
