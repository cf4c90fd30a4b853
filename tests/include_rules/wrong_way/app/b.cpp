// A program source that includes the map's class: the include rule rejects it.
#include "host/mtl.h"
#include "map/a.h"
