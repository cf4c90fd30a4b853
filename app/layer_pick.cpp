#include "app/layer_pick.h"

#include "plugin_api/layered_map.h"

namespace tessary::app {

bool ApplyLayerPick(host::Texmap& root, const LayerPick& pick, std::string& error) {
  if (pick.solo < 0 && pick.upto < 0) return true;
  const std::string option = pick.solo >= 0 ? "--solo " + std::to_string(pick.solo) : "--upto " + std::to_string(pick.upto);
  ILayeredMap* stack = GetLayeredMap(&root);
  if (!stack) {
    error = option + ": the root map is not a layered map";
    return false;
  }
  const int n = stack->LayerCount();
  const int chosen = pick.solo >= 0 ? pick.solo : pick.upto;
  if (chosen >= n) {
    error = option + ": the root map has " + std::to_string(n) + (n == 1 ? " layer, 0" : " layers, 0 to " + std::to_string(n - 1));
    return false;
  }
  for (int i = 1; i < n; ++i) {
    const bool keep = pick.solo >= 0 ? i == chosen : i <= chosen;
    if (keep) continue;
    LayerValues v = stack->GetLayer(i);
    v.used = 0;
    stack->SetLayer(i, v);
  }
  if (pick.solo > 0) {
    // Layer N becomes the base: its sub-maps into slots 0 and 1 (held by the
    // map while the old base's are released), its values into layer 0.
    host::Texmap* map = root.GetSubTexmap(2 * chosen);
    host::Texmap* mask = root.GetSubTexmap(2 * chosen + 1);
    root.SetSubTexmap(0, map);
    root.SetSubTexmap(1, mask);
    const LayerValues top = stack->GetLayer(chosen);
    LayerValues base = stack->GetLayer(0);
    base.mapOn = top.mapOn;
    base.maskOn = top.maskOn;
    base.color = top.color;
    stack->SetLayer(0, base);
    LayerValues off = top;
    off.used = 0;
    stack->SetLayer(chosen, off);
  }
  host::Interval valid = host::FOREVER;
  root.Update(0, valid);
  return true;
}

}  // namespace tessary::app
