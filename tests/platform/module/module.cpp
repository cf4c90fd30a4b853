// A module that carries only resources.
extern "C" __attribute__((visibility("default"))) int PlatformTestModuleMarker() { return 42; }
