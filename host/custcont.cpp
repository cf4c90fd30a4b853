#include "host/custcont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/custcont_test_hooks.h"

namespace tessary::host {

namespace {

int liveControls = 0;

// Every control keeps its implementation at offset 0 of its window storage.
// The window holds one reference and every Get another; the object goes when
// the last is given back.
class ControlBase {
 public:
  explicit ControlBase(HWND hwnd) : hwnd_(hwnd) { ++liveControls; }
  virtual ~ControlBase() { --liveControls; }
  ControlBase(const ControlBase&) = delete;
  ControlBase& operator=(const ControlBase&) = delete;

  void AddRef() { ++refs_; }
  void Release() {
    if (--refs_ == 0) delete this;
  }
  virtual void Detach() { hwnd_ = nullptr; }
  HWND Hwnd() const { return hwnd_; }
  int Id() const { return hwnd_ ? GetDlgCtrlID(hwnd_) : 0; }
  void Notify(UINT msg, WPARAM wParam, LPARAM lParam) const {
    if (hwnd_) SendMessageA(GetParent(hwnd_), msg, wParam, lParam);
  }

 protected:
  HWND hwnd_;

 private:
  int refs_ = 1;
};

bool IsOurClass(HWND hwnd) {
  char cls[32];
  if (GetClassNameA(hwnd, cls, sizeof cls) == 0) return false;
  for (const char* name : {"CUSTEDIT", "SPINNERCONTROL", "CUSTBUTTON", "COLORSWATCH", "CUSTIMAGE"})
    if (std::strcmp(cls, name) == 0) return true;
  return false;
}

// The control object of one of our windows; null for any other window.
ControlBase* Impl(HWND hwnd) {
  if (!IsOurClass(hwnd)) return nullptr;
  return reinterpret_cast<ControlBase*>(GetWindowLongPtrA(hwnd, 0));
}

std::string WindowText(HWND hwnd) {
  if (!hwnd) return {};
  int n = GetWindowTextLengthA(hwnd);
  std::string s(static_cast<std::size_t>(n) + 1u, '\0');
  GetWindowTextA(hwnd, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(n));
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

class SpinnerImpl;

class EditImpl final : public ControlBase, public ICustEdit {
 public:
  using ControlBase::ControlBase;
  HWND GetHwnd() override { return hwnd_; }
  void Enable(BOOL onOff) override {
    if (hwnd_) EnableWindow(hwnd_, onOff);
  }
  void Disable() override { Enable(FALSE); }
  BOOL IsEnabled() override { return hwnd_ ? IsWindowEnabled(hwnd_) : FALSE; }
  void GetText(char* buffer, int size) override { CopyOut(WindowText(hwnd_), buffer, size); }
  void SetText(const char* text) override {
    if (hwnd_) SetWindowTextA(hwnd_, text);
  }
  void SetText(int value) override { SetText(std::to_string(value).c_str()); }
  void SetText(float value, int precision) override { SetText(FormatFloat(value, precision).c_str()); }
  int GetInt(BOOL* valid) override {
    std::string s = WindowText(hwnd_);
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (valid) *valid = (!s.empty() && end && *end == '\0') ? TRUE : FALSE;
    return static_cast<int>(std::clamp(v, static_cast<long>(INT32_MIN), static_cast<long>(INT32_MAX)));
  }
  float GetFloat(BOOL* valid) override {
    std::string s = WindowText(hwnd_);
    char* end = nullptr;
    float v = std::strtof(s.c_str(), &end);
    bool ok = !s.empty() && end && *end == '\0' && std::isfinite(v);
    if (valid) *valid = ok ? TRUE : FALSE;
    return std::isfinite(v) ? v : 0.0f;
  }
  void Detach() override;
  void OnEnter();

  SpinnerImpl* spinner = nullptr;  // the spinner linked to this edit
};

class SpinnerImpl final : public ControlBase, public ISpinnerControl {
 public:
  using ControlBase::ControlBase;
  HWND GetHwnd() override { return hwnd_; }
  void Enable(BOOL onOff) override {
    if (hwnd_) EnableWindow(hwnd_, onOff);
    if (edit_ && edit_->Hwnd()) EnableWindow(edit_->Hwnd(), onOff);
  }
  void Disable() override { Enable(FALSE); }
  BOOL IsEnabled() override { return hwnd_ ? IsWindowEnabled(hwnd_) : FALSE; }
  float GetFVal() override { return value_; }
  int GetIVal() override { return static_cast<int>(std::lround(static_cast<double>(value_))); }
  void SetLimits(float min, float max, BOOL limitCurValue) override {
    min_ = std::isfinite(min) ? min : 0.0f;
    max_ = std::isfinite(max) ? max : 0.0f;
    if (limitCurValue) Store(value_);
  }
  void SetLimits(int min, int max, BOOL limitCurValue) override {
    SetLimits(static_cast<float>(min), static_cast<float>(max), limitCurValue);
  }
  void SetValue(float value, int notify) override {
    Store(value);
    if (notify) Notify(CC_SPINNER_CHANGE, MAKEWPARAM(static_cast<WORD>(Id()), FALSE), Self());
  }
  void SetValue(int value, int notify) override { SetValue(static_cast<float>(value), notify); }
  void SetScale(float scale) override { scale_ = std::isfinite(scale) && scale > 0.0f ? scale : 0.1f; }
  float GetScale() override { return scale_; }
  void SetResetValue(float value) override { reset_ = value; }
  void SetResetValue(int value) override { reset_ = static_cast<float>(value); }
  void SetAutoScale(BOOL on) override { autoScale_ = on != FALSE; }
  void LinkToEdit(HWND edit, int type) override;
  void Detach() override;

  LPARAM Self() { return reinterpret_cast<LPARAM>(static_cast<ISpinnerControl*>(this)); }
  void UnlinkEdit() { edit_ = nullptr; }
  void TakeEditText();
  float Step() const {
    float step = scale_;
    if (autoScale_) step = std::max(step, std::fabs(value_) * 0.01f);
    return isInt_ ? std::max(1.0f, std::round(step)) : step;
  }
  float ResetValue() const { return reset_; }
  float Value() const { return value_; }

  float dragStart = 0.0f;
  bool dragging = false;

 private:
  void Store(float v) {
    if (!std::isfinite(v)) v = value_;
    if (isInt_) v = std::round(v);
    if (v > max_) v = max_;
    if (v < min_) v = min_;
    value_ = v;
    Show();
  }
  void Show() {
    if (!edit_) return;
    if (isInt_) {
      edit_->SetText(GetIVal());
    } else {
      edit_->SetText(value_, 3);
    }
  }

  float value_ = 0.0f;
  float min_ = -1e30f;
  float max_ = 1e30f;
  float scale_ = 0.1f;
  float reset_ = 0.0f;
  bool autoScale_ = false;
  bool isInt_ = false;
  EditImpl* edit_ = nullptr;
};

void EditImpl::Detach() {
  if (spinner) spinner->UnlinkEdit();
  spinner = nullptr;
  ControlBase::Detach();
}

void EditImpl::OnEnter() {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return;
  HWND self = hwnd_;
  if (spinner) spinner->TakeEditText();
  if (IsWindow(self)) SendMessageA(GetParent(self), WM_CUSTEDIT_ENTER, static_cast<WPARAM>(GetDlgCtrlID(self)),
                                   reinterpret_cast<LPARAM>(self));
}

void SpinnerImpl::LinkToEdit(HWND edit, int type) {
  if (edit_) edit_->spinner = nullptr;
  edit_ = nullptr;
  isInt_ = type == EDITTYPE_INT;
  auto* e = dynamic_cast<EditImpl*>(Impl(edit));
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

class ButtonImpl final : public ControlBase, public ICustButton {
 public:
  using ControlBase::ControlBase;
  HWND GetHwnd() override { return hwnd_; }
  void Enable(BOOL onOff) override {
    if (hwnd_) EnableWindow(hwnd_, onOff);
  }
  void Disable() override { Enable(FALSE); }
  BOOL IsEnabled() override { return hwnd_ ? IsWindowEnabled(hwnd_) : FALSE; }
  void SetText(const char* text) override {
    if (hwnd_) SetWindowTextA(hwnd_, text);
  }
  void GetText(char* buffer, int size) override { CopyOut(WindowText(hwnd_), buffer, size); }
  void SetDADMgr(DADMgr* manager) override { manager_ = manager; }
  DADMgr* GetDADMgr() override { return manager_; }

  bool pressed = false;

 private:
  DADMgr* manager_ = nullptr;
};

class SwatchImpl final : public ControlBase, public IColorSwatch {
 public:
  using ControlBase::ControlBase;
  HWND GetHwnd() override { return hwnd_; }
  void Enable(BOOL onOff) override {
    if (hwnd_) EnableWindow(hwnd_, onOff);
  }
  void Disable() override { Enable(FALSE); }
  BOOL IsEnabled() override { return hwnd_ ? IsWindowEnabled(hwnd_) : FALSE; }
  COLORREF SetColor(COLORREF color, int notify) override {
    COLORREF old = color_;
    color_ = color & 0xFFFFFFu;
    if (notify) Changed(true);
    return old;
  }
  COLORREF SetColor(const Color& c, int notify) override {
    return SetColor(RGB(ChannelByte(c.r), ChannelByte(c.g), ChannelByte(c.b)), notify);
  }
  COLORREF GetColor() override { return color_; }
  Color GetColorValue() override {
    return Color(static_cast<float>(GetRValue(color_)) / 255.0f, static_cast<float>(GetGValue(color_)) / 255.0f,
                 static_cast<float>(GetBValue(color_)) / 255.0f);
  }
  void Changed(bool final) {
    Notify(CC_COLOR_CHANGE, MAKEWPARAM(static_cast<WORD>(Id()), final ? 1 : 0),
           reinterpret_cast<LPARAM>(static_cast<IColorSwatch*>(this)));
  }

 private:
  COLORREF color_ = 0;
};

class ImageImpl final : public ControlBase, public ICustImage {
 public:
  using ControlBase::ControlBase;
  HWND GetHwnd() override { return hwnd_; }
  void Enable(BOOL onOff) override {
    if (hwnd_) EnableWindow(hwnd_, onOff);
  }
  void Disable() override { Enable(FALSE); }
  BOOL IsEnabled() override { return hwnd_ ? IsWindowEnabled(hwnd_) : FALSE; }
  void SetImage(HIMAGELIST list, int index, int width, int height) override {
    list_ = list;
    index_ = index;
    width_ = width;
    height_ = height;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
  }
  HIMAGELIST list_ = nullptr;
  int index_ = -1;
  int width_ = 0;
  int height_ = 0;
};

enum class Kind { Edit, Spinner, Button, Swatch, Image };

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

template <Kind K>
LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(Make(K, hwnd)));
      return 0;
    case WM_NCDESTROY:
      if (ControlBase* c = Impl(hwnd)) {
        SetWindowLongPtrA(hwnd, 0, 0);
        c->Detach();
        c->Release();
      }
      return 0;
    default:
      break;
  }
  if constexpr (K == Kind::Edit) {
    if (msg == WM_CHAR && wParam == static_cast<WPARAM>(VK_RETURN)) {
      if (auto* e = dynamic_cast<EditImpl*>(Impl(hwnd))) e->OnEnter();
      return 0;
    }
  }
  if constexpr (K == Kind::Button) {
    auto* b = dynamic_cast<ButtonImpl*>(Impl(hwnd));
    if (b && msg == WM_LBUTTONDOWN) {
      b->pressed = IsWindowEnabled(hwnd) != FALSE;
      return 0;
    }
    if (b && msg == WM_LBUTTONUP) {
      bool click = b->pressed && IsWindowEnabled(hwnd);
      b->pressed = false;
      if (click)
        SendMessageA(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* ClassName(Kind k) {
  switch (k) {
    case Kind::Edit: return "CustEdit";
    case Kind::Spinner: return "SpinnerControl";
    case Kind::Button: return "CustButton";
    case Kind::Swatch: return "ColorSwatch";
    case Kind::Image: return "CustImage";
  }
  return "";
}

template <Kind K>
void Register() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ControlProc<K>;
  wc.cbWndExtra = static_cast<int>(sizeof(LONG_PTR));
  wc.lpszClassName = ClassName(K);
  RegisterClassA(&wc);  // fails harmlessly when already registered
}

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

struct AutoRegister {
  AutoRegister() { RegisterCustomControls(); }
} autoRegister;

}  // namespace

void RegisterCustomControls() {
  Register<Kind::Edit>();
  Register<Kind::Spinner>();
  Register<Kind::Button>();
  Register<Kind::Swatch>();
  Register<Kind::Image>();
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

namespace test {

bool TypeInEdit(HWND edit, const char* text, bool pressEnter) {
  if (!dynamic_cast<EditImpl*>(Impl(edit))) return false;
  if (!IsWindowVisible(edit) || !IsWindowEnabled(edit)) return false;
  SetWindowTextA(edit, text);
  if (pressEnter) SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(VK_RETURN), 0);
  return true;
}

namespace {
SpinnerImpl* UsableSpinner(HWND spinner) {
  auto* s = dynamic_cast<SpinnerImpl*>(Impl(spinner));
  if (!s || !IsWindowVisible(spinner) || !IsWindowEnabled(spinner)) return nullptr;
  return s;
}
}  // namespace

bool DragSpinner(HWND spinner, int steps) {
  SpinnerImpl* s = UsableSpinner(spinner);
  if (!s) return false;
  WORD id = static_cast<WORD>(GetDlgCtrlID(spinner));
  if (!s->dragging) {
    s->dragging = true;
    s->dragStart = s->Value();
    s->Notify(CC_SPINNER_BUTTONDOWN, MAKEWPARAM(id, 0), s->Self());
  }
  int dir = steps < 0 ? -1 : 1;
  for (int i = 0; i != steps; i += dir) {
    if (!IsWindow(spinner)) return true;
    s->SetValue(s->Value() + static_cast<float>(dir) * s->Step(), FALSE);
    s->Notify(CC_SPINNER_CHANGE, MAKEWPARAM(id, TRUE), s->Self());
  }
  return true;
}

bool ReleaseSpinner(HWND spinner, bool cancel) {
  auto* s = dynamic_cast<SpinnerImpl*>(Impl(spinner));
  if (!s || !s->dragging) return false;
  s->dragging = false;
  if (cancel) s->SetValue(s->dragStart, FALSE);
  s->Notify(CC_SPINNER_BUTTONUP, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(spinner)), cancel ? FALSE : TRUE), s->Self());
  return true;
}

bool ResetSpinner(HWND spinner) {
  SpinnerImpl* s = UsableSpinner(spinner);
  if (!s) return false;
  WORD id = static_cast<WORD>(GetDlgCtrlID(spinner));
  s->SetValue(s->ResetValue(), FALSE);
  s->Notify(CC_SPINNER_CHANGE, MAKEWPARAM(id, FALSE), s->Self());
  s->Notify(CC_SPINNER_BUTTONUP, MAKEWPARAM(id, TRUE), s->Self());
  return true;
}

bool PickColor(HWND swatch, COLORREF color, bool final) {
  auto* s = dynamic_cast<SwatchImpl*>(Impl(swatch));
  if (!s || !IsWindowVisible(swatch) || !IsWindowEnabled(swatch)) return false;
  s->SetColor(color, FALSE);
  s->Changed(final);
  return true;
}

bool CustImageState(HWND image, HIMAGELIST* list, int* index, int* width, int* height) {
  auto* i = dynamic_cast<ImageImpl*>(Impl(image));
  if (!i) return false;
  if (list) *list = i->list_;
  if (index) *index = i->index_;
  if (width) *width = i->width_;
  if (height) *height = i->height_;
  return true;
}

int LiveControlObjects() { return liveControls; }

}  // namespace test

}  // namespace tessary::host
