#pragma once
// Reader of resource scripts (.rc): the string table, dialog templates
// (DIALOG and DIALOGEX with their controls) and bitmap resources, with the
// identifiers of #define lines and quoted #include files. It reads the same
// script that windres compiles on Windows; anything it does not understand
// is an error naming the script, the line and what was found.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/headless/win32.h"

namespace tessary::headless {

// A resource is named by a number or by a text (compared without case).
struct ResName {
  int id = -1;       // the number, when name is empty
  std::string name;  // upper-cased

  static ResName FromArg(LPCSTR arg);  // MAKEINTRESOURCEA(id) or a name
  bool operator==(const ResName&) const = default;
};

struct ControlTemplate {
  std::string keyword;    // the statement: "CONTROL", "PUSHBUTTON", "LTEXT", ...
  std::string text;
  int id = 0;
  std::string className;  // "Button", "Static", "Edit", "ComboBox", "ScrollBar" or a custom class
  DWORD style = 0;        // the full style, WS_CHILD | WS_VISIBLE included
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int line = 0;
};

struct DialogTemplate {
  ResName name;
  bool extended = false;  // DIALOGEX
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string caption;
  int fontSize = 0;
  std::string fontFace;
  std::vector<ControlTemplate> controls;
  int line = 0;

  const ControlTemplate* FindControl(int controlId) const;  // first with that ID
};

struct BitmapResource {
  ResName name;
  std::string file;  // as the script names it
  int line = 0;
};

struct ResourceScript {
  std::map<int, std::string> strings;
  std::vector<DialogTemplate> dialogs;
  std::vector<BitmapResource> bitmaps;
  std::map<std::string, long long> defines;  // numeric #defines seen

  const std::string* FindString(int id) const;
  const DialogTemplate* FindDialog(const ResName& name) const;
  const BitmapResource* FindBitmap(const ResName& name) const;
};

// Reads a file that the script names (#include "x", BITMAP "x"); nullopt
// when there is no such file.
using RcFileReader = std::function<std::optional<std::string>(const std::string& name)>;

struct RcParseResult {
  std::optional<ResourceScript> script;  // set on success
  std::string error;                     // "name:line: message" on failure
};

// Limits that keep memory bounded whatever a script contains.
inline constexpr std::size_t kMaxScriptBytes = 4u << 20;
inline constexpr std::size_t kMaxStringLength = 4096;
inline constexpr std::size_t kMaxControlsPerDialog = 4096;
inline constexpr int kMaxIncludeDepth = 8;

RcParseResult ParseResourceScript(std::string_view text, std::string_view scriptName, const RcFileReader& readFile);

}  // namespace tessary::headless
