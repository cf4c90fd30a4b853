#include "host/runtime/editor/editor_options.h"

#include <cctype>
#include <charconv>

namespace tessary::host::editor {

namespace {

bool ParseInt(const std::string& text, int min, int max, int& value) {
  int v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || ptr != end || text.empty() || v < min || v > max) return false;
  value = v;
  return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.empty() || prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

}  // namespace

std::string UsageText() {
  return "usage: tessary_editor [options] SCENE.tsy\n"
         "Opens the layered map of a scene file in the material editor.\n"
         "  --module PATH           the plug-in module (default: quilbo.dlt beside the program or in ../lib)\n"
         "  --open ROLLOUT          unroll a rollout (its title or a leading part of it, or its position 1..n)\n"
         "  --close ROLLOUT         roll a rollout up\n"
         "  --show ROLLOUT          scroll the rollup panel so that the rollout is at the top\n"
         "  --scroll ROLLOUT N      move the rollout's scroll bar to position N\n"
         "  --press ROLLOUT CAPTION click the button with that caption (last action)\n"
         "  --ctrl-press ROLLOUT CAPTION  the same with Ctrl held\n"
         "  --ready FILE            write FILE (window and rectangle) once the view is on screen;\n"
         "                          the program closes when FILE is removed\n"
         "  --timeout SECONDS       give up (exit status 3) after that long\n"
         "  --help\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  options = Options{};
  std::size_t i = 0;
  // The value(s) of the switch at args[i]; false (with the message) when missing.
  std::string current;  // the switch whose values are being read
  auto value = [&](std::string& out) {
    if (i + 1 >= args.size()) {
      error = current + " needs a value";
      return false;
    }
    out = args[++i];
    return true;
  };
  for (; i < args.size(); ++i) {
    const std::string a = args[i];
    current = a;
    if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--module") {
      if (!value(options.module)) return false;
    } else if (a == "--ready") {
      if (!value(options.readyFile)) return false;
    } else if (a == "--timeout") {
      std::string t;
      if (!value(t)) return false;
      if (!ParseInt(t, 1, 86400, options.timeoutSeconds)) {
        error = "--timeout takes a number of seconds from 1 to 86400, not '" + t + "'";
        return false;
      }
    } else if (a == "--open" || a == "--close" || a == "--show") {
      Action act;
      act.kind = a == "--open" ? ActionKind::Open : a == "--close" ? ActionKind::Close : ActionKind::Show;
      if (!value(act.rollout)) return false;
      options.actions.push_back(act);
    } else if (a == "--scroll") {
      Action act;
      act.kind = ActionKind::Scroll;
      std::string n;
      if (!value(act.rollout) || !value(n)) return false;
      if (!ParseInt(n, 0, 32767, act.position)) {
        error = "--scroll takes a position from 0 to 32767, not '" + n + "'";
        return false;
      }
      options.actions.push_back(act);
    } else if (a == "--press" || a == "--ctrl-press") {
      Action act;
      act.kind = ActionKind::Press;
      act.ctrl = a == "--ctrl-press";
      if (!value(act.rollout) || !value(act.caption)) return false;
      options.actions.push_back(act);
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option '" + a + "'";
      return false;
    } else if (options.scene.empty()) {
      options.scene = a;
    } else {
      error = "one scene only ('" + options.scene + "' and '" + a + "')";
      return false;
    }
  }
  if (options.scene.empty() && !options.help) {
    error = "no scene file given";
    return false;
  }
  for (std::size_t k = 0; k < options.actions.size(); ++k) {
    const Action& act = options.actions[k];
    if (act.rollout.empty()) {
      error = "an empty rollout name";
      return false;
    }
    if (act.kind == ActionKind::Press && k + 1 != options.actions.size()) {
      error = "--press must be the last action: the button may open a dialog, which holds later actions back";
      return false;
    }
  }
  return true;
}

int FindRollout(const std::vector<std::string>& titles, const std::string& name) {
  int position = 0;
  if (ParseInt(name, 1, 1 << 20, position)) return position <= static_cast<int>(titles.size()) ? position - 1 : -1;
  for (std::size_t i = 0; i < titles.size(); ++i)
    if (StartsWithNoCase(titles[i], name)) return static_cast<int>(i);
  return -1;
}

}  // namespace tessary::host::editor
