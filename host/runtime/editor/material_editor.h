#pragma once
// The material editor of the host (Windows): a window that shows one texture
// map, with a sample of it at the top (the map's EvalColor over a grid of
// texture coordinates) and the map's parameter dialog below, its rollout
// pages in a scrolling rollup panel. It gives the map's editor the
// material editor's interface (IMtlParams) and references the map, so the
// sample is rendered again when the editor reports that the material
// changed or the map reports a change to its dependents.

#include <cstdint>
#include <memory>
#include <string>

#include "host/runtime/editor/editor_options.h"
#include "host/runtime/editor/preview.h"
#include "host/runtime/editor/rollup_panel.h"
#include "host/sdk/mtl.h"
#include "host/sdk/mtl_edit.h"
#include "host/runtime/runtime_only.h"

namespace tessary::host::editor {

inline constexpr const char* kEditorClass = "TessaryMaterialEditor";
inline constexpr const char* kPreviewClass = "TessaryMapSample";

// The sample's window keeps, in its extra window bytes, what it shows (so
// that a test can read it from outside the process): the number of renders
// so far, the digest of the last one (PreviewDigest) and its centre pixel
// (0x00RRGGBB).
inline constexpr int kSampleRendersOffset = 0;
inline constexpr int kSampleDigestOffset = static_cast<int>(sizeof(LONG_PTR));
inline constexpr int kSampleCentreOffset = 2 * static_cast<int>(sizeof(LONG_PTR));
// The sample's size in pixels (one sample per pixel).
inline constexpr int kSampleSize = 128;

class MaterialEditor final : public IMtlParams, public ReferenceMaker {
 public:
  // Registers the window classes (once per program).
  static bool RegisterClasses(HINSTANCE instance);

  MaterialEditor() = default;
  ~MaterialEditor() override;
  MaterialEditor(const MaterialEditor&) = delete;
  MaterialEditor& operator=(const MaterialEditor&) = delete;

  // Opens the editor window on map (titled with `caption`) and asks the map
  // for its parameter dialog. False with a message when the window cannot be
  // made or the map has no editor.
  bool Open(Texmap* map, const std::string& caption, std::string& error);
  // Deletes the map's dialog, removes the pages and destroys the window;
  // the map is no longer referenced. Safe to call twice.
  void Close();

  HWND Hwnd() const { return hwnd_; }
  RollupPanel& Panel() { return panel_; }
  HWND Sample() const { return sample_; }
  int SampleRenders() const { return renders_; }

  // Does what the action says, as a person would. False with a message when
  // the rollout or the control is not there. A press may run a modal dialog
  // before it returns.
  bool Apply(const Action& action, std::string& error);

  // --- IMtlParams ---
  HWND AddRollupPage(HINSTANCE hInst, int dlgId, RollupDlgProc proc, const char* title, LPARAM param = 0,
                     DWORD flags = 0, int category = ROLLUP_CAT_STANDARD) override;
  void DeleteRollupPage(HWND hRollup) override;
  TimeValue GetTime() override { return 0; }
  void MtlChanged() override;

  // --- ReferenceMaker: reference 0 is the map ---
  int NumRefs() override { return 1; }
  RefTargetHandle GetReference(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                             RefMessage message, bool propagate) override;

 protected:
  void SetReference(int i, RefTargetHandle rtarg) override;

 private:
  void SampleChanged();
  void PaintSample();
  void FitToContent();
  static LRESULT CALLBACK EditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK SampleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  HWND sample_ = nullptr;
  HWND nameLabel_ = nullptr;
  HWND line_ = nullptr;  // under the sample, across the window
  HFONT font_ = nullptr;
  RollupPanel panel_;
  Texmap* map_ = nullptr;
  ParamDlg* dialog_ = nullptr;
  PreviewImage image_;
  bool sampleDirty_ = true;
  bool rendering_ = false;
  int renders_ = 0;
};

}  // namespace tessary::host::editor
