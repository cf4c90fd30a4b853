#pragma once
// Parameter block schemas together with the descriptors they attach to.

#include "host/classdesc.h"
#include "host/iparamb2.h"
