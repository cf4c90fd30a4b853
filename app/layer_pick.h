#pragma once
// Showing part of a stack: the layers of the root layered map up to one of
// them (--upto N), or one layer alone (--solo N). The map's arithmetic is
// untouched: the other layers are switched off, as a user would in the
// editor, and the output stage stays as the scene has it.

#include <string>

#include "host/sdk/mtl.h"

namespace tessary::app {

struct LayerPick {
  int solo = -1;  // -1: not asked for
  int upto = -1;
};

// Changes the root layered map so that it shows what `pick` asks for, then
// updates it for time 0:
// - upto N: the layers above N are switched off (their "used" cleared), so
//   the map gives the composite after layer N;
// - solo N: layer N alone. Every other layer above the base is switched off;
//   for N above 0 layer N's map, mask, switches and flat colour also take
//   the base's place (the base has no opacity or mode), so what shows is the
//   layer's own colour, its mask as coverage, over nothing.
// Fails with `error` set ("--solo 9: the root map has 7 layers, 0 to 6")
// when the root is no layered map or N is outside the stack.
bool ApplyLayerPick(host::Texmap& root, const LayerPick& pick, std::string& error);

}  // namespace tessary::app
