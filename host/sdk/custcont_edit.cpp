// The window procedure of the host's custom edit: caret, selection, typing
// and the Return that commits the text to a linked spinner.

#include <algorithm>
#include <string>

#include "host/sdk/custcont_wnd.h"

namespace tessary::host::detail {

namespace {

constexpr int kEditMargin = 2;

bool ParentHasDefaultButton(HWND edit) {
  HWND parent = GetParent(edit);
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[16] = {};
    GetClassNameA(c, cls, sizeof cls);
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(c, GWL_STYLE));
    if (SameName(cls, "Button") && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return true;
  }
  return false;
}

void PlaceCaret(HWND hwnd, EditImpl& e) {
  if (GetFocus() != hwnd) return;
  const std::string text = e.Text();
  const int x = kEditMargin + TextWidthIn(hwnd, e, text.substr(0, static_cast<std::size_t>(e.caret)));
  const RECT r = ClientRect(hwnd);
  SetCaretPos(std::min(x, static_cast<int>(r.right) - 2), 2);
}

void ReplaceSelection(HWND hwnd, EditImpl& e, const std::string& with) {
  std::string text = e.Text();
  const auto n = static_cast<int>(text.size());
  const int from = std::clamp(std::min(e.caret, e.anchor), 0, n);
  const int to = std::clamp(std::max(e.caret, e.anchor), 0, n);
  text.replace(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from), with);
  DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  e.caret = e.anchor = from + static_cast<int>(with.size());
  e.dirty = true;
  InvalidateRect(hwnd, nullptr, TRUE);
  PlaceCaret(hwnd, e);
}

void PaintEdit(HWND hwnd, EditImpl& e, WPARAM printDc) {
  Painter p(hwnd, e, printDc);
  RECT r = ClientRect(hwnd);
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  p.Fill(r, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  DrawEdge(p.dc(), &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  const std::string text = e.Text();
  const auto n = static_cast<int>(text.size());
  const int from = std::clamp(std::min(e.caret, e.anchor), 0, n);
  const int to = std::clamp(std::max(e.caret, e.anchor), 0, n);
  RECT t = r;
  t.left += kEditMargin - 1;
  const COLORREF ink = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
  if (GetFocus() != hwnd || from == to) {
    p.Text(text, t, DT_LEFT | DT_VCENTER, ink);
    return;
  }
  // Before, inside and after the selection.
  const std::string parts[3] = {text.substr(0, static_cast<std::size_t>(from)),
                                text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)),
                                text.substr(static_cast<std::size_t>(to))};
  for (int i = 0; i < 3; ++i) {
    RECT part = t;
    part.right = std::min(t.right, static_cast<LONG>(t.left + p.TextWidth(parts[i])));
    if (i == 1) p.Fill(part, GetSysColor(COLOR_HIGHLIGHT));
    p.Text(parts[i], part, DT_LEFT | DT_VCENTER, i == 1 ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ink);
    t.left = part.right;
  }
}

bool EditKey(HWND hwnd, EditImpl& e, WPARAM key) {
  const int n = static_cast<int>(e.Text().size());
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  int caret = e.caret;
  switch (key) {
    case VK_LEFT: caret = std::max(0, caret - 1); break;
    case VK_RIGHT: caret = std::min(n, caret + 1); break;
    case VK_HOME: caret = 0; break;
    case VK_END: caret = n; break;
    case VK_DELETE:
      if (e.caret == e.anchor && e.caret < n) e.anchor = e.caret + 1;
      ReplaceSelection(hwnd, e, "");
      return true;
    default: return false;
  }
  e.caret = caret;
  if (!shift) e.anchor = caret;
  InvalidateRect(hwnd, nullptr, TRUE);
  PlaceCaret(hwnd, e);
  return true;
}

void EditChar(HWND hwnd, EditImpl& e, WPARAM ch) {
  switch (ch) {
    case '\r':
      e.Commit();
      return;
    case '\t': {
      // Without a dialog manager in front (a rollup page), Tab moves on here;
      // losing the focus commits what was typed.
      HWND next = GetNextDlgTabItem(GetParent(hwnd), hwnd, GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE);
      if (next && next != hwnd) SetFocus(next);
      return;
    }
    case '\b':
      if (e.caret == e.anchor && e.caret > 0) e.anchor = e.caret - 1;
      ReplaceSelection(hwnd, e, "");
      return;
    default:
      if (ch >= 32 && ch < 127) ReplaceSelection(hwnd, e, std::string(1, static_cast<char>(ch)));
      return;
  }
}

}  // namespace

LRESULT CALLBACK EditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Common(Kind::Edit, hwnd, msg, wParam, result)) return result;
  auto* e = ImplAs<EditImpl>(hwnd);
  if (!e) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
      // Return commits the field, unless the dialog has a default button:
      // then it is the dialog's, which reads the field when it closes.
      const auto* m = reinterpret_cast<const MSG*>(lParam);
      if (m && ((m->message == WM_KEYDOWN && m->wParam == static_cast<WPARAM>(VK_RETURN)) ||
                (m->message == WM_CHAR && m->wParam == '\r')) &&
          !ParentHasDefaultButton(hwnd))
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_SETTEXT:
      DefWindowProcA(hwnd, msg, wParam, lParam);
      e->caret = e->anchor = GetWindowTextLengthA(hwnd);
      e->dirty = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      PlaceCaret(hwnd, *e);
      return TRUE;
    case EM_SETSEL: {
      const int n = GetWindowTextLengthA(hwnd);
      const auto from = static_cast<int>(static_cast<INT_PTR>(wParam));
      const auto to = static_cast<int>(lParam);
      e->anchor = from < 0 ? n : std::min(from, n);
      e->caret = to < 0 ? n : std::min(to, n);
      InvalidateRect(hwnd, nullptr, TRUE);
      PlaceCaret(hwnd, *e);
      return 0;
    }
    case EM_GETSEL:
      return MAKELPARAM(static_cast<WORD>(std::min(e->caret, e->anchor)),
                        static_cast<WORD>(std::max(e->caret, e->anchor)));
    case WM_SETFOCUS:
      CreateCaret(hwnd, nullptr, 1, std::max(1, static_cast<int>(ClientRect(hwnd).bottom) - 4));
      e->anchor = 0;
      e->caret = GetWindowTextLengthA(hwnd);
      PlaceCaret(hwnd, *e);
      ShowCaret(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_KILLFOCUS:
      DestroyCaret();
      InvalidateRect(hwnd, nullptr, TRUE);
      if (e->dirty) e->Commit();
      return 0;
    case WM_LBUTTONDOWN:
      if (GetFocus() != hwnd) {
        SetFocus(hwnd);  // selects the whole text
      } else {
        // A click in the focused field puts the caret at the nearest character.
        const std::string text = e->Text();
        int at = 0;
        while (at < static_cast<int>(text.size()) &&
               kEditMargin + TextWidthIn(hwnd, *e, text.substr(0, static_cast<std::size_t>(at) + 1)) <=
                   MouseX(lParam))
          ++at;
        e->caret = e->anchor = at;
        InvalidateRect(hwnd, nullptr, TRUE);
        PlaceCaret(hwnd, *e);
      }
      return 0;
    case WM_KEYDOWN:
      if (EditKey(hwnd, *e, wParam)) return 0;
      break;
    case WM_CHAR:
      EditChar(hwnd, *e, wParam);
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      PaintEdit(hwnd, *e, msg == WM_PRINTCLIENT ? wParam : 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace tessary::host::detail
