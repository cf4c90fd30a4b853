// The editor host program (Windows): loads a plug-in module through its
// exports, as the host does at start-up, reads a binary scene file and opens
// its root map in the material editor. See UsageText for the command line.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/runtime/class_directory.h"
#include "host/runtime/editor/editor_options.h"
#include "host/runtime/editor/material_editor.h"
#include "host/runtime/module_loader.h"
#include "host/runtime/scene_file.h"
#include "host/runtime/stdmap_classes.h"

namespace fs = std::filesystem;
using namespace tessary::host;
using namespace tessary::host::editor;

namespace {

void Fail(const std::string& message) { std::fprintf(stderr, "tessary_editor: error: %s\n", message.c_str()); }

// Where the module is looked for when --module does not say: beside the
// program, then in ../lib (the build tree's layout).
std::vector<std::string> ModuleCandidates() {
  char self[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  const fs::path dir = fs::path(std::string(self, n)).parent_path();
  return {(dir / "quilbo.dlt").string(), (dir.parent_path() / "lib" / "quilbo.dlt").string()};
}

DWORD WINAPI Watchdog(LPVOID seconds) {
  Sleep(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(seconds)) * 1000u);
  std::fprintf(stderr, "tessary_editor: error: still running after %u s; giving up\n",
               static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(seconds)));
  std::fflush(stderr);
  ExitProcess(kExitTimedOut);
}

// --- The ready file -----------------------------------------------------------
// Once the view the actions asked for is on screen (and has had a moment to
// reach the display), the program writes the editor's window handle and the
// screen rectangle to show: the editor's window, and the modal dialog a
// pressed button opened. When the file is removed, the program cancels that
// dialog and closes.

struct ReadyState {
  std::string file;
  MaterialEditor* editor = nullptr;
  bool actionsDone = false;  // every action has returned
  bool pressing = false;     // the last action, a press, is running
  DWORD settleSince = 0;     // when the view was first complete (0: not yet)
  bool written = false;
};
ReadyState ready;

constexpr DWORD kSettleMs = 400;

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
  return TRUE;
}

// The modal dialog of this thread now running, or null: a visible, enabled
// dialog window whose owner is disabled.
HWND RunningModalDialog() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  for (HWND w : windows) {
    char name[16] = {};
    GetClassNameA(w, name, sizeof name);
    if (std::string(name) != "#32770" || !IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
    HWND owner = GetWindow(w, GW_OWNER);
    if (owner && !IsWindowEnabled(owner)) return w;
  }
  return nullptr;
}

bool WriteReadyFile(HWND editor, HWND dialog) {
  RECT r{};
  GetWindowRect(editor, &r);
  if (dialog) {
    RECT d{};
    GetWindowRect(dialog, &d);
    UnionRect(&r, &r, &d);
  }
  const std::string temp = ready.file + ".part";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << reinterpret_cast<std::uintptr_t>(editor) << ' ' << r.left << ' ' << r.top << ' ' << r.right << ' '
        << r.bottom << '\n';
    if (!out) return false;
  }
  return MoveFileExA(temp.c_str(), ready.file.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void CALLBACK ReadyTimer(HWND, UINT, UINT_PTR, DWORD) {
  HWND editor = ready.editor ? ready.editor->Hwnd() : nullptr;
  if (!editor) return;
  HWND dialog = RunningModalDialog();
  if (ready.written) {
    std::error_code ec;
    if (fs::exists(ready.file, ec)) return;
    // The file was removed: cancel the dialog first, close once it is gone.
    if (dialog) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else if (ready.actionsDone) {
      DestroyWindow(editor);
    }
    return;
  }
  const bool complete = ready.actionsDone || (ready.pressing && dialog);
  if (!complete) return;
  const DWORD now = GetTickCount();
  if (ready.settleSince == 0) {
    ready.settleSince = now == 0 ? 1 : now;
    return;
  }
  if (now - ready.settleSince < kSettleMs) return;
  RedrawWindow(editor, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  if (dialog) RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  if (!WriteReadyFile(editor, dialog)) {
    Fail("cannot write " + ready.file);
    DestroyWindow(editor);
    return;
  }
  ready.written = true;
}

int Run(const Options& options) {
  if (fs::path(options.scene).extension() == ".json") {
    Fail(options.scene + ": this program opens binary scene files (.tsy); `tessary convert` makes one from a JSON scene");
    return kExitFailure;
  }
  std::vector<std::string> candidates =
      options.module.empty() ? ModuleCandidates() : std::vector<std::string>{options.module};
  std::string modulePath;
  std::error_code ec;
  for (const std::string& c : candidates) {
    if (fs::is_regular_file(c, ec)) {
      modulePath = c;
      break;
    }
  }
  if (modulePath.empty()) {
    std::string list;
    for (const std::string& c : candidates) list += (list.empty() ? "" : ", ") + c;
    Fail("cannot find the plug-in module (looked at " + list + "; --module names it)");
    return kExitFailure;
  }

  std::string error;
  ClassDirectory& directory = ClassDirectory::Instance();
  std::unique_ptr<PluginModule> module = PluginModule::Load(modulePath, directory, &error);
  if (!module) {
    Fail(error);
    return kExitFailure;
  }
  RegisterStandardMaps(directory);

  ReferenceTarget* root = LoadSceneFile(options.scene, &error);
  if (!root) {
    Fail(error);
    return kExitFailure;
  }
  if (root->SuperClassID() != TEXMAP_CLASS_ID) {
    Fail(options.scene + ": the scene's root object is not a texture map");
    DeleteGraph(root);
    return kExitFailure;
  }
  auto* map = static_cast<Texmap*>(root);

  int status = kExitOk;
  {
    MaterialEditor editor;
    const std::string caption = "Material Editor - " + fs::path(options.scene).filename().string();
    if (!editor.Open(map, caption, error)) {
      Fail(error);
      status = kExitFailure;
    } else {
      ready.file = options.readyFile;
      ready.editor = &editor;
      const UINT_PTR timer = options.readyFile.empty() ? 0 : SetTimer(nullptr, 0, 100, ReadyTimer);
      for (const Action& action : options.actions) {
        ready.pressing = action.kind == ActionKind::Press;
        if (!editor.Apply(action, error)) {
          Fail(error);
          status = kExitUsage;
          break;
        }
      }
      ready.pressing = false;
      ready.actionsDone = true;
      if (status != kExitOk) {
        editor.Close();
      }
      MSG m;
      while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        HWND page = editor.Panel().PageOf(m.hwnd);
        if (page && IsDialogMessageA(page, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
      if (timer) KillTimer(nullptr, timer);
      ready.editor = nullptr;
      editor.Close();
    }
  }
  DeleteGraph(root);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    Fail(error);
    std::fputs(UsageText().c_str(), stderr);
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitOk;
  }
  if (options.timeoutSeconds > 0) {
    HANDLE t = CreateThread(nullptr, 0, Watchdog,
                            reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(options.timeoutSeconds)), 0, nullptr);
    if (t) CloseHandle(t);
  }
  return Run(options);
}
