#pragma once
// The control IDs of the Layers rollout's six rows, in one table shared by
// every handler: the twelve buttons (map and mask interleaved, row order),
// then one column of six per kind of control.

#include <array>
#include <cstddef>

#include "resources/resource.h"
#include "ui/quilbo_dlg.h"

namespace tessary {

// Columns of rowControlIds after the twelve buttons.
enum class RowColumn : int {
  LayerNumber = 0,
  MapOn,
  MaskOn,
  Frame,
  UseLayer,
  OpacityEdit,
  OpacitySpin,
  Swatch,
  ModeList,
};
inline constexpr int kRowColumns = 9;
inline constexpr int kRowButtons = 2 * kVisibleRows;

inline constexpr std::array<int, kRowButtons + kRowColumns * kVisibleRows> rowControlIds = [] {
  std::array<int, kRowButtons + kRowColumns * kVisibleRows> t{};
  std::size_t k = 0;
  for (int b = 0; b < kRowButtons; ++b) t[k++] = IDC_MAP_BUTTON0 + b;
  const int firsts[kRowColumns] = {IDC_LAYER_NUMBER0, IDC_MAP_ON0,       IDC_MASK_ON0,
                                   IDC_ROW_FRAME0,    IDC_USE_LAYER0,    IDC_OPACITY_EDIT0,
                                   IDC_OPACITY_SPIN0, IDC_LAYER_COLOR0,  IDC_MODE_LIST0};
  for (int first : firsts)
    for (int r = 0; r < kVisibleRows; ++r) t[k++] = first + r;
  return t;
}();

// The ID of a row's control.
constexpr int RowControlId(RowColumn column, int row) {
  return rowControlIds[static_cast<std::size_t>(kRowButtons + static_cast<int>(column) * kVisibleRows + row)];
}
// Button k (0 to 11): row k / 2, map button when k is even, mask when odd.
constexpr int RowButtonId(int k) { return rowControlIds[static_cast<std::size_t>(k)]; }

// The row of control id within the column, or -1.
constexpr int RowOf(RowColumn column, int id) {
  for (int r = 0; r < kVisibleRows; ++r)
    if (RowControlId(column, r) == id) return r;
  return -1;
}
// The button index (0 to 11) of id, or -1.
constexpr int ButtonOf(int id) {
  for (int k = 0; k < kRowButtons; ++k)
    if (RowButtonId(k) == id) return k;
  return -1;
}

static_assert(RowButtonId(3) == IDC_MASK_BUTTON1);
static_assert(RowControlId(RowColumn::ModeList, 5) == IDC_MODE_LIST5);
static_assert(RowOf(RowColumn::Swatch, IDC_LAYER_COLOR4) == 4);

}  // namespace tessary
