// The editor host program on real Win32 (under Wine, headless): started with
// a scene file, it shows the map's three rollouts in its rollup panel and
// renders its sample again when a value is changed through the editor's
// controls. Everything is read and done from this process, through window
// messages, as another program would.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/runtime/class_directory.h"
#include "host/runtime/editor/material_editor.h"
#include "host/runtime/module_loader.h"
#include "host/runtime/scene_file.h"
#include "host/runtime/stdmap_classes.h"
#include "resources/resource.h"

namespace tessary::host::editor {
namespace {

const Class_ID kLayeredMap(0x9B340D4D, 0xA443AC6A);
constexpr DWORD kWaitMs = 60000;

std::string TempPath(const std::string& name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + "tessary_editor_test_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

// Two layers, as the host saves them: a green base and a red layer over it
// (normal mode, full opacity), so the sample is red until the red layer's
// opacity drops.
std::string WriteScene() {
  const std::string path = TempPath("scene.tsy");
  ClassDirectory& directory = ClassDirectory::Instance();
  std::string error;
  std::unique_ptr<PluginModule> module = PluginModule::Load(TESSARY_QUILBO_MODULE, directory, &error);
  if (!module) {
    ADD_FAILURE() << error;
    return path;
  }
  auto* map = dynamic_cast<MultiTex*>(directory.Create(TEXMAP_CLASS_ID, kLayeredMap));
  if (!map) {
    ADD_FAILURE() << "the module made no layered map";
    return path;
  }
  map->SetNumSubTexmaps(2);
  auto* green = new ConstantTex();
  green->params.color = AColor(0.0f, 1.0f, 0.0f, 1.0f);
  auto* red = new ConstantTex();
  red->params.color = AColor(1.0f, 0.0f, 0.0f, 1.0f);
  map->SetSubTexmap(0, green);
  map->SetSubTexmap(2, red);
  EXPECT_EQ(SaveSceneFile(path, map, &error), IO_OK) << error;
  DeleteGraph(map);
  return path;
}

// The program, started with arguments; closed by removing its ready file.
class EditorProcess {
 public:
  explicit EditorProcess(const std::string& args, const std::string& readyName = "ready.txt")
      : ready_(TempPath(readyName)) {
    DeleteFileA(ready_.c_str());
    std::string command = std::string("\"") + TESSARY_EDITOR_PROGRAM + "\" --timeout 120 --ready \"" + ready_ +
                          "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != FALSE;
  }
  ~EditorProcess() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    DeleteFileA(ready_.c_str());
  }
  EditorProcess(const EditorProcess&) = delete;
  EditorProcess& operator=(const EditorProcess&) = delete;

  // Waits for the ready file; the editor's window, or null when the program
  // ended (or never wrote the file).
  HWND WaitUntilReady() {
    if (!started_) return nullptr;
    for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
      std::ifstream in(ready_);
      std::uintptr_t handle = 0;
      if (in >> handle) return reinterpret_cast<HWND>(handle);
      if (WaitForSingleObject(pi_.hProcess, 50) != WAIT_TIMEOUT) return nullptr;
    }
    return nullptr;
  }
  // Removes the ready file and waits for the exit status (-1: none in time).
  int Close() {
    DeleteFileA(ready_.c_str());
    return ExitCode();
  }
  int ExitCode() {
    if (!started_ || WaitForSingleObject(pi_.hProcess, kWaitMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<int>(code);
  }
  DWORD ThreadId() const { return pi_.dwThreadId; }

 private:
  std::string ready_;
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

// Texts are read with WM_GETTEXT: the window name alone would miss the text
// of controls that keep their own.
std::string Text(HWND hwnd) {
  char text[256] = {};
  SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

// Direct children of parent of a class, top to bottom on the screen.
std::vector<HWND> Children(HWND parent, const char* className) {
  std::vector<HWND> found;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (ClassOf(c) == className) found.push_back(c);
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra{}, rb{};
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.top < rb.top;
  });
  return found;
}

// The page of the panel that holds control id of the class (IDs repeat
// between pages).
HWND PageWith(HWND panel, int id, const char* className) {
  for (HWND page : Children(panel, "#32770"))
    if (HWND c = GetDlgItem(page, id); c && ClassOf(c) == className) return page;
  return nullptr;
}

LONG_PTR SampleValue(HWND sample, int offset) { return GetWindowLongPtrA(sample, offset); }

// Waits until the sample's centre shows `pixel` (renders of earlier changes
// may still be on their way); false when it does not in time.
bool WaitForCentre(HWND sample, LONG_PTR pixel) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
    if (SampleValue(sample, kSampleCentreOffset) == pixel) return true;
    Sleep(20);
  }
  return false;
}

TEST(EditorProgram, ShowsTheThreeRolloutsAndRendersTheSampleAgainAfterAnEdit) {
  const std::string scene = WriteScene();
  EditorProcess editor("--module \"" TESSARY_QUILBO_MODULE "\" \"" + scene + "\"");
  HWND window = editor.WaitUntilReady();
  ASSERT_NE(window, nullptr) << "the editor did not come up (exit status " << editor.ExitCode() << ")";
  EXPECT_EQ(ClassOf(window), kEditorClass);
  EXPECT_EQ(Text(window), "Material Editor - " + scene.substr(scene.find_last_of("\\/") + 1));

  HWND panel = FindWindowExA(window, nullptr, kRollupPanelClass, nullptr);
  ASSERT_NE(panel, nullptr);
  std::vector<std::string> titles;
  for (HWND t : Children(panel, kRollupTitleClass)) titles.push_back(Text(t));
  EXPECT_EQ(titles, (std::vector<std::string>{"Tessary parameters", "Output", "About"}));
  HWND layers = PageWith(panel, IDC_SET_NUMBER, "Button");
  HWND output = PageWith(panel, IDC_OUTPUT_ON, "Button");
  HWND about = PageWith(panel, IDC_BANNER, "CustImage");
  ASSERT_TRUE(layers && output && about);
  // The Layers rollout starts open, the other two rolled up.
  EXPECT_TRUE(IsWindowVisible(layers));
  EXPECT_FALSE(IsWindowVisible(output));
  EXPECT_FALSE(IsWindowVisible(about));
  EXPECT_EQ(Text(GetDlgItem(about, IDC_VERSION_TEXT)), "Version:  1.6.5 ");

  HWND sample = FindWindowExA(window, nullptr, kPreviewClass, nullptr);
  ASSERT_NE(sample, nullptr);
  const LONG_PTR renders = SampleValue(sample, kSampleRendersOffset);
  EXPECT_GE(renders, 1);
  EXPECT_EQ(SampleValue(sample, kSampleCentreOffset), 0xFF0000) << "the red layer over the green base";
  const LONG_PTR digest = SampleValue(sample, kSampleDigestOffset);

  // The red layer's opacity typed in as 0 and committed with Return.
  HWND opacity = GetDlgItem(layers, IDC_OPACITY_EDIT0 + 1);
  ASSERT_NE(opacity, nullptr);
  SendMessageA(opacity, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("0"));
  SendMessageA(opacity, WM_CHAR, '\r', 0);
  EXPECT_TRUE(WaitForCentre(sample, 0x00FF00)) << "the base alone; the centre shows "
                                                << std::hex << SampleValue(sample, kSampleCentreOffset);
  EXPECT_EQ(Text(opacity), "0.0");
  EXPECT_GT(SampleValue(sample, kSampleRendersOffset), renders);
  EXPECT_NE(SampleValue(sample, kSampleDigestOffset), digest);

  // A click on a title rolls its page out.
  HWND outputTitle = Children(panel, kRollupTitleClass).at(1);
  PostMessageA(outputTitle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 5));
  PostMessageA(outputTitle, WM_LBUTTONUP, 0, MAKELPARAM(20, 5));
  for (DWORD waited = 0; waited < kWaitMs && !IsWindowVisible(output); waited += 20) Sleep(20);
  EXPECT_TRUE(IsWindowVisible(output));

  EXPECT_EQ(editor.Close(), 0);
  DeleteFileA(scene.c_str());
}

TEST(EditorProgram, APressedButtonOpensItsDialogOverTheNetworkRenderingEditor) {
  const std::string scene = WriteScene();
  EditorProcess editor("--module \"" TESSARY_NETRENDER_MODULE "\" \"" + scene + "\" --ctrl-press 1 Delete",
                       "ready_dialog.txt");
  HWND window = editor.WaitUntilReady();
  ASSERT_NE(window, nullptr) << "the editor did not come up (exit status " << editor.ExitCode() << ")";
  HWND panel = FindWindowExA(window, nullptr, kRollupPanelClass, nullptr);
  HWND about = PageWith(panel, IDC_BANNER, "CustImage");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Text(GetDlgItem(about, IDC_VERSION_TEXT)), "Network Rendering Version:  1.6.5 ");
  // Ctrl and "Delete" open the Delete dialog, modal over the editor.
  HWND dialog = FindWindowA("#32770", "Delete Map");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_FALSE(IsWindowEnabled(window));
  EXPECT_EQ(Text(GetDlgItem(dialog, IDC_COUNT_EDIT)), "1");
  // Closing cancels the dialog: nothing is deleted, the program ends well.
  EXPECT_EQ(editor.Close(), 0);
  DeleteFileA(scene.c_str());
}

TEST(EditorProgram, BadInputEndsWithAStatusAndNoWindow) {
  struct Case {
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"\"" + TempPath("missing.tsy") + "\"", kExitFailure},
      {"--module \"" + TempPath("missing.dlt") + "\" scene.tsy", kExitFailure},
      {"--frobnicate scene.tsy", kExitUsage},
  };
  for (const Case& c : cases) {
    EditorProcess editor(c.args);
    EXPECT_EQ(editor.WaitUntilReady(), nullptr) << c.args;
    EXPECT_EQ(editor.ExitCode(), c.status) << c.args;
  }
}

}  // namespace
}  // namespace tessary::host::editor
