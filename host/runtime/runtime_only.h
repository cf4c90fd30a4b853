#pragma once
// Every header of host/runtime includes this one. The runtime is the host's
// own code: a plug-in compiles against host/sdk alone, and its targets
// define TESSARY_PLUGIN_CODE so that a runtime header reaching one of its
// sources stops the build here.

#ifdef TESSARY_PLUGIN_CODE
#error "host/runtime is the host's own code; a plug-in includes host/sdk headers only"
#endif
