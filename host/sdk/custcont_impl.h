#pragma once
// Inside the host's custom controls: the object behind each control window
// and its interface. Shared by the interface functions (custcont.cpp), the
// objects' methods (custcont_objects.cpp), the window procedures
// (custcont_windows.cpp, custcont_edit.cpp) and the tests' hooks.

#include <string>

#include "host/sdk/custcont.h"

namespace tessary::host::detail {

enum class Kind { Edit, Spinner, Button, Swatch, Image };

// Every control keeps its object at offset 0 of its window storage. The
// window holds one reference and every Get another; the object goes when
// the last is given back.
class ControlBase {
 public:
  explicit ControlBase(HWND hwnd);
  virtual ~ControlBase();
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
  void Redraw() const {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
  }

  HFONT font = nullptr;  // from WM_SETFONT

 protected:
  HWND hwnd_;

 private:
  int refs_ = 1;
};

// Number of control objects alive.
int LiveControls();

// What every control object answers the same way through its interface:
// its window, and enabling it (the window is enabled or disabled).
template <class Interface>
class Control : public ControlBase, public Interface {
 public:
  using ControlBase::ControlBase;
  HWND GetHwnd() override { return hwnd_; }
  void Enable(BOOL onOff) override {
    if (hwnd_) EnableWindow(hwnd_, onOff);
  }
  void Disable() override { Enable(FALSE); }
  BOOL IsEnabled() override { return hwnd_ ? IsWindowEnabled(hwnd_) : FALSE; }
};

class SpinnerImpl;

class EditImpl final : public Control<ICustEdit> {
 public:
  using Control::Control;
  void GetText(char* buffer, int size) override;
  void SetText(const char* text) override;
  void SetText(int value) override;
  void SetText(float value, int precision) override;
  int GetInt(BOOL* valid) override;
  float GetFloat(BOOL* valid) override;
  void Detach() override;

  std::string Text() const;
  // Return, or focus lost after typing: the linked spinner takes the text,
  // then the parent gets WM_CUSTEDIT_ENTER.
  void Commit();

  SpinnerImpl* spinner = nullptr;  // the spinner linked to this edit
  // Editing state: caret and selection anchor (character positions), and
  // whether the user changed the text since it was set or committed.
  int caret = 0;
  int anchor = 0;
  bool dirty = false;
};

class SpinnerImpl final : public Control<ISpinnerControl> {
 public:
  using Control::Control;
  // Also enables or disables the linked edit.
  void Enable(BOOL onOff) override;
  float GetFVal() override { return value_; }
  int GetIVal() override;
  void SetLimits(float min, float max, BOOL limitCurValue) override;
  void SetLimits(int min, int max, BOOL limitCurValue) override {
    SetLimits(static_cast<float>(min), static_cast<float>(max), limitCurValue);
  }
  void SetValue(float value, int notify) override;
  void SetValue(int value, int notify) override { SetValue(static_cast<float>(value), notify); }
  void SetScale(float scale) override;
  float GetScale() override { return scale_; }
  void SetResetValue(float value) override { reset_ = value; }
  void SetResetValue(int value) override { reset_ = static_cast<float>(value); }
  void SetAutoScale(BOOL on) override { autoScale_ = on != FALSE; }
  void LinkToEdit(HWND edit, int type) override;
  void Detach() override;

  LPARAM Self() { return reinterpret_cast<LPARAM>(static_cast<ISpinnerControl*>(this)); }
  void UnlinkEdit() { edit_ = nullptr; }
  void TakeEditText();
  // The value change of one step (the scale; with automatic scale at least
  // 1 % of the value; whole numbers for an integer spinner).
  float Step() const;
  float ResetValue() const { return reset_; }
  float Value() const { return value_; }

  // Mouse state: a drag runs from the press until the button goes up.
  bool dragging = false;
  bool moved = false;      // the mouse travelled at least one step
  int pressPart = 0;       // +1: the upper arrow was pressed, -1: the lower one
  int pressY = 0;          // where the press was (client y)
  int mouseY = 0;          // where the mouse is now
  int stepsDone = 0;       // steps applied during this drag
  float dragStart = 0.0f;  // the value at the press

 private:
  void Store(float v);
  void Show();

  float value_ = 0.0f;
  float min_ = -1e30f;
  float max_ = 1e30f;
  float scale_ = 0.1f;
  float reset_ = 0.0f;
  bool autoScale_ = false;
  bool isInt_ = false;
  EditImpl* edit_ = nullptr;
};

class ButtonImpl final : public Control<ICustButton> {
 public:
  using Control::Control;
  void SetText(const char* text) override;
  void GetText(char* buffer, int size) override;
  void SetType(int type) override { checkType_ = type == CBT_CHECK; }
  void SetCheck(BOOL checked) override;
  BOOL IsChecked() override { return checked_ ? TRUE : FALSE; }
  void SetDADMgr(DADMgr* manager) override { manager_ = manager; }
  DADMgr* GetDADMgr() override { return manager_; }

  // A completed press: a check button toggles, then BN_CLICKED.
  void Click();

  bool pressed = false;  // the mouse or Space holds it down
  bool inside = false;   // the mouse is over it while pressed

 private:
  DADMgr* manager_ = nullptr;
  bool checkType_ = false;
  bool checked_ = false;
};

class SwatchImpl final : public Control<IColorSwatch> {
 public:
  using Control::Control;
  COLORREF SetColor(COLORREF color, int notify) override;
  COLORREF SetColor(const Color& color, int notify) override;
  COLORREF GetColor() override { return color_; }
  Color GetColorValue() override;
  void Changed(bool final);
  // Opens the host's colour picker (a click on the swatch).
  void Pick();

  bool pressed = false;

 private:
  COLORREF color_ = 0;
};

class ImageImpl final : public Control<ICustImage> {
 public:
  using Control::Control;
  void SetImage(HIMAGELIST list, int index, int width, int height) override;

  HIMAGELIST list = nullptr;
  int index = -1;
  int width = 0;
  int height = 0;
};

// Class names compare as Windows compares them: without regard to case.
bool SameName(const char* a, const char* b);

// The window's text ("" for null).
std::string WindowText(HWND hwnd);
// Copies at most size - 1 characters of s and a NUL into buffer.
void CopyOut(const std::string& s, char* buffer, int size);
// "100.0", "1.5", "0.001": at most `precision` decimals, trailing zeros
// dropped but one kept.
std::string FormatFloat(float v, int precision);
// A colour channel (0 to 1) as a byte, rounded.
BYTE ChannelByte(float c);

// The control object of one of our windows; null for any other window.
ControlBase* Impl(HWND hwnd);
template <class T>
T* ImplAs(HWND hwnd) {
  return dynamic_cast<T*>(Impl(hwnd));
}
ControlBase* Make(Kind kind, HWND hwnd);

// The window procedure of each kind (custcont_windows.cpp, the edit's in
// custcont_edit.cpp).
LRESULT CALLBACK EditWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SpinnerWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ButtonWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SwatchWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ImageWndProc(HWND, UINT, WPARAM, LPARAM);

// The picker a swatch click opens.
const ColorPicker& CurrentColorPicker();

// Whether a person could reach the window: it and its ancestors are visible
// and enabled.
bool Reachable(HWND hwnd);

}  // namespace tessary::host::detail
