#pragma once
// The command line of the editor host program. Besides the scene and the
// module it takes a short list of things a person would do once the editor
// is up (open or roll up a rollout, scroll, press a button), applied in the
// order given, so that a script sees the same picture every time.

#include <string>
#include <vector>
#include "host/runtime/runtime_only.h"

namespace tessary::host::editor {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the module or the scene could not be used
inline constexpr int kExitUsage = 2;    // a bad command line
inline constexpr int kExitTimedOut = 3; // --timeout ran out

enum class ActionKind {
  Open,       // unroll a rollout
  Close,      // roll it up
  Show,       // scroll the rollup panel so that the rollout's title is at the top
  Scroll,     // move the first vertical scroll bar of the rollout's page to `position`
  Press,      // click the push button captioned `caption` in the rollout's page
};

struct Action {
  ActionKind kind = ActionKind::Open;
  // Which rollout: its title, compared without regard to case (a leading
  // part is enough), or its position counted from 1.
  std::string rollout;
  int position = 0;       // Scroll
  std::string caption;    // Press
  bool ctrl = false;      // Press with Ctrl held
};

struct Options {
  std::string scene;
  std::string module;     // empty: the default places (ModuleCandidates)
  std::vector<Action> actions;
  std::string readyFile;  // empty: none
  int timeoutSeconds = 0; // 0: none
  bool help = false;
};

// Parses argv[1..argc-1]. False with a one-line message in `error` for an
// unknown switch, a missing or malformed value, a missing scene, a second
// scene, or a press that is not the last action (a pressed button may open
// a modal dialog, which holds every later action back).
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// The usage text printed by --help and after a usage error.
std::string UsageText();

// The index of the rollout that `name` designates among `titles`: a 1-based
// position, else the first title that starts with `name` (ignoring case).
// -1 when none does.
int FindRollout(const std::vector<std::string>& titles, const std::string& name);

}  // namespace tessary::host::editor
