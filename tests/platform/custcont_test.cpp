// The host's custom controls, driven as a person would drive them (mouse and
// keyboard messages), inside the product's own dialog templates.

#include "host/sdk/custcont.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/support/custcont_test_hooks.h"
#include "resources/resource.h"
#include "tests/support/win32_user.h"

namespace tessary::host {
namespace {

namespace ht = tessary::testsupport;

struct Msg {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Msg> received;

// What the controls send their parent (the dialog manager's own DM_GETDEFID
// and DM_SETDEFID are left out).
INT_PTR CALLBACK RecordingPanel(HWND, UINT m, WPARAM w, LPARAM l) {
  if ((m >= WM_USER + 2 && m < 0x8000) || m == WM_COMMAND) received.push_back({m, w, l});
  return m == WM_INITDIALOG ? TRUE : FALSE;
}

HINSTANCE Program() { return GetModuleHandleA(nullptr); }

LRESULT CALLBACK OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

class CustomControls : public ::testing::Test {
 protected:
  void SetUp() override {
    ht::ResetUserInterface();
    received.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = Program();
    wc.lpszClassName = "ControlsOwner";
    RegisterClassA(&wc);
    owner = CreateWindowExA(0, "ControlsOwner", "owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 500, 600, nullptr, nullptr,
                            Program(), nullptr);
    ASSERT_NE(owner, nullptr);
    panel = Page(IDD_OUTPUT);
    ASSERT_NE(panel, nullptr);
  }
  void TearDown() override {
    ht::ResetUserInterface();
    EXPECT_EQ(test::LiveControlObjects(), 0);
  }
  // A page of the product's templates (a child window: it needs a parent).
  HWND Page(int id) const { return CreateDialogParamA(Program(), MAKEINTRESOURCEA(id), owner, RecordingPanel, 0); }
  HWND Item(int id) const { return GetDlgItem(panel, id); }
  HWND owner = nullptr;
  HWND panel = nullptr;
};

TEST_F(CustomControls, InterfacesOnlyForTheirOwnClass) {
  ICustEdit* edit = GetICustEdit(Item(IDC_BRIGHT_EDIT));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->GetHwnd(), Item(IDC_BRIGHT_EDIT));
  EXPECT_EQ(GetISpinner(Item(IDC_BRIGHT_EDIT)), nullptr);
  EXPECT_EQ(GetICustEdit(Item(IDC_OUTPUT_ON)), nullptr);  // a standard check box
  EXPECT_EQ(GetICustButton(panel), nullptr);               // the dialog itself
  EXPECT_EQ(GetIColorSwatch(nullptr), nullptr);
  // The interface outlives its window safely.
  DestroyWindow(panel);
  EXPECT_EQ(edit->GetHwnd(), nullptr);
  edit->SetText("x");
  char buf[8] = "junk";
  edit->GetText(buf, sizeof buf);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(test::LiveControlObjects(), 1);
  ReleaseICustEdit(edit);
  EXPECT_EQ(test::LiveControlObjects(), 0);
}

TEST_F(CustomControls, EditNumbersAndEnter) {
  ICustEdit* edit = GetICustEdit(Item(IDC_ALPHA_EDIT));
  struct Case {
    const char* text;
    int i;
    BOOL intValid;
    float f;
    BOOL floatValid;
  };
  const Case cases[] = {{"12", 12, TRUE, 12.0f, TRUE},  {"7abc", 7, FALSE, 7.0f, FALSE},
                        {"abc", 0, FALSE, 0.0f, FALSE}, {"", 0, FALSE, 0.0f, FALSE},
                        {"2.5", 2, FALSE, 2.5f, TRUE},  {"-3", -3, TRUE, -3.0f, TRUE}};
  for (const Case& c : cases) {
    edit->SetText(c.text);
    BOOL iv = 2, fv = 2;
    EXPECT_EQ(edit->GetInt(&iv), c.i) << c.text;
    EXPECT_EQ(iv, c.intValid) << c.text;
    EXPECT_EQ(edit->GetFloat(&fv), c.f) << c.text;
    EXPECT_EQ(fv, c.floatValid) << c.text;
  }
  received.clear();
  ASSERT_TRUE(test::TypeInEdit(Item(IDC_ALPHA_EDIT), "9"));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].msg, WM_CUSTEDIT_ENTER);
  EXPECT_EQ(received[0].msg, 1709u);
  EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(IDC_ALPHA_EDIT));
  // Typed but not entered: leaving the field commits it, once.
  received.clear();
  ASSERT_TRUE(test::TypeInEdit(Item(IDC_ALPHA_EDIT), "12", false));
  EXPECT_TRUE(received.empty());
  ht::Focus(Item(IDC_BRIGHT_EDIT));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].msg, WM_CUSTEDIT_ENTER);
  ht::Focus(Item(IDC_ALPHA_EDIT));
  ht::Focus(Item(IDC_BRIGHT_EDIT));
  EXPECT_EQ(received.size(), 1u);  // nothing typed this time
  edit->Disable();
  EXPECT_FALSE(test::TypeInEdit(Item(IDC_ALPHA_EDIT), "10"));
  ReleaseICustEdit(edit);
}

TEST_F(CustomControls, EditKeysAndDialogCode) {
  HWND w = Item(IDC_ALPHA_EDIT);
  ICustEdit* edit = GetICustEdit(w);
  edit->SetText("123");
  ht::Focus(w);
  const auto sel = static_cast<DWORD>(SendMessageA(w, EM_GETSEL, 0, 0));
  EXPECT_EQ(LOWORD(sel), 0);  // the focus selects the whole text
  EXPECT_EQ(HIWORD(sel), 3);
  struct Step {
    WPARAM key;
    bool isChar;
    const char* after;
  };
  const Step steps[] = {{VK_END, false, "123"}, {'\b', true, "12"},   {VK_HOME, false, "12"},
                        {'9', true, "912"},      {VK_DELETE, false, "92"}, {VK_RIGHT, false, "92"},
                        {'.', true, "92."},      {'5', true, "92.5"}};
  for (const Step& st : steps) {
    SendMessageA(w, st.isChar ? WM_CHAR : WM_KEYDOWN, st.key, 1);
    char text[16];
    edit->GetText(text, sizeof text);
    EXPECT_STREQ(text, st.after) << st.key;
  }
  // It wants characters and arrows; Return only where no default button
  // would take it (this panel has none).
  MSG ret{w, WM_KEYDOWN, VK_RETURN, 1, 0, POINT{0, 0}};
  const LRESULT code = SendMessageA(w, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&ret));
  EXPECT_TRUE(code & DLGC_WANTCHARS);
  EXPECT_TRUE(code & DLGC_WANTMESSAGE);
  EXPECT_FALSE(SendMessageA(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTMESSAGE);
  ReleaseICustEdit(edit);
}

TEST_F(CustomControls, FloatSpinnerClampsShowsAndTakesTypedValues) {
  ISpinnerControl* spin = SetupFloatSpinner(panel, IDC_GAMMA_SPIN, IDC_GAMMA_EDIT, 0.001f, 10000000.0f, 1.0f, 0.01f);
  ASSERT_NE(spin, nullptr);
  ICustEdit* edit = GetICustEdit(Item(IDC_GAMMA_EDIT));
  struct Case {
    const char* typed;
    float value;
    const char* shown;
  };
  const Case cases[] = {{"150", 150.0f, "150.0"}, {"0", 0.001f, "0.001"}, {"-4", 0.001f, "0.001"},
                        {"2.5", 2.5f, "2.5"},     {"abc", 2.5f, "2.5"},   {"1e9", 10000000.0f, "10000000.0"}};
  for (const Case& c : cases) {
    received.clear();
    ASSERT_TRUE(test::TypeInEdit(Item(IDC_GAMMA_EDIT), c.typed));
    EXPECT_EQ(spin->GetFVal(), c.value) << c.typed;
    char shown[32];
    edit->GetText(shown, sizeof shown);
    EXPECT_STREQ(shown, c.shown) << c.typed;
    // The spinner has the value before the parent hears of the Enter.
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, WM_CUSTEDIT_ENTER);
  }
  // SetValue without notify sends nothing; with notify, CC_SPINNER_CHANGE.
  received.clear();
  spin->SetValue(3.0f, FALSE);
  EXPECT_TRUE(received.empty());
  spin->SetValue(4.0f, TRUE);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].msg, CC_SPINNER_CHANGE);
  EXPECT_EQ(received[0].lParam, reinterpret_cast<LPARAM>(spin));
  // Disabling the spinner disables its edit: no value can reach it by typing.
  spin->Disable();
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_GAMMA_EDIT)));
  EXPECT_FALSE(test::TypeInEdit(Item(IDC_GAMMA_EDIT), "7"));
  spin->Enable();
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_GAMMA_EDIT)));
  ReleaseICustEdit(edit);
  ReleaseISpinner(spin);
}

TEST_F(CustomControls, SpinnerDragSendsButtonUpOnRelease) {
  ISpinnerControl* spin = SetupFloatSpinner(panel, IDC_BRIGHT_SPIN, IDC_BRIGHT_EDIT, -100.0f, 100.0f, 10.0f, 1.0f);
  spin->SetResetValue(100.0f);
  received.clear();
  ASSERT_TRUE(test::DragSpinner(Item(IDC_BRIGHT_SPIN), 3));
  EXPECT_EQ(spin->GetFVal(), 13.0f);
  ASSERT_EQ(received.size(), 4u);
  EXPECT_EQ(received[0].msg, CC_SPINNER_BUTTONDOWN);
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(received[i].msg, CC_SPINNER_CHANGE);
    EXPECT_EQ(HIWORD(received[i].wParam), TRUE);
  }
  ASSERT_TRUE(test::ReleaseSpinner(Item(IDC_BRIGHT_SPIN)));
  EXPECT_EQ(received.size(), 5u);  // no click step after a drag
  EXPECT_EQ(received.back().msg, 1626u);
  EXPECT_EQ(LOWORD(received.back().wParam), IDC_BRIGHT_SPIN);
  EXPECT_EQ(HIWORD(received.back().wParam), TRUE);
  // A cancelled drag goes back to where it started.
  test::DragSpinner(Item(IDC_BRIGHT_SPIN), -500);
  EXPECT_EQ(spin->GetFVal(), -100.0f);  // clamped at the limit
  test::ReleaseSpinner(Item(IDC_BRIGHT_SPIN), true);
  EXPECT_EQ(spin->GetFVal(), 13.0f);
  EXPECT_EQ(HIWORD(received.back().wParam), FALSE);
  EXPECT_FALSE(test::ReleaseSpinner(Item(IDC_BRIGHT_SPIN)));  // not pressed
  // Right click: the reset value.
  ASSERT_TRUE(test::ResetSpinner(Item(IDC_BRIGHT_SPIN)));
  EXPECT_EQ(spin->GetFVal(), 100.0f);
  EXPECT_EQ(received.back().msg, CC_SPINNER_BUTTONUP);
  // A click on an arrow: one step, then the button-up message.
  struct Click {
    bool up;
    float after;
  };
  for (const Click& c : {Click{true, 100.0f}, Click{false, 99.0f}, Click{false, 98.0f}, Click{true, 99.0f}}) {
    received.clear();
    ASSERT_TRUE(test::ClickSpinnerArrow(Item(IDC_BRIGHT_SPIN), c.up));
    EXPECT_EQ(spin->GetFVal(), c.after) << c.up;
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].msg, CC_SPINNER_CHANGE);
    EXPECT_EQ(received[2].msg, CC_SPINNER_BUTTONUP);
    EXPECT_EQ(ht::Text(Item(IDC_BRIGHT_EDIT)), c.after == 100.0f ? "100.0" : (c.after == 99.0f ? "99.0" : "98.0"));
  }
  spin->Disable();
  EXPECT_FALSE(test::ClickSpinnerArrow(Item(IDC_BRIGHT_SPIN), true));
  ReleaseISpinner(spin);
}

INT_PTR CALLBACK LayerCountProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_INITDIALOG) {
    ReleaseISpinner(SetupIntSpinner(h, IDC_COUNT_SPIN, IDC_COUNT_EDIT, 2, 1000, static_cast<int>(l)));
    CenterWindow(h, GetParent(h));
    return TRUE;
  }
  if (m == WM_COMMAND) {
    if (LOWORD(w) == IDOK) {
      ISpinnerControl* s = GetISpinner(GetDlgItem(h, IDC_COUNT_SPIN));
      EndDialog(h, s->GetIVal());
      ReleaseISpinner(s);
    } else if (LOWORD(w) == IDCANCEL) {
      EndDialog(h, -1);
    }
    return TRUE;
  }
  return FALSE;
}

TEST_F(CustomControls, IntegerSpinnerInAModalDialog) {
  struct Case {
    const char* typed;  // null: answer with Cancel
    INT_PTR result;
  };
  const Case cases[] = {{"5", 5}, {"4.6", 5}, {"1", 2}, {"5000", 1000}, {"x", 7}, {nullptr, -1}};
  for (const Case& c : cases) {
    ht::AnswerNextDialog([&](HWND dlg) {
      EXPECT_EQ(ht::Text(GetDlgItem(dlg, IDC_COUNT_EDIT)), "7");  // the initial value, as an integer
      // The field has the focus from the start.
      EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDC_COUNT_EDIT));
      if (!c.typed) {
        ht::ClickDlgButton(dlg, IDCANCEL);
        return;
      }
      // Typed, then OK clicked: the field loses the focus to the button and
      // commits before the click arrives.
      test::TypeInEdit(GetDlgItem(dlg, IDC_COUNT_EDIT), c.typed, false);
      ht::ClickDlgButton(dlg, IDOK);
    });
    EXPECT_EQ(DialogBoxParamA(Program(), MAKEINTRESOURCEA(IDD_SET_NUMBER), panel, LayerCountProc, 7), c.result)
        << (c.typed ? c.typed : "cancel");
  }
  // Limits the wrong way round (the Delete dialog with one layer): the minimum wins.
  ISpinnerControl* s = SetupIntSpinner(panel, IDC_R_SPIN, IDC_R_EDIT, 1, 0, 0);
  EXPECT_EQ(s->GetIVal(), 1);
  ReleaseISpinner(s);
}

TEST_F(CustomControls, ColourSwatchMessagesCarryTheFinalFlag) {
  HWND layers = Page(IDD_LAYERS);
  HWND swatchWnd = GetDlgItem(layers, IDC_LAYER_COLOR2);
  IColorSwatch* swatch = GetIColorSwatch(swatchWnd);
  ASSERT_NE(swatch, nullptr);
  struct Case {
    Color in;
    COLORREF out;
  };
  const Case cases[] = {{{0.5f, 0.5f, 0.5f}, RGB(128, 128, 128)},
                        {{1.0f, 0.0f, 0.2f}, RGB(255, 0, 51)},
                        {{1.5f, -0.002f, 2.0f}, RGB(127, 0, 254)},  // low 8 bits of 383, 0 and 510
                        {{-1.0f, 0.0f, 0.0f}, RGB(1, 0, 0)}};        // trunc(-254.5) = -254, low 8 bits 2
  for (const Case& c : cases) {
    received.clear();
    swatch->SetColor(c.in, FALSE);
    EXPECT_TRUE(received.empty());
    if (c.in.r < 0.0f) {
      EXPECT_EQ(GetRValue(swatch->GetColor()), 2);
    } else {
      EXPECT_EQ(swatch->GetColor(), c.out);
    }
  }
  EXPECT_EQ(swatch->GetColorValue(), Color(2.0f / 255.0f, 0.0f, 0.0f));
  // A click opens the picker: colours tried on the way, then the one taken.
  received.clear();
  ASSERT_TRUE(test::PickColors(swatchWnd, {RGB(10, 20, 30)}, RGB(40, 50, 60)));
  ASSERT_EQ(received.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(received[i].msg, 1627u);
    EXPECT_EQ(LOWORD(received[i].wParam), IDC_LAYER_COLOR2);
    EXPECT_EQ(HIWORD(received[i].wParam), i == 1 ? 1 : 0);
    EXPECT_EQ(received[i].lParam, reinterpret_cast<LPARAM>(swatch));
  }
  EXPECT_EQ(swatch->GetColor(), RGB(40, 50, 60));
  // Cancelled after trying a colour: the first colour comes back, not final.
  received.clear();
  ASSERT_TRUE(test::PickColors(swatchWnd, {RGB(1, 2, 3)}, std::nullopt));
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(HIWORD(received[1].wParam), 0);
  EXPECT_EQ(swatch->GetColor(), RGB(40, 50, 60));
  // Cancelled at once: nothing.
  received.clear();
  ASSERT_TRUE(test::PickColors(swatchWnd, {}, std::nullopt));
  EXPECT_TRUE(received.empty());
  swatch->Disable();
  EXPECT_FALSE(test::PickColors(swatchWnd, {}, RGB(1, 1, 1)));
  ReleaseIColorSwatch(swatch);
}

class CountingDad : public DADMgr {
 public:
  SClass_ID GetDragType(HWND, POINT) override { return 0xC10; }
  BOOL OkToDrop(ReferenceTarget*, HWND, HWND, POINT, SClass_ID, BOOL) override { return TRUE; }
  ReferenceTarget* GetInstance(HWND, POINT, SClass_ID) override { return nullptr; }
  void Drop(ReferenceTarget*, HWND, POINT, SClass_ID) override {}
};

TEST_F(CustomControls, ButtonsAndImages) {
  HWND layers = Page(IDD_LAYERS);
  ICustButton* button = GetICustButton(GetDlgItem(layers, IDC_MASK_BUTTON1));
  ASSERT_NE(button, nullptr);
  button->SetText("Mask: None");
  char text[32];
  button->GetText(text, sizeof text);
  EXPECT_STREQ(text, "Mask: None");
  CountingDad dad;
  button->SetDADMgr(&dad);
  EXPECT_EQ(button->GetDADMgr(), &dad);
  received.clear();
  ASSERT_TRUE(ht::ClickButton(button->GetHwnd()));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].msg, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(LOWORD(received[0].wParam), IDC_MASK_BUTTON1);
  EXPECT_EQ(GetFocus(), button->GetHwnd());
  // A check button stays in until pressed again; Space presses it too.
  button->SetType(CBT_CHECK);
  ASSERT_TRUE(ht::ClickButton(button->GetHwnd()));
  EXPECT_TRUE(button->IsChecked());
  received.clear();
  SendMessageA(button->GetHwnd(), WM_KEYDOWN, VK_SPACE, 1);
  SendMessageA(button->GetHwnd(), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0000001u));
  EXPECT_FALSE(button->IsChecked());
  EXPECT_EQ(received.size(), 1u);
  button->Disable();
  EXPECT_FALSE(ht::ClickButton(button->GetHwnd()));
  ReleaseICustButton(button);

  HWND about = Page(IDD_ABOUT);
  ICustImage* image = GetICustImage(GetDlgItem(about, IDC_BANNER));
  ASSERT_NE(image, nullptr);
  HIMAGELIST list = ImageList_Create(160, 56, ILC_COLORDDB, 1, 0);
  image->SetImage(list, 0, 160, 56);
  HIMAGELIST shownList = nullptr;
  int index = -1, w = 0, h = 0;
  ASSERT_TRUE(test::CustImageState(GetDlgItem(about, IDC_BANNER), &shownList, &index, &w, &h));
  EXPECT_EQ(shownList, list);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 56);
  ReleaseICustImage(image);
}

TEST_F(CustomControls, CheckBoxAndCentring) {
  SetCheckBox(panel, IDC_MONO, TRUE);
  EXPECT_EQ(IsDlgButtonChecked(panel, IDC_MONO), BST_CHECKED);
  SetCheckBox(panel, IDC_MONO, FALSE);
  EXPECT_EQ(IsDlgButtonChecked(panel, IDC_MONO), BST_UNCHECKED);
  // A pop-up centred over its owner (what the count dialogs do).
  HWND popup = CreateWindowExA(0, "ControlsOwner", "popup", WS_POPUP, 3, 4, 50, 31, owner, nullptr, Program(), nullptr);
  CenterWindow(popup, owner);
  RECT r{}, p{};
  GetWindowRect(popup, &r);
  GetWindowRect(owner, &p);
  EXPECT_EQ(r.right - r.left, 50);
  // Centres agree to within the half unit an odd size leaves.
  EXPECT_LE(std::abs((r.left + r.right) - (p.left + p.right)), 1);
  EXPECT_LE(std::abs((r.top + r.bottom) - (p.top + p.bottom)), 1);
}

}  // namespace
}  // namespace tessary::host
