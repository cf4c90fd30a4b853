// Windows, messages, built-in controls, dialogs and resources of the
// headless subset.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/test_hooks.h"
#include "platform/win32.h"
#include "resources/resource.h"

namespace {

namespace t = tessary::headless::test;

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> seen;

INT_PTR CALLBACK_Record(HWND h, UINT m, WPARAM w, LPARAM l) {
  seen.push_back({h, m, w, l});
  return m == WM_INITDIALOG ? TRUE : FALSE;
}

LRESULT RecordProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  seen.push_back({h, m, w, l});
  return DefWindowProcA(h, m, w, l);
}

std::vector<UINT> Messages(HWND h) {
  std::vector<UINT> out;
  for (const Seen& s : seen)
    if (s.hwnd == h) out.push_back(s.msg);
  return out;
}

class Win32 : public ::testing::Test {
 protected:
  void SetUp() override {
    t::ResetAll();
    seen.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = "Recorder";
    RegisterClassA(&wc);
  }
  void TearDown() override { t::ResetAll(); }
  HWND Top() { return CreateWindowExA(0, "Recorder", "top", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr); }
  HWND Child(HWND parent, int id, const char* cls = "Recorder", DWORD style = 0) {
    return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }
};

TEST_F(Win32, SendDispatchesAtOncePostWaitsForThePump) {
  HWND w = Top();
  seen.clear();
  SendMessageA(w, WM_USER + 1, 1, 2);
  ASSERT_EQ(Messages(w), std::vector<UINT>{WM_USER + 1});
  EXPECT_TRUE(PostMessageA(w, WM_USER + 2, 3, 4));
  EXPECT_TRUE(PostMessageA(w, WM_USER + 3, 5, 6));
  EXPECT_EQ(Messages(w).size(), 1u);
  EXPECT_EQ(PumpMessages(), 2);
  EXPECT_EQ(Messages(w), (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
  EXPECT_EQ(seen.back().wParam, 5u);
  EXPECT_EQ(seen.back().lParam, 6);
  EXPECT_EQ(PumpMessages(), 0);
}

TEST_F(Win32, PaintsCoalesceAndDeadWindowsGetNothing) {
  HWND a = Top();
  HWND b = Top();
  seen.clear();
  for (int i = 0; i < 3; ++i) InvalidateRect(a, nullptr, FALSE);
  InvalidateRect(b, nullptr, FALSE);
  PostMessageA(b, WM_USER, 0, 0);
  DestroyWindow(b);
  seen.clear();
  EXPECT_EQ(PumpMessages(), 1);
  EXPECT_EQ(Messages(a), std::vector<UINT>{WM_PAINT});
  EXPECT_FALSE(PostMessageA(b, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(b, WM_USER, 0, 0), 0);
  InvalidateRect(a, nullptr, FALSE);
  ValidateRect(a, nullptr);
  EXPECT_EQ(PumpMessages(), 0);
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
  for (const Seen& s : seen) order.push_back({s.hwnd, s.msg});
  std::vector<std::pair<HWND, UINT>> want = {{top, WM_DESTROY}, {c1, WM_DESTROY}, {c2, WM_DESTROY},
                                             {c2, WM_NCDESTROY}, {c1, WM_NCDESTROY}, {top, WM_NCDESTROY}};
  EXPECT_EQ(order, want);
  EXPECT_FALSE(IsWindow(c2));
  EXPECT_EQ(t::LiveWindowCount(), 0u);
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
    ASSERT_EQ(Messages(top), std::vector<UINT>{WM_COMMAND});
    EXPECT_EQ(LOWORD(seen[0].wParam), GetDlgCtrlID(s.button));
    EXPECT_EQ(HIWORD(seen[0].wParam), BN_CLICKED);
    EXPECT_EQ(seen[0].lParam, reinterpret_cast<LPARAM>(s.button));
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
  EXPECT_TRUE(seen.empty());
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
  EXPECT_EQ(send(CB_GETCURSEL, 0), CB_ERR);
  seen.clear();
  EXPECT_TRUE(t::PickComboItem(sorted, 0));
  ASSERT_EQ(Messages(top), std::vector<UINT>{WM_COMMAND});
  EXPECT_EQ(seen[0].wParam, MAKEWPARAM(20, CBN_SELCHANGE));
  EXPECT_FALSE(t::PickComboItem(sorted, 4));
  send(CB_RESETCONTENT, 0);
  EXPECT_EQ(send(CB_GETCOUNT, 0), 0);
  EXPECT_EQ(send(CB_GETCURSEL, 0), CB_ERR);
}

TEST_F(Win32, ScrollBarsKeepThePositionInRange) {
  HWND top = Top();
  HWND bar = Child(top, 30, "ScrollBar", SBS_VERT);
  struct Case {
    int min, max, setPos, wantPos;
  };
  const Case cases[] = {{0, 6, 3, 3}, {0, 6, 9, 6}, {0, 6, -2, 0}, {0, 0, 4, 0}, {0, -5, 3, 0}, {2, 9, 0, 2}};
  for (const Case& c : cases) {
    SetScrollRange(bar, SB_CTL, c.min, c.max, FALSE);
    SetScrollPos(bar, SB_CTL, c.setPos, TRUE);
    int lo = 99, hi = 99;
    ASSERT_TRUE(GetScrollRange(bar, SB_CTL, &lo, &hi));
    EXPECT_EQ(lo, c.min);
    EXPECT_EQ(hi, c.max);
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
  EnableScrollBar(bar, SB_CTL, ESB_DISABLE_BOTH);
  EXPECT_FALSE(IsWindowEnabled(bar));
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
  void* mod = dlopen(TESSARY_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(mod, nullptr) << dlerror();
  auto* modHandle = static_cast<HINSTANCE>(mod);
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
  // Truncation keeps a NUL; an empty buffer gets nothing.
  EXPECT_EQ(LoadStringA(nullptr, 4, buf, 5), 4);
  EXPECT_STREQ(buf, "Para");
  EXPECT_EQ(LoadStringA(nullptr, 4, buf, 0), 0);
  EXPECT_EQ(LoadStringA(nullptr, 4, nullptr, 10), 0);
  dlclose(mod);
}

TEST_F(Win32, BannerBitmapAndImageList) {
  HBITMAP bmp = LoadBitmapA(nullptr, MAKEINTRESOURCEA(IDB_BANNER));
  ASSERT_NE(bmp, nullptr);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 160);
  EXPECT_EQ(bm.bmHeight, 56);
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(999)), nullptr);

  HIMAGELIST list = ImageList_Create(160, 56, ILC_COLORDDB, 1, 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ImageList_Add(list, bmp, nullptr), 0);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_FALSE(DeleteObject(bmp));
  EXPECT_EQ(ImageList_Add(list, bmp, nullptr), -1);  // deleted bitmap
  EXPECT_EQ(ImageList_GetImageCount(list), 1);
  HIMAGELIST wide = ImageList_Create(200, 56, ILC_COLORDDB, 1, 0);
  HBITMAP again = LoadBitmapA(nullptr, MAKEINTRESOURCEA(IDB_BANNER));
  EXPECT_EQ(ImageList_Add(wide, again, nullptr), -1);  // narrower than one image
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_FALSE(ImageList_Destroy(list));
  EXPECT_EQ(ImageList_Create(0, 56, 0, 1, 0), nullptr);
}

INT_PTR CountDialogProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  seen.push_back({h, m, w, l});
  if (m == WM_INITDIALOG) {
    SetWindowLongPtrA(h, GWLP_USERDATA, l);
    return TRUE;
  }
  if (m == WM_COMMAND && LOWORD(w) == IDOK) EndDialog(h, GetWindowLongPtrA(h, GWLP_USERDATA));
  if (m == WM_COMMAND && LOWORD(w) == IDCANCEL) EndDialog(h, -1);
  return m == WM_COMMAND ? TRUE : FALSE;
}

TEST_F(Win32, ModalDialogsAreAnsweredByQueuedHooks) {
  HWND owner = Top();
  HWND seenDialog = nullptr;
  bool ownerDisabledMeanwhile = false;
  t::QueueDialogAnswer([&](HWND dlg) {
    seenDialog = dlg;
    ownerDisabledMeanwhile = !IsWindowEnabled(owner);
    char caption[64];
    GetWindowTextA(dlg, caption, sizeof caption);
    EXPECT_STREQ(caption, "Insert Map");
    EXPECT_NE(GetDlgItem(dlg, 1498), nullptr);
    EXPECT_TRUE(t::ClickDlgButton(dlg, IDOK));
  });
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_INSERT_LAYER), owner, CountDialogProc, 77), 77);
  EXPECT_TRUE(ownerDisabledMeanwhile);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_FALSE(IsWindow(seenDialog));  // destroyed once answered
  EXPECT_EQ(t::PendingDialogAnswers(), 0u);

  // Unanswered: cancelled as by Escape. Missing template: -1 and no dialog.
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_DELETE_LAYER), owner, CountDialogProc, 5), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4242), owner, CountDialogProc, 5), -1);
  EXPECT_EQ(t::ShownModalDialogs(), (std::vector<int>{IDD_INSERT_LAYER, IDD_DELETE_LAYER}));
  EXPECT_EQ(t::LiveWindowCount(), 1u);
}

TEST_F(Win32, ModelessPanelsHaveEveryControlAndGetInitDialogFirst) {
  HWND owner = Top();
  seen.clear();
  HWND panel = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_LAYERS), owner, CALLBACK_Record, 1234);
  ASSERT_NE(panel, nullptr);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].msg, static_cast<UINT>(WM_INITDIALOG));
  EXPECT_EQ(seen[0].lParam, 1234);
  EXPECT_EQ(t::ChildWindows(panel).size(), 73u);
  for (int id : {1497, 1498, 1530, 1531, 1532, 1014, 1019, 1200, 1205, 1550, 1561, 1523, 1528})
    EXPECT_NE(GetDlgItem(panel, id), nullptr) << id;
  EXPECT_TRUE(IsWindowVisible(panel));
  EXPECT_EQ(t::FindByText(panel, "Set Number"), GetDlgItem(panel, 1497));
  // Closing a dialog is pressing Cancel.
  seen.clear();
  SendMessageA(panel, WM_CLOSE, 0, 0);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[1].msg, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(LOWORD(seen[1].wParam), IDCANCEL);
  EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(4242), owner, CALLBACK_Record, 0), nullptr);
}

}  // namespace
