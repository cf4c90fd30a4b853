// The resource-script reader, on the product's own script (embedded in this
// test program) and on malformed scripts.

#include "platform/headless/rc_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/module_resources.h"
#include "resources/resource.h"

namespace tessary::headless {
namespace {

const ResourceScript& Product() {
  const ModuleResources* res = ResourcesOf(nullptr);
  EXPECT_NE(res, nullptr);
  EXPECT_TRUE(res->script.has_value()) << res->error;
  return *res->script;
}

TEST(RcScript, StringTableHoldsEveryText) {
  struct Case {
    int id;
    const char* text;
  };
  const Case cases[] = {
      {1, "Tessary"}, {2, "Tessary"}, {3, "Tessary"}, {4, "Parameters"}, {5, "Maps"}, {6, "Map 1 Enable"},
      {8, "None"}, {9, "Map"}, {11, "Use Layer 1"}, {12, "Opasity 1"}, {13, "Color 1"}, {14, "Mode 1"},
      {15, "Param Change"}, {105, "Mask: None"}, {106, "Mask: None"},
      {IDS_ROLLOUT_LAYERS, "Tessary parameters"}, {IDS_ROLLOUT_OUTPUT, "Output"}, {IDS_ROLLOUT_ABOUT, "About"},
      {IDS_VERSION_LABEL, "Version: "}, {IDS_VERSION_LABEL_NETWORK, "Network Rendering Version: "},
      {IDS_VERSION_NUMBER, "1.6.5"}, {IDS_VERSION_FORMAT, "%s %s "}, {IDS_BASE_LAYER, "B:"},
      {IDS_MAP_LABEL, "| L: %d, %s, %d | %s"}, {IDS_MAP_LABEL_TAIL, "| L: %d, %s, %d %s"},
      {IDS_MASK_LABEL, "| L: %d, Mask | %s"}, {IDS_MASK_LABEL_TAIL, "| L: %d, Mask %s"},
  };
  for (const Case& c : cases) {
    const std::string* s = Product().FindString(c.id);
    ASSERT_NE(s, nullptr) << "string " << c.id;
    EXPECT_EQ(*s, c.text) << "string " << c.id;
  }
  EXPECT_EQ(Product().FindString(35), nullptr);  // the mode table skips 35
}

TEST(RcScript, ModeNamesInModeOrder) {
  const char* names[] = {"Normal", "Multiply", "Screen", "Additive", "Subtractive", "Stamp", "Difference",
                         "Negation", "Exclusion", "Darken", "Lighten", "Overlay", "Hard Light", "Soft Light",
                         "Dodge", "Inverse dodge", "Soft dodge", "Burn", "Inverse burn", "Soft burn",
                         "Interpolation", "Average", "Hue", "Saturation", "Luminance", "Color", "Reflect", "Glow",
                         "Freeze", "Heat", "RGB red", "RGB green", "RGB blue", "Exact Difference"};
  static_assert(std::size(names) == 34);
  for (int mode = 0; mode < 34; ++mode) {
    int id = mode < 19 ? 16 + mode : 17 + mode;
    const std::string* s = Product().FindString(id);
    ASSERT_NE(s, nullptr) << "mode " << mode;
    EXPECT_EQ(*s, names[mode]) << "mode " << mode;
  }
}

struct Ctl {
  int id;
  const char* cls;  // upper-cased class name
  const char* text;
  int x, y, cx, cy;
};

void ExpectControls(int dialogId, const std::vector<Ctl>& expected, std::size_t total) {
  const DialogTemplate* d = Product().FindDialog(ResName{dialogId, {}});
  ASSERT_NE(d, nullptr) << "dialog " << dialogId;
  EXPECT_EQ(d->controls.size(), total) << "dialog " << dialogId;
  for (const Ctl& e : expected) {
    const ControlTemplate* found = nullptr;
    for (const ControlTemplate& c : d->controls)
      if (c.id == e.id && c.x == e.x && c.y == e.y) found = &c;
    ASSERT_NE(found, nullptr) << "dialog " << dialogId << " control " << e.id << " at " << e.x << "," << e.y;
    std::string cls = found->className;
    for (char& ch : cls) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(cls, e.cls) << "control " << e.id;
    EXPECT_EQ(found->text, e.text) << "control " << e.id;
    EXPECT_EQ(found->cx, e.cx) << "control " << e.id;
    EXPECT_EQ(found->cy, e.cy) << "control " << e.id;
    EXPECT_TRUE(found->style & WS_CHILD);
  }
}

TEST(RcScript, LayersRolloutTemplate) {
  const DialogTemplate* d = Product().FindDialog(ResName{197, {}});
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->cx, 217);
  EXPECT_EQ(d->cy, 279);
  EXPECT_EQ(d->fontFace, "MS Sans Serif");
  EXPECT_EQ(d->style & (WS_CHILD | WS_VISIBLE | WS_CAPTION), WS_CHILD | WS_VISIBLE);
  std::vector<Ctl> want = {
      {1497, "BUTTON", "Set Number", 3, 8, 44, 12},      {-1, "STATIC", "Number of layers:", 50, 9, 56, 8},
      {1498, "STATIC", "1", 107, 9, 19, 9},              {1531, "BUTTON", "Add", 130, 8, 39, 12},
      {1532, "BUTTON", "Delete", 173, 8, 39, 12},        {-1, "BUTTON", "Layers:", 3, 22, 211, 250},
      {1530, "SCROLLBAR", "", 201, 30, 13, 241},
  };
  const int frameY[] = {28, 68, 108, 148, 188, 228}, numY[] = {35, 76, 115, 155, 195, 235},
            useY[] = {36, 77, 116, 156, 196, 236}, swY[] = {34, 74, 114, 154, 194, 233},
            mapY[] = {48, 88, 128, 168, 208, 247}, mapOnY[] = {49, 89, 129, 169, 209, 248},
            maskY[] = {59, 99, 139, 179, 219, 258}, maskOnY[] = {60, 100, 141, 180, 220, 258};
  for (int r = 0; r < 6; ++r) {
    want.push_back({1021 + r, "BUTTON", "", 5, frameY[r], 193, 43});
    want.push_back({1014 + r, "CUSTEDIT", "", 8, numY[r], 13, 10});
    want.push_back({1517 + r, "BUTTON", "", 23, useY[r], 9, 8});
    want.push_back({1007 + r, "CUSTEDIT", "", 36, numY[r], 23, 10});
    want.push_back({1001 + r, "SPINNERCONTROL", "", 60, numY[r], 7, 10});
    want.push_back({1100 + r, "COLORSWATCH", "", 105, swY[r], 34, 12});
    want.push_back({1200 + r, "COMBOBOX", "", 142, swY[r], 54, 300});
    want.push_back({1550 + 2 * r, "CUSTBUTTON", "", 8, mapY[r], 176, 10});
    want.push_back({1511 + r, "BUTTON", "", 186, mapOnY[r], 9, 8});
    want.push_back({1551 + 2 * r, "CUSTBUTTON", "", 8, maskY[r], 176, 10});
    want.push_back({1523 + r, "BUTTON", "", 186, maskOnY[r], 9, 8});
  }
  ExpectControls(197, want, 7 + 66);
  // Styles that behaviour depends on.
  EXPECT_EQ(d->FindControl(1498)->style & SS_SUNKEN, SS_SUNKEN);
  EXPECT_EQ(d->FindControl(1530)->style & SBS_VERT, SBS_VERT);
  EXPECT_EQ(d->FindControl(1517)->style & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(d->FindControl(1021)->style & BS_TYPEMASK, BS_GROUPBOX);
  DWORD combo = d->FindControl(1203)->style;
  EXPECT_EQ(combo & 0x3u, CBS_DROPDOWNLIST);
  EXPECT_TRUE(combo & CBS_SORT);
  EXPECT_TRUE(combo & WS_VSCROLL);
  EXPECT_EQ(d->FindControl(-1)->style & SS_RIGHT, SS_RIGHT);  // "Number of layers:" is right-aligned
}

TEST(RcScript, OutputRolloutTemplate) {
  std::vector<Ctl> want = {
      {1031, "BUTTON", "On", 5, 8, 26, 12},        {1036, "BUTTON", "Clamp", 54, 8, 35, 12},
      {1037, "BUTTON", "Mono", 115, 8, 35, 12},    {1040, "BUTTON", "Reset", 159, 7, 50, 13},
      {-1, "BUTTON", "RGB space", 3, 22, 211, 24}, {-1, "BUTTON", "HSV space", 3, 48, 211, 23},
      {-1, "STATIC", "R:", 8, 33, 12, 8},          {-1, "STATIC", "G:", 78, 33, 12, 8},
      {-1, "STATIC", "B:", 154, 33, 12, 8},        {-1, "STATIC", "H:", 8, 58, 12, 8},
      {-1, "STATIC", "S:", 78, 58, 12, 8},         {-1, "STATIC", "V:", 154, 57, 12, 8},
      {-1, "STATIC", "Bright:", 11, 76, 24, 8},    {-1, "STATIC", "Alpha:", 121, 76, 24, 8},
      {-1, "STATIC", "Contrast:", 5, 87, 30, 8},   {-1, "STATIC", "Gamma:", 115, 87, 30, 8},
      {1014, "CUSTEDIT", "", 21, 33, 35, 10},      {1021, "SPINNERCONTROL", "", 58, 33, 7, 10},
      {1032, "CUSTEDIT", "", 91, 33, 35, 10},      {1033, "SPINNERCONTROL", "", 128, 33, 7, 10},
      {1034, "CUSTEDIT", "", 167, 33, 35, 10},     {1035, "SPINNERCONTROL", "", 203, 33, 7, 10},
      {1013, "CUSTEDIT", "", 21, 58, 35, 10},      {1020, "SPINNERCONTROL", "", 58, 58, 7, 10},
      {1027, "CUSTEDIT", "", 91, 58, 35, 10},      {1028, "SPINNERCONTROL", "", 128, 58, 7, 10},
      {1029, "CUSTEDIT", "", 167, 57, 35, 10},     {1030, "SPINNERCONTROL", "", 203, 57, 7, 10},
      {1015, "CUSTEDIT", "", 43, 76, 35, 10},      {1022, "SPINNERCONTROL", "", 80, 76, 7, 10},
      {1018, "CUSTEDIT", "", 154, 76, 35, 10},     {1025, "SPINNERCONTROL", "", 191, 76, 7, 10},
      {1016, "CUSTEDIT", "", 43, 87, 35, 10},      {1023, "SPINNERCONTROL", "", 80, 87, 7, 10},
      {1017, "CUSTEDIT", "", 154, 87, 35, 10},     {1024, "SPINNERCONTROL", "", 191, 87, 7, 10},
  };
  ExpectControls(196, want, want.size());
  const DialogTemplate* d = Product().FindDialog(ResName{196, {}});
  EXPECT_EQ(d->cx, 217);
  EXPECT_EQ(d->cy, 108);
  for (int id : {1031, 1036, 1037}) EXPECT_EQ(d->FindControl(id)->style & BS_TYPEMASK, BS_AUTOCHECKBOX) << id;
  for (const ControlTemplate& c : d->controls)
    if (c.className == "Static") {
      EXPECT_EQ(c.style & 0x3u, SS_RIGHT) << c.text;
    }
}

TEST(RcScript, AboutAndLayerCountTemplates) {
  ExpectControls(107, {{1018, "EDIT", "", 3, 1, 211, 12}, {1024, "CUSTIMAGE", "", 3, 15, 108, 37}}, 2);
  const DialogTemplate* about = Product().FindDialog(ResName{107, {}});
  EXPECT_EQ(about->cy, 98);
  EXPECT_EQ(about->fontFace, "MS Shell Dlg");
  EXPECT_EQ(about->FindControl(1018)->style & (ES_READONLY | ES_CENTER), ES_READONLY | ES_CENTER);

  struct Count {
    int id;
    const char* caption;
    Ctl label;
  };
  const Count counts[] = {
      {192, "Set Number of Maps", {-1, "STATIC", "Number of Maps:", 13, 17, 63, 8}},
      {193, "Insert Map", {-1, "STATIC", "Insert before:", 26, 17, 50, 8}},
      {194, "Delete Map", {-1, "STATIC", "Number of delete map:", 2, 17, 74, 8}},
  };
  for (const Count& c : counts) {
    ExpectControls(c.id,
                   {{1498, "CUSTEDIT", "", 77, 17, 29, 10}, {1506, "SPINNERCONTROL", "", 107, 17, 7, 10},
                    {1, "BUTTON", "OK", 131, 6, 50, 14}, {2, "BUTTON", "Cancel", 131, 23, 50, 14}, c.label},
                   5);
    const DialogTemplate* d = Product().FindDialog(ResName{c.id, {}});
    EXPECT_EQ(d->caption, c.caption);
    EXPECT_EQ(d->cx, 187);
    EXPECT_EQ(d->cy, 46);
    EXPECT_EQ(d->style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    EXPECT_EQ(d->FindControl(IDOK)->style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  }
  const BitmapResource* banner = Product().FindBitmap(ResName{102, {}});
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->file, "banner.bmp");
}

RcParseResult Parse(const std::string& text) {
  return ParseResourceScript(text, "t.rc", [](const std::string& name) -> std::optional<std::string> {
    if (name == "ids.h") return std::string("#define IDD_X 7\n#define IDC_A (100 + 2)\n");
    if (name == "self.h") return std::string("#include \"self.h\"\n");
    return std::nullopt;
  });
}

TEST(RcScript, PreprocessorAndStyles) {
  RcParseResult r = Parse(
      "#include <windows.h>\n#include \"ids.h\"\n#define FEATURE\n"
      "#ifdef FEATURE\n#define CAP \"yes\"\n#else\n#error not taken\n#endif\n"
      "#ifndef FEATURE\nthis line is skipped\n#endif\n"
      "/* a comment\n spanning lines */\n"
      "STRINGTABLE\nBEGIN\n  IDC_A, \"say \"\"hi\"\"\\n\"\nEND\n"
      "IDD_X DIALOGEX 1, 2, 30, 40\nCAPTION \"Cap\"\nFONT 8, \"F\"\nBEGIN\n"
      "  PUSHBUTTON \"P\", IDC_A, 1, 2, 3, 4, NOT WS_TABSTOP | WS_DISABLED // trailing\n"
      "  EDITTEXT 5, 1, 2, 3, 4\n"
      "END\nnamed BITMAP \"b.bmp\"\n");
  ASSERT_TRUE(r.script) << r.error;
  EXPECT_EQ(*r.script->FindString(102), "say \"hi\"\n");
  const DialogTemplate* d = r.script->FindDialog(ResName{7, {}});
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, "Cap");
  EXPECT_TRUE(d->style & WS_CAPTION);  // a caption implies the style
  const ControlTemplate& p = d->controls[0];
  EXPECT_EQ(p.id, 102);
  EXPECT_FALSE(p.style & WS_TABSTOP);
  EXPECT_TRUE(p.style & WS_DISABLED);
  EXPECT_EQ(d->controls[1].style & (WS_BORDER | WS_TABSTOP | WS_VISIBLE), WS_BORDER | WS_TABSTOP | WS_VISIBLE);
  EXPECT_NE(r.script->FindBitmap(ResName::FromArg("NAMED")), nullptr);
}

TEST(RcScript, MalformedScriptsNameTheFault) {
  struct Case {
    const char* script;
    const char* error;
  };
  const Case cases[] = {
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n", "t.rc:3: expected END of the string table, found end of script"},
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", "t.rc:4: string ID 1 defined twice"},
      {"STRINGTABLE\nBEGIN\n 1 \"open\nEND\n", "t.rc:3: unterminated string"},
      {"STRINGTABLE\nBEGIN\n UNKNOWN_ID \"a\"\nEND\n", "t.rc:3: unknown identifier, found 'UNKNOWN_ID'"},
      {"1 DIALOGEX 0, 0, 10\nBEGIN\nEND\n", "t.rc:2: expected ',' after the dialog's width"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\n FROB 1, 2\nEND\n", "t.rc:3: unknown control statement"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\n LTEXT \"a\", 1, 2, 3, 4\nEND\n", "t.rc:4: expected ',' after the width, found 'END'"},
      {"1 MENU\n", "t.rc:1: unsupported resource type, found 'MENU'"},
      {"#include \"missing.h\"\n", "t.rc:1: cannot open included file \"missing.h\""},
      {"#include \"self.h\"\n", "nested deeper than"},
      {"#ifdef X\n", "#if/#ifdef without #endif"},
      {"#frob\n", "unsupported preprocessor directive #frob"},
      {"/* open", "t.rc:1: unterminated comment"},
      {"STRINGTABLE\nBEGIN\n 0x1FFFFFFFF \"a\"\nEND\n", "t.rc:3: number too large"},
      {"STRINGTABLE\nBEGIN\n 70000 \"a\"\nEND\n", "string ID 70000 out of range"},
      {"1 BITMAP \"a.bmp\"\n1 BITMAP \"b.bmp\"\n", "bitmap defined twice"},
      {"1 DIALOG 0,0,1,1\nBEGIN\nEND\n1 DIALOG 0,0,1,1\nBEGIN\nEND\n", "dialog defined twice"},
      {"@", "unexpected character '@'"},
  };
  for (const Case& c : cases) {
    RcParseResult r = Parse(c.script);
    EXPECT_FALSE(r.script) << c.script;
    EXPECT_NE(r.error.find(c.error), std::string::npos) << "script:\n" << c.script << "\nerror: " << r.error;
  }
}

TEST(RcScript, OversizedInputIsRefused) {
  std::string big = "STRINGTABLE\nBEGIN\n 1 \"" + std::string(kMaxStringLength + 1, 'x') + "\"\nEND\n";
  RcParseResult r = Parse(big);
  EXPECT_FALSE(r.script);
  EXPECT_NE(r.error.find("longer than"), std::string::npos) << r.error;
  std::string huge(kMaxScriptBytes + 1, ' ');
  EXPECT_FALSE(Parse(huge).script);
}

}  // namespace
}  // namespace tessary::headless
