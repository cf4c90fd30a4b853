// Sets the module handle once for the whole test program, the way the host's
// loader does, so that GetString finds the resource script embedded in this
// program.

#include <gtest/gtest.h>

#include "platform/win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved);

namespace {

class ModuleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr);
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

}  // namespace
