// The plug-in module as the host sees it: its exports, its entry point, its
// class descriptor and block schema, and a map made through the descriptor.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/runtime/class_directory.h"
#include "host/sdk/iparamb2.h"
#include "host/runtime/module_loader.h"
#include "host/sdk/mtl.h"
#include "host/sdk/mtl_edit.h"
#include "host/sdk/plugapi.h"
#include "host/sdk/shade_context.h"
#include "resources/resource.h"
#include "tests/support/win32_user.h"
#ifndef _WIN32
#include <dlfcn.h>

#include "tests/support/headless_test_hooks.h"
#endif

namespace tessary::host {
namespace {

const Class_ID kClassID(0x9B340D4D, 0xA443AC6A);

// The system's own handle of a module the loader holds (another reference,
// given back with CloseModule).
void* OpenModule(const char* path) {
#ifdef _WIN32
  return reinterpret_cast<void*>(LoadLibraryA(path));
#else
  return dlopen(path, RTLD_NOW | RTLD_NOLOAD);
#endif
}

void CloseModule(void* lib) {
#ifdef _WIN32
  FreeLibrary(reinterpret_cast<HMODULE>(lib));
#else
  dlclose(lib);
#endif
}

template <class Fn>
Fn Export(void* lib, const char* name) {
#ifdef _WIN32
  FARPROC sym = GetProcAddress(reinterpret_cast<HMODULE>(lib), name);
#else
  void* sym = dlsym(lib, name);
#endif
  Fn fn = nullptr;
  static_assert(sizeof fn == sizeof sym);
  std::memcpy(&fn, &sym, sizeof fn);
  return fn;
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    module = PluginModule::Load(TESSARY_QUILBO_MODULE, directory, &error);
    ASSERT_NE(module, nullptr) << error;
    lib = OpenModule(TESSARY_QUILBO_MODULE);
    ASSERT_NE(lib, nullptr);
    desc = dynamic_cast<ClassDesc2*>(module->GetClassDesc(0));
    ASSERT_NE(desc, nullptr);
  }
  void TearDown() override {
    if (lib) CloseModule(lib);
    SetAppID(0);
  }
  ClassDirectory directory;
  std::unique_ptr<PluginModule> module;
  void* lib = nullptr;
  ClassDesc2* desc = nullptr;
};

TEST_F(ModuleTest, Exports) {
  EXPECT_EQ(module->Description(), "Tessary");
  EXPECT_EQ(module->Version(), 0x2AF81900u);
  EXPECT_EQ(module->NumClasses(), 1);
  auto numClasses = Export<LibNumberClassesFn>(lib, "LibNumberClasses");
  auto classDesc = Export<LibClassDescFn>(lib, "LibClassDesc");
  auto description = Export<LibDescriptionFn>(lib, "LibDescription");
  auto version = Export<LibVersionFn>(lib, "LibVersion");
  ASSERT_TRUE(numClasses && classDesc && description && version);
  EXPECT_EQ(numClasses(), 1);
  EXPECT_EQ(classDesc(0), desc);
  for (int i : {1, -1, 2}) EXPECT_EQ(classDesc(i), nullptr) << i;
  EXPECT_EQ(version(), 0x2AF81900u);
  // The loader's string buffer is shared: the same text twice.
  const char* first = description();
  const char* second = description();
  EXPECT_EQ(first, second);
  EXPECT_STREQ(second, "Tessary");
  EXPECT_EQ(directory.Find(TEXMAP_CLASS_ID, kClassID), desc);
}

#ifdef _WIN32
TEST_F(ModuleTest, TheSystemRanTheEntryPointWhichIsNotExported) {
  // The system calls DllMain as the module's entry; only the four functions
  // are exported, under their plain names.
  EXPECT_EQ(Export<DllMainFn>(lib, "DllMain"), nullptr);
  EXPECT_GE(InitCustomControlsCount(), 1);
  EXPECT_EQ(desc->HInstance(), reinterpret_cast<HINSTANCE>(lib));
}
#else
TEST_F(ModuleTest, EntryPointInitialisesTheControlsOnce) {
  auto dllMain = Export<DllMainFn>(lib, "DllMain");
  ASSERT_NE(dllMain, nullptr);
  const int custom = InitCustomControlsCount();
  const int common = headless::test::InitCommonControlsCount();
  EXPECT_EQ(dllMain(module->Instance(), DLL_PROCESS_ATTACH, nullptr), TRUE);
  EXPECT_EQ(dllMain(module->Instance(), DLL_PROCESS_ATTACH, nullptr), TRUE);
  EXPECT_EQ(InitCustomControlsCount(), custom);
  EXPECT_EQ(headless::test::InitCommonControlsCount(), common);
  EXPECT_STREQ(Export<LibDescriptionFn>(lib, "LibDescription")(), "Tessary");
}
#endif

TEST_F(ModuleTest, Descriptor) {
  struct Case {
    int appID;
    int isPublic;
  };
  for (const Case& c : {Case{0, 1}, Case{4, 1}, Case{5, 0}, Case{6, 1}}) {
    SetAppID(c.appID);
    EXPECT_EQ(desc->IsPublic(), c.isPublic) << "app " << c.appID;
  }
  EXPECT_STREQ(desc->ClassName(), "Tessary");
  EXPECT_STREQ(desc->Category(), "Tessary");
  EXPECT_STREQ(desc->InternalName(), "Tessary");
  EXPECT_EQ(desc->SuperClassID(), 0xC10u);
  EXPECT_EQ(desc->ClassID(), kClassID);
  EXPECT_EQ(desc->HInstance(), module->Instance());
}

TEST_F(ModuleTest, BlockSchema) {
  ASSERT_EQ(desc->NumParamBlockDescs(), 1);
  const ParamBlockDesc2* pbd = desc->GetParamBlockDescByID(0);
  ASSERT_NE(pbd, nullptr);
  EXPECT_EQ(desc->GetParamBlockDesc(0), pbd);
  EXPECT_STREQ(pbd->InternalName(), "parameters");
  EXPECT_EQ(pbd->Flags(), P_AUTO_CONSTRUCT + P_AUTO_UI);
  EXPECT_EQ(pbd->RefNo(), 0);
  EXPECT_TRUE(pbd->IsValid());
  ASSERT_EQ(pbd->Count(), 21);

  struct Case {
    ParamID id;
    const char* name;
    int type;
    int flags;
    float def;
    float low, high;  // low == high: no range
  };
  const Case cases[] = {
      {0, "mapList", TYPE_TEXMAP_TAB, P_VARIABLE_SIZE | P_OWNERS_REF, 0, 0, 0},
      {1, "mapEnabled", TYPE_BOOL_TAB, P_VARIABLE_SIZE, 1, 0, 0},
      {2, "mapUsed", TYPE_BOOL_TAB, P_VARIABLE_SIZE, 1, 0, 0},
      {3, "opasityList", TYPE_FLOAT_TAB, P_VARIABLE_SIZE, 100, 0, 100},
      {4, "colorList", TYPE_RGBA_TAB, P_VARIABLE_SIZE, 0.5f, 0, 0},
      {5, "modeList", TYPE_INT_TAB, P_VARIABLE_SIZE, 0, 0, 0},
      {6, "edit_ids", TYPE_STRING_TAB, P_VARIABLE_SIZE, 0, 0, 0},
      {7, "maskEnabled", TYPE_BOOL_TAB, P_VARIABLE_SIZE, 1, 0, 0},
      {8, "HSV_H", TYPE_FLOAT, P_ANIMATABLE, 0, -1e7f, 1e7f},
      {9, "HSV_S", TYPE_FLOAT, P_ANIMATABLE, 0, -1e7f, 1e7f},
      {10, "HSV_V", TYPE_FLOAT, P_ANIMATABLE, 0, -1e7f, 1e7f},
      {11, "RGB_R", TYPE_FLOAT, P_ANIMATABLE, 0, -1e7f, 1e7f},
      {12, "RGB_G", TYPE_FLOAT, P_ANIMATABLE, 0, -1e7f, 1e7f},
      {13, "RGB_B", TYPE_FLOAT, P_ANIMATABLE, 0, -1e7f, 1e7f},
      {14, "Output_on", TYPE_BOOL, P_ANIMATABLE, 0, 0, 0},
      {15, "alpha", TYPE_FLOAT, P_ANIMATABLE, 0, -1e7f, 1e7f},
      {16, "bright", TYPE_FLOAT, P_ANIMATABLE, 100, -1e7f, 1e7f},
      {17, "contrast", TYPE_FLOAT, P_ANIMATABLE, 100, -1e7f, 1e7f},
      {18, "gamma", TYPE_FLOAT, P_ANIMATABLE, 1, 0.001f, 1e7f},
      {19, "Mono", TYPE_BOOL, P_ANIMATABLE, 0, 0, 0},
      {20, "Clamp", TYPE_BOOL, P_ANIMATABLE, 0, 0, 0},
  };
  for (int index = 0; index < 21; ++index) {
    const Case& c = cases[index];
    SCOPED_TRACE(c.name);
    const ParamDef* d = pbd->GetParamDefByIndex(index);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->id, c.id);
    EXPECT_STREQ(d->int_name, c.name);
    EXPECT_EQ(d->type, c.type);
    EXPECT_EQ(d->flags, c.flags);
    switch (BaseType(c.type)) {
      case TYPE_FLOAT: EXPECT_EQ(d->defFloat, c.def); break;
      case TYPE_BOOL:
      case TYPE_INT: EXPECT_EQ(static_cast<float>(d->defInt), c.def); break;
      case TYPE_RGBA: EXPECT_EQ(d->defColor, Color(c.def, c.def, c.def)); break;
      default: break;
    }
    EXPECT_EQ(d->hasRange, c.low != c.high);
    if (c.low != c.high) {
      EXPECT_EQ(d->rangeLow, c.low);
      EXPECT_EQ(d->rangeHigh, c.high);
    }
    if (c.id >= 8) {  // Output parameters: named by their own text, bound to a control
      EXPECT_STREQ(d->localNameText, c.name);
      EXPECT_EQ(d->ctrlType, c.type == TYPE_BOOL ? TYPE_SINGLECHECKBOX : TYPE_SPINNER);
      EXPECT_EQ(d->ctrlCount, c.type == TYPE_BOOL ? 1 : 2);
      if (c.type == TYPE_FLOAT) {
        EXPECT_EQ(d->ctrlEditType, EDITTYPE_FLOAT);
        EXPECT_EQ(d->ctrlScale, 0.1f);
      }
    }
  }
  EXPECT_EQ(pbd->GetParamDefByIndex(0)->ownerRefNo, 1);
  EXPECT_STREQ(pbd->GetParamDefByIndex(6)->localNameText, "edit_ids");
  struct NameCase {
    int index;
    int resId;
  };
  for (const NameCase& n : {NameCase{0, 5}, NameCase{1, 6}, NameCase{7, 6}, NameCase{2, 11}, NameCase{3, 12},
                            NameCase{4, 13}, NameCase{5, 14}}) {
    EXPECT_EQ(pbd->GetParamDefByIndex(n.index)->localNameResId, n.resId) << n.index;
  }
}

TEST_F(ModuleTest, MapMadeThroughTheDescriptor) {
  auto* map = dynamic_cast<Texmap*>(desc->Create(false));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->ClassID(), kClassID);
  ShadeContext sc;
  EXPECT_EQ(map->EvalColor(sc), AColor(0.5f, 0.5f, 0.5f, 1.0f));
  EXPECT_EQ(map->NumSubTexmaps(), 2);
  EXPECT_EQ(map->GetSubTexmapSlotName(1), "Map 2");
  MSTR name;
  map->GetClassName(name);
  EXPECT_EQ(name, "Tessary");
  ASSERT_NE(map->GetParamBlockByID(0), nullptr);
  EXPECT_STREQ(map->GetParamBlockByID(0)->GetStr(6, 0, 0), "0");
  map->DeleteThis();
}

// The material editor, as far as the About caption needs it: pages made as
// children of the editor's window.
class PageMaker : public IMtlParams {
 public:
  explicit PageMaker(HWND editor) : editor_(editor) {}
  HWND AddRollupPage(HINSTANCE hInst, int dlgId, RollupDlgProc proc, const char* /*title*/, LPARAM param, DWORD,
                     int) override {
    HWND w = CreateDialogParamA(hInst, MAKEINTRESOURCEA(dlgId), editor_, proc, param);
    pages.push_back(w);
    return w;
  }
  void DeleteRollupPage(HWND page) override { DestroyWindow(page); }
  TimeValue GetTime() override { return 0; }
  void MtlChanged() override {}
  std::vector<HWND> pages;

 private:
  HWND editor_;
};

LRESULT CALLBACK EditorProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// Both configurations of this architecture: each module loads through the
// host's loader, exports the four functions, and shows its own About caption
// in its own dialog.
TEST(Configurations, EachModuleShowsItsOwnAboutCaption) {
  testsupport::ResetUserInterface();
  WNDCLASSA wc{};
  wc.lpfnWndProc = EditorProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PluginTestEditor";
  const ATOM atom = RegisterClassA(&wc);
  HWND editor = CreateWindowExA(0, "PluginTestEditor", "editor", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 400, 600, nullptr,
                                nullptr, wc.hInstance, nullptr);
#ifdef _WIN32
  ASSERT_NE(editor, nullptr) << "class " << atom << " error " << GetLastError();
#else
  ASSERT_NE(editor, nullptr) << "class " << atom;
#endif
  struct Case {
    const char* path;
    const char* caption;
  };
  const Case cases[] = {{TESSARY_QUILBO_MODULE, "Version:  1.6.5 "},
                        {TESSARY_NETRENDER_MODULE, "Network Rendering Version:  1.6.5 "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ClassDirectory directory;
    std::string error;
    auto module = PluginModule::Load(c.path, directory, &error);
    ASSERT_NE(module, nullptr) << error;
    void* lib = OpenModule(c.path);
    ASSERT_NE(lib, nullptr);
    for (const char* name : {"LibDescription", "LibNumberClasses", "LibClassDesc", "LibVersion"})
      EXPECT_NE(Export<void (*)()>(lib, name), nullptr) << name;
    EXPECT_EQ(Export<LibVersionFn>(lib, "LibVersion")(), 0x2AF81900u);
    {
      PageMaker params(editor);
      auto* map = dynamic_cast<Texmap*>(module->GetClassDesc(0)->Create(false));
      ASSERT_NE(map, nullptr);
      ParamDlg* dlg = map->CreateParamDlg(editor, &params);
      ASSERT_NE(dlg, nullptr);
      ASSERT_EQ(params.pages.size(), 3u);
      ASSERT_NE(params.pages[2], nullptr);
      EXPECT_EQ(testsupport::Text(GetDlgItem(params.pages[2], IDC_VERSION_TEXT)), c.caption);
      // Every control of the pages exists: the host's classes were found.
      EXPECT_NE(GetDlgItem(params.pages[0], IDC_MAP_BUTTON0), nullptr);
      dlg->DeleteThis();
      map->DeleteThis();
      for (HWND page : params.pages) DestroyWindow(page);
    }
    CloseModule(lib);
  }
  testsupport::ResetUserInterface();
}

}  // namespace
}  // namespace tessary::host
