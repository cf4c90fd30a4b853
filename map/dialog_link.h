#pragma once
// What the map needs of its open parameter dialog. The editor's dialog
// implements it; the map knows nothing else of the editor.

#include "host/mtl_edit.h"

namespace tessary {

class Quilbo;

class QuilboDialogLink : public host::ParamDlg {
 public:
  // Clears the dialog's `valid` flag and invalidates the top-left 10 x 10
  // corner of the Layers panel without erasing, so that the next paint
  // reloads the dialog.
  virtual void MarkForReload() = 0;
  // Rebuilds the captions, numbers and values of the visible rows.
  virtual void UpdateRowTexts() = 0;
  // Tells the material editor that the material changed.
  virtual void MaterialChanged() = 0;
};

// Makes the parameter dialog of a map (the module's entry point registers
// the editor's). Without a registered factory a map has no dialog.
using QuilboDialogFactory = QuilboDialogLink* (*)(Quilbo& map, HWND hwMtlEdit, host::IMtlParams* imp);
void SetQuilboDialogFactory(QuilboDialogFactory factory);

}  // namespace tessary
