#pragma once
// A map header that reaches up into the editor: the include rule rejects it.
#include "ui/b.h"
