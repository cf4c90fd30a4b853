#include "host/runtime/editor/material_editor.h"

#include <algorithm>
#include <cctype>

namespace tessary::host::editor {

namespace {

// The window's parts, in pixels: the sample sits in the top left corner with
// the map's name beside it; the rollup panel fills the rest below a line.
constexpr int kMargin = 8;
constexpr int kSampleOuter = kSampleSize + 4;  // with its sunken edge
constexpr int kTopHeight = kMargin + kSampleOuter + kMargin;
constexpr int kPanelTop = kTopHeight + 2;

MaterialEditor* EditorOf(HWND hwnd) {
  return reinterpret_cast<MaterialEditor*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

std::string ClassNameOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::string TextOf(HWND hwnd) {
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A button caption as read: without the '&' that marks the access key.
std::string Caption(HWND hwnd) {
  std::string text = TextOf(hwnd);
  text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
  return text;
}

struct ChildSearch {
  std::string className;
  std::string caption;  // empty: any
  DWORD style = 0;      // bits that must be set
  HWND found = nullptr;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM data) {
  auto* s = reinterpret_cast<ChildSearch*>(data);
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE));
  if (!SameNoCase(ClassNameOf(hwnd), s->className) || (style & s->style) != s->style) return TRUE;
  if (!s->caption.empty() && !SameNoCase(Caption(hwnd), s->caption)) return TRUE;
  s->found = hwnd;
  return FALSE;
}

HWND FindChildOf(HWND parent, const std::string& className, const std::string& caption, DWORD style) {
  ChildSearch s{className, caption, style, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

bool MaterialEditor::RegisterClasses(HINSTANCE instance) {
  // The sample paints all of itself.
  return RollupPanel::RegisterClasses(instance) && RegisterEditorClass(instance, kEditorClass, EditorProc) &&
         RegisterEditorClass(instance, kPreviewClass, SampleProc, 3 * static_cast<int>(sizeof(LONG_PTR)), nullptr);
}

MaterialEditor::~MaterialEditor() {
  Close();
  if (font_) DeleteObject(font_);
}

bool MaterialEditor::Open(Texmap* map, const std::string& caption, std::string& error) {
  if (!map) {
    error = "no map to edit";
    return false;
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterClasses(instance)) {
    error = "cannot register the editor's window classes";
    return false;
  }
  if (!font_) {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    font_ = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Shell Dlg");
  }
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  hwnd_ = CreateWindowExA(0, kEditorClass, caption.c_str(), kStyle, 0, 0, 400, 600, nullptr, nullptr, instance,
                          nullptr);
  if (!hwnd_) {
    error = "cannot make the editor window (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  sample_ = CreateWindowExA(WS_EX_CLIENTEDGE, kPreviewClass, "", WS_CHILD | WS_VISIBLE, kMargin, kMargin,
                            kSampleOuter, kSampleOuter, hwnd_, nullptr, instance, nullptr);
  if (sample_) SetWindowLongPtrA(sample_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  nameLabel_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                               kMargin + kSampleOuter + kMargin, kMargin, 100, 60, hwnd_, nullptr, instance, nullptr);
  line_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, kTopHeight, 100, 2, hwnd_,
                          nullptr, instance, nullptr);
  if (nameLabel_) SendMessageA(nameLabel_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  const RECT area{0, kPanelTop, 400, 600};
  if (!sample_ || !nameLabel_ || !line_ || !panel_.Create(hwnd_, area, font_)) {
    error = "cannot make the editor's windows (error " + std::to_string(GetLastError()) + ")";
    Close();
    return false;
  }

  if (ReplaceReference(0, map, false) != REF_SUCCEED) {
    error = "cannot reference the map";
    Close();
    return false;
  }
  SetWindowTextA(nameLabel_, map->GetFullName().c_str());
  dialog_ = map->CreateParamDlg(hwnd_, this);
  if (!dialog_) {
    error = "the map '" + map->GetFullName() + "' has no parameter dialog";
    Close();
    return false;
  }
  FitToContent();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  // The pages' own dialogs gave the focus to their first controls; the
  // editor starts with none of them focused.
  SetFocus(hwnd_);
  UpdateWindow(hwnd_);
  return true;
}

void MaterialEditor::FitToContent() {
  const int width = panel_.ContentWidth() + GetSystemMetrics(SM_CXVSCROLL);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE));
  // The height that shows the whole stack, within the screen.
  RECT frame{0, 0, width, kPanelTop + panel_.ContentHeight()};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  const int chrome = (frame.bottom - frame.top) - (kPanelTop + panel_.ContentHeight());
  const int outerHeight = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
  SetWindowPos(hwnd_, nullptr, work.left, work.top, frame.right - frame.left, outerHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  const int clientHeight = outerHeight - chrome;
  SetWindowPos(nameLabel_, nullptr, 0, 0, width - (kMargin + kSampleOuter + 2 * kMargin), kSampleOuter,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(line_, nullptr, 0, 0, width, 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(panel_.Hwnd(), nullptr, 0, kPanelTop, width, clientHeight - kPanelTop,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void MaterialEditor::Close() {
  if (dialog_) {
    ParamDlg* d = dialog_;
    dialog_ = nullptr;
    d->DeleteThis();
  }
  panel_.DeleteAllPages();
  if (map_) ReplaceReference(0, nullptr, false);
  if (hwnd_) {
    HWND w = hwnd_;
    hwnd_ = nullptr;
    SetWindowLongPtrA(w, GWLP_USERDATA, 0);
    if (sample_) SetWindowLongPtrA(sample_, GWLP_USERDATA, 0);
    DestroyWindow(w);
  }
  sample_ = nullptr;
  nameLabel_ = nullptr;
  line_ = nullptr;
}

HWND MaterialEditor::AddRollupPage(HINSTANCE hInst, int dlgId, RollupDlgProc proc, const char* title, LPARAM param,
                                   DWORD flags, int /*category*/) {
  return panel_.AddPage(hInst, dlgId, proc, title, param, flags);
}

void MaterialEditor::DeleteRollupPage(HWND hRollup) { panel_.DeletePage(hRollup); }

void MaterialEditor::MtlChanged() { SampleChanged(); }

RefTargetHandle MaterialEditor::GetReference(int i) { return i == 0 ? map_ : nullptr; }

void MaterialEditor::SetReference(int i, RefTargetHandle rtarg) {
  if (i == 0) map_ = dynamic_cast<Texmap*>(rtarg);
}

RefResult MaterialEditor::NotifyRefChanged(const Interval& /*changeInt*/, RefTargetHandle hTarget,
                                           PartID& /*partID*/, RefMessage message, bool /*propagate*/) {
  if (hTarget != map_) return REF_DONTCARE;
  if (message == REFMSG_CHANGE) SampleChanged();
  if (message == REFMSG_TARGET_DELETED) {
    // The map is going: its dialog must not outlive it.
    if (dialog_) {
      ParamDlg* d = dialog_;
      dialog_ = nullptr;
      d->DeleteThis();
    }
    map_ = nullptr;
    SampleChanged();
  }
  return REF_SUCCEED;
}

void MaterialEditor::SampleChanged() {
  if (rendering_) return;  // the map's own update while the sample renders
  sampleDirty_ = true;
  if (sample_) InvalidateRect(sample_, nullptr, FALSE);
}

void MaterialEditor::PaintSample() {
  if (sampleDirty_) {
    sampleDirty_ = false;
    rendering_ = true;
    image_ = map_ ? RenderPreview(*map_, GetTime(), kSampleSize, kSampleSize) : PreviewImage{};
    rendering_ = false;
    ++renders_;
    SetWindowLongPtrA(sample_, kSampleRendersOffset, renders_);
    SetWindowLongPtrA(sample_, kSampleDigestOffset, static_cast<LONG_PTR>(PreviewDigest(image_)));
    SetWindowLongPtrA(sample_, kSampleCentreOffset, static_cast<LONG_PTR>(image_.Pixel(kSampleSize / 2, kSampleSize / 2)));
  }
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(sample_, &ps);
  RECT r{};
  GetClientRect(sample_, &r);
  if (image_.width > 0) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = image_.width;
    bi.bmiHeader.biHeight = -image_.height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(image_.width), static_cast<DWORD>(image_.height), 0, 0, 0,
                      static_cast<UINT>(image_.height), image_.bgr.data(), &bi, DIB_RGB_COLORS);
  } else {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  }
  EndPaint(sample_, &ps);
}

bool MaterialEditor::Apply(const Action& action, std::string& error) {
  const std::vector<std::string> titles = panel_.Titles();
  const int i = FindRollout(titles, action.rollout);
  if (i < 0) {
    error = "no rollout '" + action.rollout + "' (the rollouts are";
    for (std::size_t k = 0; k < titles.size(); ++k) error += (k ? ", \"" : " \"") + titles[k] + "\"";
    error += ")";
    return false;
  }
  HWND page = panel_.PageWindow(i);
  switch (action.kind) {
    case ActionKind::Open:
    case ActionKind::Close:
      panel_.SetOpen(i, action.kind == ActionKind::Open);
      return true;
    case ActionKind::Show:
      panel_.ShowPage(i);
      return true;
    case ActionKind::Scroll: {
      // A drag of the bar's thumb to the position, as the bar reports it.
      HWND bar = FindChildOf(page, "ScrollBar", "", SBS_VERT);
      if (!bar || !IsWindowEnabled(bar) || !IsWindowVisible(page)) {
        error = "the rollout \"" + titles[static_cast<std::size_t>(i)] + "\" has no scroll bar that can be used";
        return false;
      }
      int low = 0;
      int high = 0;
      GetScrollRange(bar, SB_CTL, &low, &high);
      const int to = std::clamp(action.position, low, high);
      const auto barParam = reinterpret_cast<LPARAM>(bar);
      SendMessageA(page, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, to), barParam);
      SendMessageA(page, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, to), barParam);
      SendMessageA(page, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), barParam);
      return true;
    }
    case ActionKind::Press: {
      HWND button = FindChildOf(page, "Button", action.caption, 0);
      if (!button || !IsWindowVisible(page) || !IsWindowVisible(button) || !IsWindowEnabled(button)) {
        error = "the rollout \"" + titles[static_cast<std::size_t>(i)] + "\" shows no button \"" + action.caption +
                "\" that can be pressed";
        return false;
      }
      BYTE keys[256] = {};
      GetKeyboardState(keys);
      const BYTE ctrl = keys[VK_CONTROL];
      if (action.ctrl) {
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
      }
      SendMessageA(button, BM_CLICK, 0, 0);
      if (action.ctrl) {
        GetKeyboardState(keys);
        keys[VK_CONTROL] = ctrl;
        SetKeyboardState(keys);
      }
      return true;
    }
  }
  return false;
}

LRESULT CALLBACK MaterialEditor::EditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    // The window goes (closed by the user): the dialog and the pages first.
    if (MaterialEditor* self = EditorOf(hwnd)) {
      self->hwnd_ = nullptr;
      self->Close();
    }
    // The program ends with its editor.
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK MaterialEditor::SampleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MaterialEditor* self = EditorOf(hwnd);
  if (self && msg == WM_PAINT) {
    self->PaintSample();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace tessary::host::editor
