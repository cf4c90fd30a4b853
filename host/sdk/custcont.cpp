// The host's custom controls: the objects behind the control windows, the
// interface functions, the class registration and the colour picker.

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

void EnableAndRedraw(ControlBase& c, BOOL onOff) {
  if (c.Hwnd()) EnableWindow(c.Hwnd(), onOff);
}

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

// --- Edit ---

void EditImpl::Enable(BOOL onOff) { EnableAndRedraw(*this, onOff); }
std::string EditImpl::Text() const { return WindowText(hwnd_); }
void EditImpl::GetText(char* buffer, int size) { CopyOut(Text(), buffer, size); }
void EditImpl::SetText(const char* text) {
  if (hwnd_) SetWindowTextA(hwnd_, text);
}
void EditImpl::SetText(int value) { SetText(std::to_string(value).c_str()); }
void EditImpl::SetText(float value, int precision) { SetText(FormatFloat(value, precision).c_str()); }

int EditImpl::GetInt(BOOL* valid) {
  std::string s = Text();
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (valid) *valid = (!s.empty() && end && *end == '\0') ? TRUE : FALSE;
  return static_cast<int>(std::clamp(v, static_cast<long long>(INT32_MIN), static_cast<long long>(INT32_MAX)));
}

float EditImpl::GetFloat(BOOL* valid) {
  std::string s = Text();
  char* end = nullptr;
  float v = std::strtof(s.c_str(), &end);
  bool ok = !s.empty() && end && *end == '\0' && std::isfinite(v);
  if (valid) *valid = ok ? TRUE : FALSE;
  return std::isfinite(v) ? v : 0.0f;
}

void EditImpl::Detach() {
  if (spinner) spinner->UnlinkEdit();
  spinner = nullptr;
  ControlBase::Detach();
}

void EditImpl::Commit() {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return;
  HWND self = hwnd_;
  dirty = false;
  if (spinner) spinner->TakeEditText();
  if (IsWindow(self)) SendMessageA(GetParent(self), WM_CUSTEDIT_ENTER, static_cast<WPARAM>(GetDlgCtrlID(self)),
                                   reinterpret_cast<LPARAM>(self));
}

// --- Spinner ---

void SpinnerImpl::Enable(BOOL onOff) {
  EnableAndRedraw(*this, onOff);
  if (edit_ && edit_->Hwnd()) EnableWindow(edit_->Hwnd(), onOff);
}

int SpinnerImpl::GetIVal() { return static_cast<int>(std::lround(static_cast<double>(value_))); }

void SpinnerImpl::SetLimits(float min, float max, BOOL limitCurValue) {
  min_ = std::isfinite(min) ? min : 0.0f;
  max_ = std::isfinite(max) ? max : 0.0f;
  if (limitCurValue) Store(value_);
}

void SpinnerImpl::SetValue(float value, int notify) {
  Store(value);
  if (notify) Notify(CC_SPINNER_CHANGE, MAKEWPARAM(static_cast<WORD>(Id()), FALSE), Self());
}

void SpinnerImpl::SetScale(float scale) { scale_ = std::isfinite(scale) && scale > 0.0f ? scale : 0.1f; }

float SpinnerImpl::Step() const {
  float step = scale_;
  if (autoScale_) step = std::max(step, std::fabs(value_) * 0.01f);
  return isInt_ ? std::max(1.0f, std::round(step)) : step;
}

void SpinnerImpl::Store(float v) {
  if (!std::isfinite(v)) v = value_;
  if (isInt_) v = std::round(v);
  if (v > max_) v = max_;
  if (v < min_) v = min_;
  value_ = v;
  Show();
}

void SpinnerImpl::Show() {
  if (!edit_) return;
  if (isInt_) {
    edit_->SetText(GetIVal());
  } else {
    edit_->SetText(value_, 3);
  }
}

void SpinnerImpl::LinkToEdit(HWND edit, int type) {
  if (edit_) edit_->spinner = nullptr;
  edit_ = nullptr;
  isInt_ = type == EDITTYPE_INT;
  auto* e = ImplAs<EditImpl>(edit);
  if (!e) return;
  if (e->spinner) e->spinner->UnlinkEdit();
  e->spinner = this;
  edit_ = e;
  Store(value_);
}

void SpinnerImpl::TakeEditText() {
  if (!edit_) return;
  BOOL valid = FALSE;
  float v = edit_->GetFloat(&valid);
  if (valid) Store(v);
  Show();  // a rejected or clamped entry shows the value kept
}

void SpinnerImpl::Detach() {
  if (edit_) edit_->spinner = nullptr;
  edit_ = nullptr;
  ControlBase::Detach();
}

// --- Button ---

void ButtonImpl::Enable(BOOL onOff) { EnableAndRedraw(*this, onOff); }
void ButtonImpl::SetText(const char* text) {
  if (hwnd_) SetWindowTextA(hwnd_, text);
}
void ButtonImpl::GetText(char* buffer, int size) { CopyOut(WindowText(hwnd_), buffer, size); }
void ButtonImpl::SetCheck(BOOL checked) {
  checked_ = checked != FALSE;
  Redraw();
}

void ButtonImpl::Click() {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return;
  if (checkType_) SetCheck(!checked_);
  Notify(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(Id()), BN_CLICKED), reinterpret_cast<LPARAM>(hwnd_));
}

// --- Swatch ---

void SwatchImpl::Enable(BOOL onOff) { EnableAndRedraw(*this, onOff); }

COLORREF SwatchImpl::SetColor(COLORREF color, int notify) {
  COLORREF old = color_;
  color_ = color & 0xFFFFFFu;
  if (color_ != old) Redraw();
  if (notify) Changed(true);
  return old;
}

COLORREF SwatchImpl::SetColor(const Color& c, int notify) {
  return SetColor(RGB(ChannelByte(c.r), ChannelByte(c.g), ChannelByte(c.b)), notify);
}

Color SwatchImpl::GetColorValue() {
  return Color(static_cast<float>(GetRValue(color_)) / 255.0f, static_cast<float>(GetGValue(color_)) / 255.0f,
               static_cast<float>(GetBValue(color_)) / 255.0f);
}

void SwatchImpl::Changed(bool final) {
  Notify(CC_COLOR_CHANGE, MAKEWPARAM(static_cast<WORD>(Id()), final ? 1 : 0),
         reinterpret_cast<LPARAM>(static_cast<IColorSwatch*>(this)));
}

void SwatchImpl::Pick() {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return;
  HWND self = hwnd_;
  const COLORREF initial = color_;
  bool tried = false;
  // The object outlives a window destroyed while the picker is open.
  AddRef();
  COLORREF chosen = initial;
  const bool ok = CurrentColorPicker()(GetParent(self), chosen, [this, &tried](COLORREF c) {
    if (!hwnd_) return;
    tried = true;
    SetColor(c, FALSE);
    Changed(false);
  });
  if (hwnd_) {
    if (ok) {
      SetColor(chosen, FALSE);
      Changed(true);
    } else if (tried) {
      // Cancelled after trying colours: the parent gets the first one back.
      SetColor(initial, FALSE);
      Changed(false);
    }
  }
  Release();
}

// --- Image ---

void ImageImpl::Enable(BOOL onOff) { EnableAndRedraw(*this, onOff); }

void ImageImpl::SetImage(HIMAGELIST l, int i, int w, int h) {
  list = l;
  index = i;
  width = w;
  height = h;
  Redraw();
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
