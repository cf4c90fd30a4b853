#include "host/runtime/module_loader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/runtime/class_directory.h"
#include "host/sdk/mtl.h"

#ifndef _WIN32
#include <dlfcn.h>

#include "tests/support/headless_test_hooks.h"

namespace tessary::host {
namespace {

using EventsFn = const char* (*)();

// Keeps the module mapped beyond the loader's unload, so its entry point's
// record can still be read.
struct Peek {
  explicit Peek(const char* path) : lib(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
  ~Peek() {
    if (lib) dlclose(lib);
  }
  std::string Events() const {
    void* sym = dlsym(lib, "TestModuleEvents");
    EventsFn fn = nullptr;
    std::memcpy(&fn, &sym, sizeof fn);
    return fn ? fn() : "?";
  }
  void* lib;
};

TEST(ModuleLoader, LoadsRunsTheEntryPointAndRegistersTheClasses) {
  Peek peek(TEST_MODULE_GOOD);
  ASSERT_NE(peek.lib, nullptr);
  ClassDirectory dir;
  ResetControlInitCounts();
  const int commonBefore = headless::test::InitCommonControlsCount();
  std::string error;
  {
    auto m = PluginModule::Load(TEST_MODULE_GOOD, dir, &error);
    ASSERT_NE(m, nullptr) << error;
    EXPECT_EQ(m->Description(), "Loader test module");
    EXPECT_EQ(m->Version(), HOST_API_VERSION);
    ASSERT_EQ(m->NumClasses(), 1);
    ClassDesc* cd = m->GetClassDesc(0);
    EXPECT_EQ(m->GetClassDesc(1), nullptr);
    EXPECT_EQ(dir.Find(TEXMAP_CLASS_ID, Class_ID(0x77, 0x88)), cd);
    EXPECT_EQ(cd->HInstance(), m->Instance());  // the entry point got the loader's handle
    EXPECT_NE(m->Instance(), nullptr);
    EXPECT_EQ(InitCustomControlsCount(), 1);
    EXPECT_EQ(headless::test::InitCommonControlsCount(), commonBefore + 1);
    EXPECT_EQ(peek.Events(), "attach;");

    Animatable* made = dir.Create(TEXMAP_CLASS_ID, Class_ID(0x77, 0x88));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->SuperClassID(), TEXMAP_CLASS_ID);
    made->DeleteThis();

    SetAppID(5);
    EXPECT_EQ(cd->IsPublic(), 0);
    SetAppID(0);
    EXPECT_EQ(cd->IsPublic(), 1);
  }
  EXPECT_EQ(dir.Count(), 0);  // unloading unregisters
  EXPECT_EQ(peek.Events(), "attach;detach;");
}

TEST(ModuleLoader, BadModulesGiveClearErrorsAndLeaveNothingBehind) {
  const std::filesystem::path junk = std::filesystem::temp_directory_path() / "tessary_not_a_module.so";
  std::ofstream(junk) << "this is not a library";

  struct Case {
    std::string path;
    std::string expect;  // part of the message
  };
  const Case cases[] = {
      {"/nonexistent/dir/module.dlt", "no such file"},
      {junk.string(), "not a loadable module"},
      {TEST_MODULE_NOCLASSDESC, "the export 'LibClassDesc' is missing"},
      {TEST_MODULE_BADVERSION, "version 0x2AF71900 is not accepted (this host takes 0x2AF81900)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ClassDirectory dir;
    std::string error;
    auto m = PluginModule::Load(c.path, dir, &error);
    EXPECT_EQ(m, nullptr);
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    EXPECT_EQ(dir.Count(), 0);
  }
  std::filesystem::remove(junk);
}

TEST(ModuleLoader, ASecondLoadOfTheSameModuleOrClassIsRefused) {
  Peek peek(TEST_MODULE_GOOD);
  ClassDirectory dir;
  std::string error;
  auto first = PluginModule::Load(TEST_MODULE_GOOD, dir, &error);
  ASSERT_NE(first, nullptr) << error;
  const std::string eventsAfterFirst = peek.Events();

  struct Case {
    const char* path;
    std::string expect;
  };
  const Case cases[] = {
      {TEST_MODULE_GOOD, "it is already loaded"},
      {TEST_MODULE_COPY, "class 'Module Map' is already registered"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto again = PluginModule::Load(c.path, dir, &error);
    EXPECT_EQ(again, nullptr);
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    EXPECT_EQ(dir.Count(), 1);  // the first load's class stays
  }
  // The refused second load of the same file never reached its entry point.
  EXPECT_EQ(peek.Events(), eventsAfterFirst);
  ASSERT_EQ(dir.Count(), 1);
  EXPECT_EQ(dir.Get(0), first->GetClassDesc(0));
}

}  // namespace
}  // namespace tessary::host
#endif
