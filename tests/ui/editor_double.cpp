#include "tests/ui/editor_double.h"

namespace tessary::uitest {

namespace {
LRESULT CALLBACK EditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER) EditorMessages().push_back({msg, wParam, lParam});
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

std::vector<PostedMessage>& EditorMessages() {
  static std::vector<PostedMessage> messages;
  return messages;
}

HWND MakeEditorWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = EditorProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TestMaterialEditor";
  RegisterClassA(&wc);  // once per program
  EditorMessages().clear();
  return CreateWindowExA(0, "TestMaterialEditor", "Material Editor", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 400, 600,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

void AttachModule() { DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr); }

}  // namespace tessary::uitest
