#pragma once
// The map's parameter dialog in the material editor: three rollup pages
// (Layers, Output, About) that edit one Quilbo, the custom-control
// interfaces they keep, and the drag-and-drop manager of the layer buttons.
// Every panel stores this object in its window's user data and passes its
// messages here; once DeleteThis has run, the panels' messages are ignored.

#include <array>

#include "host/sdk/custcont.h"
#include "host/sdk/tex_dad_mgr.h"
#include "map/dialog_link.h"
#include "platform/win32.h"

namespace tessary {

class Quilbo;

// Rows of the Layers rollout shown at once.
inline constexpr int kVisibleRows = 6;

class QuilboDlg : public QuilboDialogLink {
 public:
  // Adds the three rollup pages through imp; the pages' WM_INITDIALOG runs
  // during construction, Layers first.
  QuilboDlg(HWND hwMtlEdit, host::IMtlParams* imp, Quilbo* m);
  ~QuilboDlg() override;
  QuilboDlg(const QuilboDlg&) = delete;
  QuilboDlg& operator=(const QuilboDlg&) = delete;

  // --- ParamDlg ---
  host::Class_ID ClassID() override;
  // Moves the dialog to another map (or detaches it, for null) and refreshes.
  void SetThing(host::ReferenceTarget* m) override;
  host::ReferenceTarget* GetThing() override;
  // As ReloadDialog (the editor's own time is used), then repaints the Layers panel.
  void SetTime(host::TimeValue t) override;
  // Updates the map at the editor's time and refreshes every control.
  void ReloadDialog() override;
  // Detaches from the map and the panels and frees the object.
  void DeleteThis() override;
  void ActivateDlg(BOOL /*onOff*/) override {}
  // 2(F + r) for row r's map button, 2(F + r) + 1 for its mask button, else -1.
  int FindSubTexFromHWND(HWND hwnd) override;
  int FindSubMtlFromHWND(HWND /*hwnd*/) override { return -1; }

  // --- What the map calls ---
  void MarkForReload() override;
  void UpdateRowTexts() override;
  void MaterialChanged() override;

  // --- Layers rollout ---
  // The full refresh: clamps the scroll position, updates the map, rebuilds
  // the texts and lays out the rows.
  void RefreshLayersPanel();
  void UpdateRowSwatches();

  // Panel handlers (reached through the panels' dialog procedures).
  INT_PTR LayersProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR OutputProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR AboutProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // --- Fields, in this order ---
  HWND mtlEditWindow = nullptr;
  host::IMtlParams* editorParams = nullptr;
  Quilbo* map = nullptr;
  HWND layersPanel = nullptr;
  HWND aboutPanel = nullptr;
  HWND outputPanel = nullptr;
  HWND scrollBar = nullptr;
  int valid = 0;
  std::array<std::array<host::ICustButton*, 2>, kVisibleRows> rowButtons{};
  std::array<host::ICustEdit*, kVisibleRows> rowNumberEdits{};
  host::ICustImage* bannerImage = nullptr;
  HIMAGELIST bannerImageList = nullptr;
  host::TexDADMgr dadManager;

 private:
  int LayerCount() const;
  void ClampFirstVisible();
  void UpdateScrollBar();
  void LayoutRows();
  void ReleaseRowControls();

  // Layers rollout handlers.
  void InitLayersPanel(HWND hwnd);
  void OnLayersCommand(int id, int code);
  void OnLayersScroll(int code, int thumb);
  void OnOpacity(int row);
  void OnColor(int row, bool final, host::IColorSwatch* swatch);
  void OnLayerNumber(int row);

  // Layer count dialogs.
  void RunSetNumber();
  void RunInsert();
  void RunDelete();

  // Output rollout.
  void InitOutputPanel(HWND hwnd);
  void ReloadOutputPanel();
  void EnableOutputControls();
  void CommitOutput();

  // About rollout.
  void InitAboutPanel(HWND hwnd);
};

// Makes the dialog of a map for the editor (the map's CreateParamDlg calls
// it through the registered factory): constructs it, runs the full refresh
// and links the map to it.
QuilboDialogLink* CreateQuilboDlg(Quilbo& map, HWND hwMtlEdit, host::IMtlParams* imp);

}  // namespace tessary
