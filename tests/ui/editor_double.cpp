#include "tests/ui/editor_double.h"

namespace tessary::uitest {

namespace {
LRESULT EditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
  wc.lpszClassName = "TestMaterialEditor";
  RegisterClassA(&wc);
  EditorMessages().clear();
  return CreateWindowExA(0, "TestMaterialEditor", "Material Editor", WS_OVERLAPPED, 0, 0, 400, 600, nullptr,
                         nullptr, nullptr, nullptr);
}

void AttachModule() {
  static void* self = dlopen(nullptr, RTLD_NOW);
  DllMain(static_cast<HINSTANCE>(self), DLL_PROCESS_ATTACH, nullptr);
}

}  // namespace tessary::uitest
