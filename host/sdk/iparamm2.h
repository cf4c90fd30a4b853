#pragma once
// Parameter block schemas together with the descriptors they attach to.

#include "host/sdk/classdesc.h"
#include "host/sdk/iparamb2.h"
