#pragma once
// The host's custom controls: edit fields, spinners, buttons, colour swatches
// and images, used by plug-in panels through interfaces obtained from the
// control's window (GetICustEdit, GetISpinner, ...) and given back with the
// matching Release function. The controls are window classes ("CustEdit",
// "SpinnerControl", "CustButton", "ColorSwatch", "CustImage") that dialog
// templates of any module name: the host runtime registers them as global
// classes of its own module when it is loaded.
//
// What a person does with them:
// - CustEdit: click or Tab into it (its text is selected), type, Backspace,
//   Delete, arrows, Home, End. Return, or leaving the field after typing,
//   commits: a linked spinner takes the value, then the parent gets
//   WM_CUSTEDIT_ENTER. In a dialog with a default push button, Return is the
//   dialog's (it presses that button); the dialog reads the field itself.
// - SpinnerControl: two arrows. A click on an arrow steps the value once; a
//   press and vertical drag steps it by every kSpinnerPixelsPerStep pixels
//   (up increases); a right click during a drag cancels it, otherwise
//   restores the reset value.
// - CustButton: a push button, or a check button that stays in when pressed;
//   a click (mouse or Space) sends BN_CLICKED.
// - ColorSwatch: shows its colour; a click opens the host's colour picker.
// - CustImage: shows one image of an image list.
//
// An interface stays safe to use after its control's window is destroyed:
// it then does nothing and reports zero values, until it is released.

#include <cstdint>
#include <functional>

#include "host/sdk/color.h"
#include "platform/win32.h"

namespace tessary::host {

class ReferenceTarget;
using SClass_ID = std::uint32_t;

// Messages the controls send to their parent window.
// CC_SPINNER_*: LOWORD(wParam) = spinner ID, lParam = the ISpinnerControl*.
// For CC_SPINNER_CHANGE the high word is TRUE while the user drags; for
// CC_SPINNER_BUTTONUP it is TRUE when the drag was accepted, FALSE when cancelled.
inline constexpr UINT CC_SPINNER_CHANGE = WM_USER + 600;      // 1624
inline constexpr UINT CC_SPINNER_BUTTONDOWN = WM_USER + 601;  // 1625
inline constexpr UINT CC_SPINNER_BUTTONUP = WM_USER + 602;    // 1626
// LOWORD(wParam) = swatch ID, HIWORD(wParam) nonzero when the change is final
// (zero during interactive changes), lParam = the IColorSwatch*.
inline constexpr UINT CC_COLOR_CHANGE = WM_USER + 603;        // 1627
// Enter pressed in a custom edit: wParam = the edit's ID, lParam = its window.
inline constexpr UINT WM_CUSTEDIT_ENTER = WM_USER + 685;      // 1709

// Vertical mouse travel per step of a spinner drag.
inline constexpr int kSpinnerPixelsPerStep = 2;

// How a spinner shows its value in a linked edit.
inline constexpr int EDITTYPE_INT = 0;
#if __has_include("host/sdk/iparamb2.h")
}  // namespace tessary::host
#include "host/sdk/iparamb2.h"  // declares EDITTYPE_FLOAT for parameter bindings
namespace tessary::host {
#else
inline constexpr int EDITTYPE_FLOAT = 1;
#endif

// Drag and drop of references between controls. A manager decides what a
// control offers and accepts; the texture-map manager comes with the editor.
class DADMgr {
 public:
  virtual ~DADMgr() = default;
  // The super class of what is dragged from hwnd (0: nothing).
  virtual SClass_ID GetDragType(HWND hwnd, POINT p) = 0;
  virtual BOOL OkToDrop(ReferenceTarget* dropThis, HWND from, HWND to, POINT p, SClass_ID type, BOOL isNew) = 0;
  // What is dragged from hwnd.
  virtual ReferenceTarget* GetInstance(HWND hwnd, POINT p, SClass_ID type) = 0;
  virtual void Drop(ReferenceTarget* dropThis, HWND hwnd, POINT p, SClass_ID type) = 0;
  // Whether the manager handles drags between its own controls itself.
  virtual BOOL LetMeHandleLocalDAD() { return FALSE; }
  virtual void LocalDragAndDrop(HWND /*from*/, HWND /*to*/, POINT /*p*/) {}
};

class ICustomControl {
 public:
  virtual HWND GetHwnd() = 0;
  virtual void Enable(BOOL onOff = TRUE) = 0;
  virtual void Disable() = 0;
  virtual BOOL IsEnabled() = 0;

 protected:
  virtual ~ICustomControl() = default;
};

class ICustEdit : public ICustomControl {
 public:
  // Copies at most size - 1 characters and a NUL.
  virtual void GetText(char* buffer, int size) = 0;
  virtual void SetText(const char* text) = 0;
  virtual void SetText(int value) = 0;
  virtual void SetText(float value, int precision = 3) = 0;
  // The leading number of the text; *valid (when given) tells whether the
  // whole text was a number. Text without a leading number gives 0.
  virtual int GetInt(BOOL* valid = nullptr) = 0;
  virtual float GetFloat(BOOL* valid = nullptr) = 0;
};

class ISpinnerControl : public ICustomControl {
 public:
  virtual float GetFVal() = 0;
  virtual int GetIVal() = 0;  // the value rounded to the nearest integer
  // Values are kept within [min, max]; when min > max, min wins. With
  // limitCurValue the current value is clamped at once.
  virtual void SetLimits(float min, float max, BOOL limitCurValue = TRUE) = 0;
  virtual void SetLimits(int min, int max, BOOL limitCurValue = TRUE) = 0;
  // Clamps to the limits (an integer spinner also rounds) and shows the value
  // in the linked edit; with notify the parent gets CC_SPINNER_CHANGE.
  virtual void SetValue(float value, int notify) = 0;
  virtual void SetValue(int value, int notify) = 0;
  virtual void SetScale(float scale) = 0;  // value change per step of a drag
  virtual float GetScale() = 0;
  virtual void SetResetValue(float value) = 0;  // the value a right click restores
  virtual void SetResetValue(int value) = 0;
  // Automatic scale: a drag step grows with the value (1 % of it, at least the scale).
  virtual void SetAutoScale(BOOL on = TRUE) = 0;
  // The edit field shows the value; Enter in it sets the value from its text
  // before the edit's WM_CUSTEDIT_ENTER reaches the parent. Enabling or
  // disabling the spinner does the same to the linked edit.
  virtual void LinkToEdit(HWND edit, int type) = 0;
};

// Kinds of custom button: a push button springs back, a check button stays
// in (checked) until pressed again.
inline constexpr int CBT_PUSH = 0;
inline constexpr int CBT_CHECK = 1;

class ICustButton : public ICustomControl {
 public:
  virtual void SetText(const char* text) = 0;
  virtual void GetText(char* buffer, int size) = 0;
  virtual void SetType(int type) = 0;
  virtual void SetCheck(BOOL checked) = 0;
  virtual BOOL IsChecked() = 0;
  virtual void SetDADMgr(DADMgr* manager) = 0;
  virtual DADMgr* GetDADMgr() = 0;
};

class IColorSwatch : public ICustomControl {
 public:
  // Both return the previous colour. A Color converts each channel to the
  // low 8 bits of trunc(c * 255 + 0.5); non-finite channels become 0.
  virtual COLORREF SetColor(COLORREF color, int notify = FALSE) = 0;
  virtual COLORREF SetColor(const Color& color, int notify = FALSE) = 0;
  virtual COLORREF GetColor() = 0;
  virtual Color GetColorValue() = 0;  // each channel c / 255
};

class ICustImage : public ICustomControl {
 public:
  virtual void SetImage(HIMAGELIST list, int index, int width, int height) = 0;
};

// Interfaces of a control window; null when hwnd is not such a control.
ICustEdit* GetICustEdit(HWND hwnd);
void ReleaseICustEdit(ICustEdit* control);
ISpinnerControl* GetISpinner(HWND hwnd);
void ReleaseISpinner(ISpinnerControl* control);
ICustButton* GetICustButton(HWND hwnd);
void ReleaseICustButton(ICustButton* control);
IColorSwatch* GetIColorSwatch(HWND hwnd);
void ReleaseIColorSwatch(IColorSwatch* control);
ICustImage* GetICustImage(HWND hwnd);
void ReleaseICustImage(ICustImage* control);

// Links spinner spinId of the dialog to edit editId and sets its limits,
// scale and value (without notification). Returns the spinner interface,
// which the caller releases; null when the spinner is missing.
ISpinnerControl* SetupFloatSpinner(HWND dialog, int spinId, int editId, float min, float max, float value,
                                   float scale = 0.1f);
ISpinnerControl* SetupIntSpinner(HWND dialog, int spinId, int editId, int min, int max, int value);

void SetCheckBox(HWND dialog, int id, BOOL checked);
// Moves the window so that its centre is the parent's centre.
void CenterWindow(HWND hwnd, HWND parent);

// Registers the control classes; idempotent. Runs when the host runtime is
// loaded.
void RegisterCustomControls();

// The host's colour picker, opened by a click on a colour swatch. It starts
// from `color`, reports colours the user tries on the way through `interim`,
// and returns true with the chosen colour in `color`, or false when the user
// cancels. The standard picker is the system's colour dialog on Windows;
// headless there is none (every pick is cancelled) until one is set.
using ColorPicker = std::function<bool(HWND owner, COLORREF& color, const std::function<void(COLORREF)>& interim)>;
// Sets the picker (null: the standard one) and returns the previous one.
ColorPicker SetColorPicker(ColorPicker picker);

}  // namespace tessary::host
