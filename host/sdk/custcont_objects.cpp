// The objects behind the host's custom control windows: what each control's
// interface does.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "host/sdk/custcont_impl.h"

namespace tessary::host::detail {

// --- Edit ---

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
  Control::Enable(onOff);
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


void ImageImpl::SetImage(HIMAGELIST l, int i, int w, int h) {
  list = l;
  index = i;
  width = w;
  height = h;
  Redraw();
}

}  // namespace tessary::host::detail
