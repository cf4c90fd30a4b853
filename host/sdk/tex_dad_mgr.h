#pragma once
// The material editor's drag-and-drop manager for texture-map buttons. A
// parameter dialog embeds one, binds it to itself and attaches it to the
// buttons that stand for sub-maps of the edited map; the dialog says which
// sub-map a button stands for (ParamDlg::FindSubTexFromHWND) and the edited
// map reads and assigns its sub-maps (GetSubTexmap / SetSubTexmap).
//
// What it accepts: a texture map dropped onto a button of its dialog that
// stands for a sub-map, unless the map is the edited map itself or has the
// edited map somewhere below it (that would make a cycle). A drop assigns
// the map to the slot as an instance. A drag between two buttons of the
// same dialog exchanges their two sub-maps.

#include "host/sdk/custcont.h"
#include "host/sdk/mtl_edit.h"

namespace tessary::host {

class Texmap;

class TexDADMgr : public DADMgr {
 public:
  explicit TexDADMgr(ParamDlg* dialog = nullptr) : dialog_(dialog) {}
  void Init(ParamDlg* dialog) { dialog_ = dialog; }
  ParamDlg* Dialog() const { return dialog_; }

  // TEXMAP_CLASS_ID for a button that stands for a sub-map, 0 otherwise.
  SClass_ID GetDragType(HWND hwnd, POINT p) override;
  BOOL OkToDrop(ReferenceTarget* dropThis, HWND from, HWND to, POINT p, SClass_ID type,
                BOOL isNew) override;
  // The sub-map the button stands for (may be null).
  ReferenceTarget* GetInstance(HWND hwnd, POINT p, SClass_ID type) override;
  // Assigns dropThis to the button's sub-map slot when OkToDrop allows it.
  void Drop(ReferenceTarget* dropThis, HWND hwnd, POINT p, SClass_ID type) override;
  BOOL LetMeHandleLocalDAD() override { return TRUE; }
  // Exchanges the sub-maps of two buttons of this dialog.
  void LocalDragAndDrop(HWND from, HWND to, POINT p) override;

 private:
  Texmap* EditedMap() const;
  int SlotOf(HWND hwnd) const;

  ParamDlg* dialog_;
};

}  // namespace tessary::host
