#pragma once
// The material editor as the dialog sees it, for tests: an IMtlParams that
// makes rollup pages from the module's dialog templates and records what the
// dialog asks of it, a window standing for the editor that records the
// messages posted to it, and a small texture map to put into layer slots.

#include <string>
#include <vector>

#include "host/sdk/mtl.h"
#include "host/sdk/mtl_edit.h"
#include "platform/win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved);

namespace tessary::uitest {

struct RollupPage {
  HINSTANCE instance;
  int dialogId;
  std::string title;
  LPARAM param;
  DWORD flags;
  int category;
  HWND window;
};

class TestMtlParams : public host::IMtlParams {
 public:
  // Pages are child windows of the editor's window, as rollups are.
  explicit TestMtlParams(HWND editorWindow) : container(editorWindow) {}
  ~TestMtlParams() override {
    for (const RollupPage& p : pages)
      if (p.window) DestroyWindow(p.window);
  }
  HWND AddRollupPage(HINSTANCE hInst, int dlgId, host::RollupDlgProc proc, const char* title, LPARAM param,
                     DWORD flags, int category) override {
    HWND w = CreateDialogParamA(hInst, MAKEINTRESOURCEA(dlgId), container, proc, param);
    pages.push_back({hInst, dlgId, title ? title : "", param, flags, category, w});
    return w;
  }
  void DeleteRollupPage(HWND hRollup) override {
    for (RollupPage& p : pages) {
      if (p.window == hRollup) {
        DestroyWindow(p.window);
        p.window = nullptr;
      }
    }
  }
  host::TimeValue GetTime() override {
    ++timeQueries;
    return time;
  }
  void MtlChanged() override { ++mtlChanged; }

  HWND container;
  std::vector<RollupPage> pages;
  host::TimeValue time = 0;
  int timeQueries = 0;
  int mtlChanged = 0;
};

// A message posted to the editor window.
struct PostedMessage {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

// The editor's own window, shown (its pages get painted); what reaches it is
// kept in EditorMessages().
HWND MakeEditorWindow();
std::vector<PostedMessage>& EditorMessages();

// A texture map of one colour, with a name.
class NamedMap : public host::Texmap {
 public:
  explicit NamedMap(const std::string& name) { SetName(name); }
  host::AColor EvalColor(host::ShadeContext&) override { return {1, 1, 1, 1}; }
  host::Point3 EvalNormalPerturb(host::ShadeContext&) override { return {}; }
  void GetClassName(host::MSTR& s) override { s = "Plain"; }
};

// Gives the module (linked into this program) its handle, as the host's
// loader would.
void AttachModule();

}  // namespace tessary::uitest
