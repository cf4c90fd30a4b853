// The headless subset seen from inside, for tests: every window, the queue,
// the timers, and a fresh user interface per test.

#include "tests/support/headless_test_hooks.h"

#include <cstring>

#include "platform/headless/module_resources.h"
#include "platform/headless/window_tree.h"

namespace tessary::headless::test {

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  for (const auto& [h, w] : S().windows)
    if (!w->parent) out.push_back(H(w.get()));
  return out;
}

std::vector<HWND> ChildWindows(HWND parent) {
  Window* w = W(parent);
  return w ? w->children : std::vector<HWND>{};
}

HWND FindByText(HWND root, const std::string& text) {
  if (!root) {
    for (const auto& [h, w] : S().windows)
      if (w->text == text) return H(w.get());
    return nullptr;
  }
  Window* w = W(root);
  if (!w) return nullptr;
  for (HWND c : w->children) {
    Window* k = W(c);
    if (k && k->text == text) return c;
    if (HWND found = FindByText(c, text)) return found;
  }
  return nullptr;
}

std::size_t LiveWindowCount() { return S().windows.size(); }

std::size_t PostedMessageCount() { return S().queue.size(); }

std::size_t TimerCount() { return S().timers.size(); }

void ResetAll() {
  State& s = S();
  for (HWND h : TopLevelWindows()) DestroyWindow(h);
  // Pop-ups whose owners went first, and anything a WM_DESTROY created.
  while (!s.windows.empty()) {
    std::vector<HWND> rest = TopLevelWindows();
    if (rest.empty()) break;
    for (HWND h : rest) DestroyWindow(h);
  }
  s.windows.clear();
  s.queue.clear();
  std::memset(s.keys, 0, sizeof s.keys);
  s.timers.clear();
  s.focus = nullptr;
  s.capture = nullptr;
  ForgetGdiObjects();
}

int InitCommonControlsCount() { return CommonControlsInits(); }

}  // namespace tessary::headless::test
