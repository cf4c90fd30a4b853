// The host's custom controls: the interface functions, the class
// registration, the colour picker and what the control objects share (their
// methods are in custcont_objects.cpp, their window procedures in
// custcont_windows.cpp and custcont_edit.cpp).

#include "host/sdk/custcont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/sdk/custcont_impl.h"

namespace tessary::host {

namespace detail {

namespace {

int liveControls = 0;

}  // namespace

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    const auto ca = static_cast<unsigned char>(*a);
    const auto cb = static_cast<unsigned char>(*b);
    const auto la = static_cast<unsigned char>(ca >= 'A' && ca <= 'Z' ? ca + 32 : ca);
    const auto lb = static_cast<unsigned char>(cb >= 'A' && cb <= 'Z' ? cb + 32 : cb);
    if (la != lb) return false;
  }
  return *a == *b;
}

namespace {

struct ClassEntry {
  Kind kind;
  const char* name;
  WNDPROC proc;
};
constexpr ClassEntry kClasses[] = {{Kind::Edit, "CustEdit", EditWndProc},
                                   {Kind::Spinner, "SpinnerControl", SpinnerWndProc},
                                   {Kind::Button, "CustButton", ButtonWndProc},
                                   {Kind::Swatch, "ColorSwatch", SwatchWndProc},
                                   {Kind::Image, "CustImage", ImageWndProc}};

bool IsOurClass(HWND hwnd) {
  char cls[32];
  if (GetClassNameA(hwnd, cls, sizeof cls) == 0) return false;
  return std::any_of(std::begin(kClasses), std::end(kClasses),
                     [&cls](const ClassEntry& e) { return SameName(cls, e.name); });
}

}  // namespace

std::string WindowText(HWND hwnd) {
  if (!hwnd) return {};
  int n = GetWindowTextLengthA(hwnd);
  std::string s(static_cast<std::size_t>(n) + 1u, '\0');
  n = GetWindowTextA(hwnd, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(std::max(n, 0)));
  return s;
}

void CopyOut(const std::string& s, char* buffer, int size) {
  if (!buffer || size <= 0) return;
  std::size_t n = std::min(s.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
}

// "100.0", "1.5", "0.001": three decimals at most, trailing zeros dropped
// but one kept.
std::string FormatFloat(float v, int precision) {
  if (!std::isfinite(v)) return "0.0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", std::clamp(precision, 1, 9), static_cast<double>(v));
  std::string s(buf);
  while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
  if (s == "-0.0") s = "0.0";
  return s;
}

BYTE ChannelByte(float c) {
  float scaled = c * 255.0f + 0.5f;
  if (!std::isfinite(scaled)) return 0;
  double t = std::fmod(std::trunc(static_cast<double>(scaled)), 256.0);
  if (t < 0) t += 256.0;
  return static_cast<BYTE>(t);
}

namespace {

// The standard picker: the system's colour dialog where there is one.
#ifdef _WIN32
// Reports each colour the user tries: the dialog keeps it in its red, green
// and blue fields (706, 707, 708), which change as the user picks.
struct PickerHookData {
  const std::function<void(COLORREF)>* interim;
  COLORREF last;
};

UINT_PTR CALLBACK PickerHook(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const auto* cc = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    SetWindowLongPtrA(dlg, GWLP_USERDATA, static_cast<LONG_PTR>(cc->lCustData));
    return FALSE;
  }
  auto* data = reinterpret_cast<PickerHookData*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE && data && LOWORD(wParam) >= 706 && LOWORD(wParam) <= 708) {
    BOOL ok[3] = {};
    const UINT r = GetDlgItemInt(dlg, 706, &ok[0], FALSE);
    const UINT g = GetDlgItemInt(dlg, 707, &ok[1], FALSE);
    const UINT b = GetDlgItemInt(dlg, 708, &ok[2], FALSE);
    if (ok[0] && ok[1] && ok[2] && r < 256 && g < 256 && b < 256) {
      const COLORREF c = RGB(r, g, b);
      if (c != data->last) {
        data->last = c;
        (*data->interim)(c);
      }
    }
  }
  return FALSE;
}

bool SystemColorPicker(HWND owner, COLORREF& color, const std::function<void(COLORREF)>& interim) {
  static COLORREF custom[16] = {};
  PickerHookData data{&interim, color};
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = owner;
  cc.rgbResult = color;
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
  cc.lCustData = reinterpret_cast<LPARAM>(&data);
  cc.lpfnHook = PickerHook;
  if (!ChooseColorA(&cc)) return false;
  color = cc.rgbResult & 0xFFFFFFu;
  return true;
}
#else
bool SystemColorPicker(HWND, COLORREF&, const std::function<void(COLORREF)>&) { return false; }
#endif

ColorPicker& Picker() {
  static ColorPicker picker;
  return picker;
}

}  // namespace

ControlBase::ControlBase(HWND hwnd) : hwnd_(hwnd) { ++liveControls; }
ControlBase::~ControlBase() { --liveControls; }
int LiveControls() { return liveControls; }

ControlBase* Impl(HWND hwnd) {
  if (!IsOurClass(hwnd)) return nullptr;
  return reinterpret_cast<ControlBase*>(GetWindowLongPtrA(hwnd, 0));
}

ControlBase* Make(Kind kind, HWND hwnd) {
  switch (kind) {
    case Kind::Edit: return new EditImpl(hwnd);
    case Kind::Spinner: return new SpinnerImpl(hwnd);
    case Kind::Button: return new ButtonImpl(hwnd);
    case Kind::Swatch: return new SwatchImpl(hwnd);
    case Kind::Image: return new ImageImpl(hwnd);
  }
  return nullptr;
}

bool Reachable(HWND hwnd) {
  if (!IsWindowVisible(hwnd)) return false;
  for (HWND h = hwnd; h; h = (GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr)
    if (!IsWindowEnabled(h)) return false;
  return true;
}

const ColorPicker& CurrentColorPicker() {
  static const ColorPicker standard = SystemColorPicker;
  return Picker() ? Picker() : standard;
}

}  // namespace detail

using namespace detail;

namespace {

template <typename T>
T* Get(HWND hwnd) {
  ControlBase* base = Impl(hwnd);
  T* t = dynamic_cast<T*>(base);
  if (!t) return nullptr;
  base->AddRef();
  return t;
}

template <typename T>
void Release(T* iface) {
  if (auto* base = dynamic_cast<ControlBase*>(iface)) base->Release();
}

// The module of the host runtime: the classes belong to it.
HINSTANCE RuntimeModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&RegisterCustomControls), &module);
  return module;
}

struct AutoRegister {
  AutoRegister() { RegisterCustomControls(); }
} autoRegister;

}  // namespace

void RegisterCustomControls() {
  const HINSTANCE module = RuntimeModule();
  for (const ClassEntry& e : kClasses) {
    WNDCLASSA wc{};
    // Global: the dialog templates of every module (the plug-ins) name them.
    wc.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = e.proc;
    wc.cbWndExtra = static_cast<int>(sizeof(LONG_PTR));
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
    wc.lpszClassName = e.name;
    RegisterClassA(&wc);  // fails harmlessly when already registered
  }
}

ColorPicker SetColorPicker(ColorPicker picker) {
  ColorPicker old = std::move(Picker());
  Picker() = std::move(picker);
  return old;
}

ICustEdit* GetICustEdit(HWND hwnd) { return Get<EditImpl>(hwnd); }
void ReleaseICustEdit(ICustEdit* control) { Release(control); }
ISpinnerControl* GetISpinner(HWND hwnd) { return Get<SpinnerImpl>(hwnd); }
void ReleaseISpinner(ISpinnerControl* control) { Release(control); }
ICustButton* GetICustButton(HWND hwnd) { return Get<ButtonImpl>(hwnd); }
void ReleaseICustButton(ICustButton* control) { Release(control); }
IColorSwatch* GetIColorSwatch(HWND hwnd) { return Get<SwatchImpl>(hwnd); }
void ReleaseIColorSwatch(IColorSwatch* control) { Release(control); }
ICustImage* GetICustImage(HWND hwnd) { return Get<ImageImpl>(hwnd); }
void ReleaseICustImage(ICustImage* control) { Release(control); }

ISpinnerControl* SetupFloatSpinner(HWND dialog, int spinId, int editId, float min, float max, float value,
                                   float scale) {
  ISpinnerControl* spin = GetISpinner(GetDlgItem(dialog, spinId));
  if (!spin) return nullptr;
  spin->SetLimits(min, max, FALSE);
  spin->SetScale(scale);
  spin->LinkToEdit(GetDlgItem(dialog, editId), EDITTYPE_FLOAT);
  spin->SetValue(value, FALSE);
  return spin;
}

ISpinnerControl* SetupIntSpinner(HWND dialog, int spinId, int editId, int min, int max, int value) {
  ISpinnerControl* spin = GetISpinner(GetDlgItem(dialog, spinId));
  if (!spin) return nullptr;
  spin->SetLimits(min, max, FALSE);
  spin->SetScale(1.0f);
  spin->LinkToEdit(GetDlgItem(dialog, editId), EDITTYPE_INT);
  spin->SetValue(value, FALSE);
  return spin;
}

void SetCheckBox(HWND dialog, int id, BOOL checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CenterWindow(HWND hwnd, HWND parent) {
  RECT r{}, p{};
  if (!GetWindowRect(hwnd, &r) || !GetWindowRect(parent, &p)) return;
  int w = r.right - r.left;
  int h = r.bottom - r.top;
  int x = p.left + ((p.right - p.left) - w) / 2;
  int y = p.top + ((p.bottom - p.top) - h) / 2;
  MoveWindow(hwnd, x, y, w, h, FALSE);
}

}  // namespace tessary::host
