// The About rollout: the version caption of the configuration and the banner.

#include <string>

#include "resources/resource.h"
#include "module_text/module_text.h"
#include "ui/labels.h"
#include "ui/quilbo_dlg.h"

namespace tessary {

using namespace host;

namespace {

#ifdef TESSARY_NETWORK_RENDERING
constexpr int kVersionLabel = IDS_VERSION_LABEL_NETWORK;
#else
constexpr int kVersionLabel = IDS_VERSION_LABEL;
#endif

constexpr int kBannerWidth = 160;
constexpr int kBannerHeight = 56;

}  // namespace

INT_PTR QuilboDlg::AboutProc(HWND hwnd, UINT msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (msg != WM_INITDIALOG) return FALSE;
  InitAboutPanel(hwnd);
  return TRUE;
}

void QuilboDlg::InitAboutPanel(HWND hwnd) {
  if (bannerImage) ReleaseICustImage(bannerImage);
  bannerImage = GetICustImage(GetDlgItem(hwnd, IDC_BANNER));
  const std::string caption =
      FormatText(LoadText(IDS_VERSION_FORMAT), {LoadText(kVersionLabel), LoadText(IDS_VERSION_NUMBER)});
  SetDlgItemTextA(hwnd, IDC_VERSION_TEXT, caption.c_str());
  if (!bannerImage) return;
  if (bannerImageList) ImageList_Destroy(bannerImageList);
  bannerImageList = ImageList_Create(kBannerWidth, kBannerHeight, ILC_COLORDDB, 1, 0);
  if (HBITMAP bitmap = LoadBitmapA(hInstance, MAKEINTRESOURCEA(IDB_BANNER))) {
    ImageList_Add(bannerImageList, bitmap, nullptr);
    DeleteObject(bitmap);
  }
  bannerImage->SetImage(bannerImageList, 0, kBannerWidth, kBannerHeight);
}

}  // namespace tessary
