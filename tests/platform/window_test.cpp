// Windows, messages, built-in controls, dialogs and resources: the Win32
// behaviour the product relies on. On Windows this checks the system itself;
// elsewhere the headless subset, which must behave the same.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "resources/resource.h"
#include "tests/support/win32_user.h"
#ifdef _WIN32
#else
#include <dlfcn.h>

#include "tests/support/headless_test_hooks.h"
#endif

namespace {

namespace t = tessary::testsupport;

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> seen;

// The messages these tests look at; Windows sends many more (sizing,
// activation, non-client painting), which the subset leaves out.
bool Watched(UINT m) {
  switch (m) {
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_PAINT:
    case WM_INITDIALOG:
    case WM_COMMAND:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_TIMER:
      return true;
    default:
      return m >= WM_USER + 2 && m < 0x8000;
  }
}

INT_PTR CALLBACK RecordDialog(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (Watched(m)) seen.push_back({h, m, w, l});
  return m == WM_INITDIALOG ? TRUE : FALSE;
}

LRESULT CALLBACK RecordProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (Watched(m)) seen.push_back({h, m, w, l});
  return DefWindowProcA(h, m, w, l);
}

std::vector<UINT> Messages(HWND h, UINT only = 0) {
  std::vector<UINT> out;
  for (const Seen& s : seen)
    if (s.hwnd == h && (!only || s.msg == only)) out.push_back(s.msg);
  return out;
}

const Seen* First(HWND h, UINT msg) {
  for (const Seen& s : seen)
    if (s.hwnd == h && s.msg == msg) return &s;
  return nullptr;
}

// The children of a window, in creation order.
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
  return out;
}

HINSTANCE Program() { return GetModuleHandleA(nullptr); }

class Win32 : public ::testing::Test {
 protected:
  void SetUp() override {
    t::ResetUserInterface();
    seen.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordProc;
    wc.cbWndExtra = 16;
    wc.hInstance = Program();
    wc.lpszClassName = "Recorder";
    RegisterClassA(&wc);  // once per program
  }
  void TearDown() override { t::ResetUserInterface(); }
  HWND Top(DWORD style = WS_VISIBLE) {
    HWND h = CreateWindowExA(0, "Recorder", "top", WS_OVERLAPPED | style, 0, 0, 100, 100, nullptr, nullptr, Program(),
                             nullptr);
    t::Pump();  // the first paint
    return h;
  }
  HWND Child(HWND parent, int id, const char* cls = "Recorder", DWORD style = 0) {
    return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Program(), nullptr);
  }
};

TEST_F(Win32, SendDispatchesAtOncePostWaitsForThePump) {
  HWND w = Top();
  seen.clear();
  SendMessageA(w, WM_USER + 2, 1, 2);
  ASSERT_EQ(Messages(w), std::vector<UINT>{WM_USER + 2});
  EXPECT_TRUE(PostMessageA(w, WM_USER + 3, 3, 4));
  EXPECT_TRUE(PostMessageA(w, WM_USER + 4, 5, 6));
  EXPECT_EQ(Messages(w).size(), 1u);
  EXPECT_GE(t::Pump(), 2);
  EXPECT_EQ(Messages(w), (std::vector<UINT>{WM_USER + 2, WM_USER + 3, WM_USER + 4}));
  EXPECT_EQ(seen.back().wParam, 5u);
  EXPECT_EQ(seen.back().lParam, 6);
}

TEST_F(Win32, PaintsCoalesceHiddenWindowsAndDeadOnesGetNothing) {
  HWND a = Top();
  HWND b = Top();
  HWND hidden = Top(0);
  seen.clear();
  for (int i = 0; i < 3; ++i) InvalidateRect(a, nullptr, FALSE);
  InvalidateRect(b, nullptr, FALSE);
  InvalidateRect(hidden, nullptr, FALSE);
  EXPECT_TRUE(GetUpdateRect(a, nullptr, FALSE));
  PostMessageA(b, WM_USER + 2, 0, 0);
  DestroyWindow(b);
  seen.clear();
  t::Pump();
  EXPECT_EQ(Messages(a), std::vector<UINT>{WM_PAINT});
  EXPECT_TRUE(Messages(hidden).empty());  // a hidden window is not painted
  EXPECT_FALSE(GetUpdateRect(a, nullptr, FALSE));
  EXPECT_FALSE(PostMessageA(b, WM_USER + 2, 0, 0));
  EXPECT_EQ(SendMessageA(b, WM_USER + 2, 0, 0), 0);
  InvalidateRect(a, nullptr, FALSE);
  ValidateRect(a, nullptr);
  seen.clear();
  t::Pump();
  EXPECT_TRUE(Messages(a).empty());
}

TEST_F(Win32, TreeIdsTextsStateAndDestroyOrder) {
  HWND top = Top();
  HWND c1 = Child(top, 7);
  HWND c2 = Child(c1, 8);
  EXPECT_EQ(GetDlgItem(top, 7), c1);
  EXPECT_EQ(GetDlgItem(top, 8), nullptr);  // only direct children
  EXPECT_EQ(GetDlgCtrlID(c2), 8);
  EXPECT_EQ(GetParent(c2), c1);
  EXPECT_TRUE(SetDlgItemTextA(top, 7, "hello"));
  char buf[4];
  EXPECT_EQ(GetDlgItemTextA(top, 7, buf, sizeof buf), 3u);
  EXPECT_STREQ(buf, "hel");
  EXPECT_EQ(GetDlgItemTextA(top, 99, buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "");

  EXPECT_TRUE(IsWindowVisible(c2));
  EXPECT_TRUE(ShowWindow(c1, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(c2));  // a hidden ancestor hides it
  EXPECT_FALSE(EnableWindow(c2, FALSE));
  EXPECT_TRUE(EnableWindow(c2, TRUE));
  EXPECT_TRUE(IsWindowEnabled(c2));

  EXPECT_EQ(SetWindowLongPtrA(c1, GWLP_USERDATA, 1234), 0);
  EXPECT_EQ(GetWindowLongPtrA(c1, GWLP_USERDATA), 1234);
  EXPECT_EQ(SetWindowLongPtrA(c1, 8, 55), 0);
  EXPECT_EQ(GetWindowLongPtrA(c1, 8), 55);
  EXPECT_EQ(GetWindowLongPtrA(c1, 9), 0);  // past the class's storage

  seen.clear();
  EXPECT_TRUE(DestroyWindow(top));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& s : seen)
    if (s.msg == WM_DESTROY || s.msg == WM_NCDESTROY) order.push_back({s.hwnd, s.msg});
  std::vector<std::pair<HWND, UINT>> want = {{top, WM_DESTROY}, {c1, WM_DESTROY}, {c2, WM_DESTROY},
                                             {c2, WM_NCDESTROY}, {c1, WM_NCDESTROY}, {top, WM_NCDESTROY}};
  EXPECT_EQ(order, want);
  EXPECT_FALSE(IsWindow(c2));
}

TEST_F(Win32, ClassNamesAreReportedAsRegisteredAndLocalToTheirModule) {
  HWND top = Top();
  HWND box = Child(top, 10, "BUTTON", BS_AUTOCHECKBOX);
  HWND mine = Child(top, 11, "recorder");
  EXPECT_EQ(t::ClassName(box), "Button");
  EXPECT_EQ(t::ClassName(mine), "Recorder");
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordProc;
  wc.hInstance = Program();
  wc.lpszClassName = "Recorder";
  EXPECT_EQ(RegisterClassA(&wc), 0);  // already there
  // The host's custom controls are global: any module's windows find them.
  EXPECT_NE(CreateWindowExA(0, "CustButton", "", WS_CHILD, 0, 0, 10, 10, top, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Win32, FocusMovesWithKillAndSetFocus) {
  HWND top = Top();
  HWND a = Child(top, 1);
  HWND b = Child(top, 2);
  t::Focus(a);
  seen.clear();
  EXPECT_EQ(SetFocus(b), a);
  ASSERT_GE(seen.size(), 2u);
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& s : seen)
    if (s.msg == WM_SETFOCUS || s.msg == WM_KILLFOCUS) order.push_back({s.hwnd, s.msg});
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{a, WM_KILLFOCUS}, {b, WM_SETFOCUS}}));
  EXPECT_EQ(GetFocus(), b);
  // Hiding the window with the focus gives it to the parent; disabling it
  // leaves no focus.
  ShowWindow(b, SW_HIDE);
  EXPECT_EQ(GetFocus(), top);
  t::Focus(a);
  EnableWindow(a, FALSE);
  EXPECT_EQ(GetFocus(), nullptr);
  EnableWindow(a, TRUE);
  t::Focus(a);
  DestroyWindow(a);
  EXPECT_NE(GetFocus(), a);
}

TEST_F(Win32, CheckBoxesAndButtonsNotifyTheParent) {
  HWND top = Top();
  HWND autoBox = Child(top, 10, "Button", BS_AUTOCHECKBOX);
  HWND plainBox = Child(top, 11, "Button", BS_CHECKBOX);
  HWND push = Child(top, 12, "Button", BS_PUSHBUTTON);
  seen.clear();
  struct Step {
    HWND button;
    UINT autoAfter;
    UINT plainAfter;
  };
  const Step steps[] = {{autoBox, BST_CHECKED, BST_UNCHECKED}, {autoBox, BST_UNCHECKED, BST_UNCHECKED},
                        {plainBox, BST_UNCHECKED, BST_UNCHECKED}, {push, BST_UNCHECKED, BST_UNCHECKED}};
  for (const Step& s : steps) {
    seen.clear();
    ASSERT_TRUE(t::ClickButton(s.button));
    EXPECT_EQ(IsDlgButtonChecked(top, 10), s.autoAfter);
    EXPECT_EQ(IsDlgButtonChecked(top, 11), s.plainAfter);
    ASSERT_EQ(Messages(top, WM_COMMAND), std::vector<UINT>{WM_COMMAND});
    const Seen* c = First(top, WM_COMMAND);
    EXPECT_EQ(LOWORD(c->wParam), GetDlgCtrlID(s.button));
    EXPECT_EQ(HIWORD(c->wParam), BN_CLICKED);
    EXPECT_EQ(c->lParam, reinterpret_cast<LPARAM>(s.button));
    EXPECT_EQ(GetFocus(), s.button);  // a click takes the focus
  }
  CheckDlgButton(top, 11, BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(top, 11), BST_CHECKED);
  CheckDlgButton(top, 12, BST_CHECKED);  // a push button has no check state
  EXPECT_EQ(IsDlgButtonChecked(top, 12), BST_UNCHECKED);
  // Disabled or hidden controls cannot be clicked.
  EnableWindow(autoBox, FALSE);
  seen.clear();
  EXPECT_FALSE(t::ClickButton(autoBox));
  ShowWindow(push, SW_HIDE);
  EXPECT_FALSE(t::ClickButton(push));
  EXPECT_TRUE(Messages(top, WM_COMMAND).empty());
}

TEST_F(Win32, ComboBoxes) {
  HWND top = Top();
  HWND sorted = Child(top, 20, "ComboBox", CBS_DROPDOWNLIST | CBS_SORT);
  auto send = [&](UINT m, WPARAM w, const char* s = nullptr) {
    return SendMessageA(sorted, m, w, reinterpret_cast<LPARAM>(s));
  };
  // Inserting at the end does not sort, even in a sorted list.
  EXPECT_EQ(send(CB_INSERTSTRING, static_cast<WPARAM>(-1), "Normal"), 0);
  EXPECT_EQ(send(CB_INSERTSTRING, static_cast<WPARAM>(-1), "Multiply"), 1);
  EXPECT_EQ(send(CB_INSERTSTRING, static_cast<WPARAM>(-1), "Additive"), 2);
  EXPECT_EQ(send(CB_INSERTSTRING, 5, "Bad"), CB_ERR);
  EXPECT_EQ(send(CB_ADDSTRING, 0, "Zebra"), 3);  // adding places by order
  EXPECT_EQ(send(CB_ADDSTRING, 0, "Aa"), 0);
  EXPECT_EQ(send(CB_DELETESTRING, 0), 4);
  EXPECT_EQ(send(CB_GETCOUNT, 0), 4);
  char buf[32];
  EXPECT_EQ(SendMessageA(sorted, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)), 8);
  EXPECT_STREQ(buf, "Multiply");
  EXPECT_EQ(send(CB_GETLBTEXT, 9, buf), CB_ERR);
  EXPECT_EQ(send(CB_GETCURSEL, 0), CB_ERR);
  EXPECT_EQ(send(CB_SETCURSEL, 3), 3);
  EXPECT_EQ(send(CB_GETCURSEL, 0), 3);
  EXPECT_EQ(send(CB_SETCURSEL, 4), CB_ERR);
  EXPECT_EQ(send(CB_GETCURSEL, 0), 3);  // out of range: the selection stays
  EXPECT_EQ(send(CB_SETCURSEL, static_cast<WPARAM>(-1)), CB_ERR);
  EXPECT_EQ(send(CB_GETCURSEL, 0), CB_ERR);  // -1 clears it
  seen.clear();
  EXPECT_TRUE(t::PickComboItem(sorted, 0));
  std::vector<WORD> codes;
  for (const Seen& s : seen)
    if (s.hwnd == top && s.msg == WM_COMMAND && LOWORD(s.wParam) == 20) codes.push_back(HIWORD(s.wParam));
  // Focus, opening and closing are reported as well as the new selection.
  EXPECT_EQ(codes, (std::vector<WORD>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
  EXPECT_EQ(send(CB_GETCURSEL, 0), 0);
  EXPECT_FALSE(t::PickComboItem(sorted, 4));
  send(CB_RESETCONTENT, 0);
  EXPECT_EQ(send(CB_GETCOUNT, 0), 0);
  EXPECT_EQ(send(CB_GETCURSEL, 0), CB_ERR);
}

TEST_F(Win32, ScrollBarsKeepThePositionInRange) {
  HWND top = Top();
  HWND bar = Child(top, 30, "ScrollBar", SBS_VERT);
  struct Case {
    int min, max, setPos, wantMin, wantMax, wantPos;
  };
  // A reversed range is not kept: it becomes 0 .. 0.
  const Case cases[] = {{0, 6, 3, 0, 6, 3},  {0, 6, 9, 0, 6, 6},   {0, 6, -2, 0, 6, 0},
                        {0, 0, 4, 0, 0, 0},  {0, -5, 3, 0, 0, 0},  {2, 9, 0, 2, 9, 2},
                        {3, 1, 2, 0, 0, 0}};
  for (const Case& c : cases) {
    SetScrollRange(bar, SB_CTL, c.min, c.max, FALSE);
    SetScrollPos(bar, SB_CTL, c.setPos, TRUE);
    int lo = 99, hi = 99;
    ASSERT_TRUE(GetScrollRange(bar, SB_CTL, &lo, &hi));
    EXPECT_EQ(lo, c.wantMin) << c.min << ".." << c.max;
    EXPECT_EQ(hi, c.wantMax) << c.min << ".." << c.max;
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), c.wantPos) << c.min << ".." << c.max << " set " << c.setPos;
  }
  SetScrollRange(bar, SB_CTL, 0, 10, FALSE);
  SetScrollPos(bar, SB_CTL, 8, TRUE);
  SetScrollRange(bar, SB_CTL, 0, 4, FALSE);  // shrinking the range moves the position in
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 4);
  seen.clear();
  EXPECT_TRUE(t::ScrollAction(bar, SB_THUMBTRACK, 0xFFFE));
  ASSERT_EQ(Messages(top), std::vector<UINT>{WM_VSCROLL});
  EXPECT_EQ(static_cast<short>(HIWORD(seen[0].wParam)), -2);
  EXPECT_EQ(seen[0].lParam, reinterpret_cast<LPARAM>(bar));
  EnableWindow(bar, FALSE);
  EXPECT_FALSE(t::ScrollAction(bar, SB_LINEDOWN, 0));
}

TEST_F(Win32, KeyState) {
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);
  t::SetKeyDown(VK_CONTROL, true);
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);
  EXPECT_TRUE(GetKeyState(VK_CONTROL) & 0x8000);
  t::SetKeyDown(VK_CONTROL, false);
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);
}

TEST_F(Win32, StringsComeFromTheModuleWhoseHandleIsGiven) {
  char buf[256];
  struct Case {
    HINSTANCE module;
    UINT id;
    const char* text;
  };
#ifdef _WIN32
  HMODULE mod = LoadLibraryA(TESSARY_TEST_MODULE);
  ASSERT_NE(mod, nullptr) << GetLastError();
  HINSTANCE modHandle = mod;
#else
  void* mod = dlopen(TESSARY_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(mod, nullptr) << dlerror();
  auto* modHandle = static_cast<HINSTANCE>(mod);
#endif
  const Case cases[] = {{nullptr, 3, "Tessary"},
                        {GetModuleHandleA(nullptr), IDS_MODE_EXACT_DIFFERENCE, "Exact Difference"},
                        {modHandle, 1, "Module one"},
                        {modHandle, 3, "Module three"},
                        {modHandle, 4, ""},
                        {nullptr, 35, ""}};
  for (const Case& c : cases) {
    int n = LoadStringA(c.module, c.id, buf, sizeof buf);
    EXPECT_EQ(n, static_cast<int>(std::string(c.text).size())) << c.id;
    EXPECT_STREQ(buf, c.text) << c.id;
  }
  // Truncation keeps a NUL.
  EXPECT_EQ(LoadStringA(nullptr, 4, buf, 5), 4);
  EXPECT_STREQ(buf, "Para");
#ifdef _WIN32
  FreeLibrary(mod);
#else
  // The subset's own promise: an empty buffer gets nothing.
  EXPECT_EQ(LoadStringA(nullptr, 4, buf, 0), 0);
  EXPECT_EQ(LoadStringA(nullptr, 4, nullptr, 10), 0);
  dlclose(mod);
#endif
}

TEST_F(Win32, BannerBitmapAndImageList) {
  // A null instance would mean the system's own bitmaps.
  HBITMAP bmp = LoadBitmapA(Program(), MAKEINTRESOURCEA(IDB_BANNER));
  ASSERT_NE(bmp, nullptr);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 160);
  EXPECT_EQ(bm.bmHeight, 56);
  EXPECT_EQ(LoadBitmapA(Program(), MAKEINTRESOURCEA(999)), nullptr);

  HIMAGELIST list = ImageList_Create(160, 56, ILC_COLORDDB, 1, 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ImageList_Add(list, bmp, nullptr), 0);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_FALSE(DeleteObject(bmp));
  EXPECT_EQ(ImageList_Add(list, bmp, nullptr), -1);  // deleted bitmap
  EXPECT_EQ(ImageList_GetImageCount(list), 1);
  HIMAGELIST wide = ImageList_Create(200, 56, ILC_COLORDDB, 1, 0);
  HBITMAP again = LoadBitmapA(Program(), MAKEINTRESOURCEA(IDB_BANNER));
  EXPECT_EQ(ImageList_Add(wide, again, nullptr), 0);  // narrower than one image: adds none
  EXPECT_EQ(ImageList_GetImageCount(wide), 0);
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_FALSE(ImageList_Destroy(list));
  EXPECT_EQ(ImageList_Create(0, 56, 0, 1, 0), nullptr);
}

INT_PTR CALLBACK CountDialogProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (Watched(m)) seen.push_back({h, m, w, l});
  if (m == WM_INITDIALOG) {
    SetWindowLongPtrA(h, GWLP_USERDATA, l);
    return TRUE;
  }
  if (m == WM_COMMAND && LOWORD(w) == IDOK) EndDialog(h, GetWindowLongPtrA(h, GWLP_USERDATA));
  if (m == WM_COMMAND && LOWORD(w) == IDCANCEL) EndDialog(h, -1);
  return m == WM_COMMAND ? TRUE : FALSE;
}

TEST_F(Win32, ModalDialogsAreAnsweredFromInsideTheirLoop) {
  HWND owner = Top();
  HWND seenDialog = nullptr;
  bool ownerDisabledMeanwhile = false;
  t::AnswerNextDialog([&](HWND dlg) {
    seenDialog = dlg;
    ownerDisabledMeanwhile = !IsWindowEnabled(owner);
    EXPECT_EQ(t::Text(dlg), "Insert Map");
    EXPECT_NE(GetDlgItem(dlg, 1498), nullptr);
    EXPECT_EQ(GetParent(dlg), owner);
    EXPECT_TRUE(t::ClickDlgButton(dlg, IDOK));
  });
  EXPECT_EQ(DialogBoxParamA(Program(), MAKEINTRESOURCEA(IDD_INSERT_LAYER), owner, CountDialogProc, 77), 77);
  EXPECT_TRUE(ownerDisabledMeanwhile);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_FALSE(IsWindow(seenDialog));  // destroyed once answered
  EXPECT_EQ(t::PendingAnswers(), 0u);
  // A missing template: -1 and no dialog.
  EXPECT_EQ(DialogBoxParamA(Program(), MAKEINTRESOURCEA(4242), owner, CountDialogProc, 5), -1);
}

TEST_F(Win32, TheDialogManagerTakesReturnEscapeAndTab) {
  HWND owner = Top();
  struct Case {
    int key;
    INT_PTR result;
  };
  // Return presses the default button (OK), Escape Cancel.
  for (const Case& c : {Case{VK_RETURN, 12}, Case{VK_ESCAPE, -1}}) {
    t::AnswerNextDialog([&c](HWND dlg) {
      t::Focus(GetDlgItem(dlg, IDCANCEL));
      t::Focus(GetDlgItem(dlg, IDOK));
      t::PressKey(c.key);
    });
    EXPECT_EQ(DialogBoxParamA(Program(), MAKEINTRESOURCEA(IDD_SET_NUMBER), owner, CountDialogProc, 12), c.result);
  }
  // Tab moves the focus to the next control that takes it.
  int before = 0;
  int after = 0;
  t::AnswerNextDialog([&](HWND dlg) {
    t::Focus(GetDlgItem(dlg, IDOK));
    before = GetDlgCtrlID(GetFocus());
    t::PressKey(VK_TAB);
    t::AnswerNextDialog([&](HWND d) {
      after = GetDlgCtrlID(GetFocus());
      t::ClickDlgButton(d, IDCANCEL);
    });
  });
  EXPECT_EQ(DialogBoxParamA(Program(), MAKEINTRESOURCEA(IDD_SET_NUMBER), owner, CountDialogProc, 3), -1);
  EXPECT_EQ(before, IDOK);
  EXPECT_EQ(after, IDCANCEL);  // the control after OK
}

#ifndef _WIN32
TEST_F(Win32, UnansweredModalDialogIsCancelledHeadless) {
  // On Windows it would wait for its user for ever; the subset cancels it
  // once nothing can reach it.
  HWND owner = Top();
  EXPECT_EQ(DialogBoxParamA(Program(), MAKEINTRESOURCEA(IDD_DELETE_LAYER), owner, CountDialogProc, 5), -1);
  EXPECT_EQ(tessary::headless::test::LiveWindowCount(), 1u);
}
#endif

TEST_F(Win32, ModelessPanelsHaveEveryControlAndGetInitDialogFirst) {
  HWND owner = Top();
  seen.clear();
  HWND panel = CreateDialogParamA(Program(), MAKEINTRESOURCEA(IDD_LAYERS), owner, RecordDialog, 1234);
  ASSERT_NE(panel, nullptr);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].msg, static_cast<UINT>(WM_INITDIALOG));
  EXPECT_EQ(seen[0].lParam, 1234);
  const std::vector<HWND> children = Children(panel);
  EXPECT_EQ(children.size(), 73u);
  for (int id : {1497, 1498, 1530, 1531, 1532, 1014, 1019, 1200, 1205, 1550, 1561, 1523, 1528})
    EXPECT_NE(GetDlgItem(panel, id), nullptr) << id;
  EXPECT_TRUE(IsWindowVisible(panel));
  EXPECT_EQ(t::Text(GetDlgItem(panel, 1497)), "Set Number");
  EXPECT_EQ(t::ClassName(GetDlgItem(panel, 1550)), "CustButton");
  // Closing a dialog is pressing Cancel, through the queue.
  seen.clear();
  SendMessageA(panel, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Messages(panel, WM_COMMAND).empty());
  t::Pump();
  const Seen* cancel = First(panel, WM_COMMAND);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(LOWORD(cancel->wParam), IDCANCEL);
  EXPECT_EQ(CreateDialogParamA(Program(), MAKEINTRESOURCEA(4242), owner, RecordDialog, 0), nullptr);
  // A child dialog needs its parent: Windows refuses one without.
  EXPECT_EQ(CreateDialogParamA(Program(), MAKEINTRESOURCEA(IDD_LAYERS), nullptr, RecordDialog, 0), nullptr);
}

}  // namespace
