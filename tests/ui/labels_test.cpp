// Names given to layer maps and masks, and the row captions that show them.

#include <climits>
#include <limits>

#include "tests/ui/editor_fixture.h"
#include "ui/labels.h"

namespace tessary::uitest {
namespace {

TEST(Labels, FormatTextFillsOnlyMatchingDirectives) {
  struct Case {
    const char* pattern;
    std::vector<TextArg> args;
    const char* expect;
  };
  const Case cases[] = {
      {"| L: %d, %s, %d | %s", {2, std::string("Multiply"), 50, std::string("Rust")}, "| L: 2, Multiply, 50 | Rust"},
      {"%d%%", {7}, "7%"},
      {"%s %s ", {std::string("Version: "), std::string("1.6.5")}, "Version:  1.6.5 "},
      {"%d %s", {}, "%d %s"},                       // missing arguments
      {"%s", {5}, "%s"},                            // wrong kind
      {"%x %n %d", {-3}, "%x %n -3"},               // other directives stay text
      {"end %", {1}, "end %"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatText(c.pattern, c.args), c.expect) << c.pattern;
}

TEST(Labels, LeadingIntAndOpacity) {
  struct IntCase {
    const char* text;
    int expect;
  };
  // As the C runtime's atoi on Windows: white space, a sign, digits; a
  // number past int's range saturates.
  const IntCase ints[] = {{"12", 12},
                          {"B:", 0},
                          {"", 0},
                          {"  7x", 7},
                          {"-4", -4},
                          {"+3", 3},
                          {"\t\n\v\f\r 5", 5},
                          {"+-3", 0},
                          {"- 3", 0},
                          {"-", 0},
                          {"2147483647", INT_MAX},
                          {"2147483648", INT_MAX},
                          {"99999999999", INT_MAX},
                          {"000000000000000000000042", 42},
                          {"-2147483648", INT_MIN},
                          {"-2147483649", INT_MIN},
                          {"-99999999999999999999999999", INT_MIN}};
  for (const IntCase& c : ints) EXPECT_EQ(LeadingInt(c.text), c.expect) << c.text;
  EXPECT_EQ(LeadingInt(nullptr), 0);

  struct FloatCase {
    float percent;
    int expect;
  };
  const FloatCase floats[] = {{75.9f, 75}, {-0.5f, 0}, {-1.9f, -1}, {100.0f, 100}, {3e30f, 2147483647},
                              {-3e30f, -2147483647 - 1}, {std::numeric_limits<float>::quiet_NaN(), 0},
                              {std::numeric_limits<float>::infinity(), 0}};
  for (const FloatCase& c : floats) EXPECT_EQ(OpacityLabelValue(c.percent), c.expect) << c.percent;
}

class LabelsInPanel : public EditorTest {};

TEST_F(LabelsInPanel, LayerMapNamesFollowLayerModeAndOpacity) {
  map->SetNumLayers(4);
  auto* rust = new NamedMap("Rust");
  map->SetSubTexmap(4, rust);  // layer 2's map
  map->blendMode[2] = 1;       // Multiply
  map->opacity[2] = 50.0f;
  Open(4);
  EXPECT_EQ(rust->GetName(), "| L: 2, Multiply, 50 | Rust");
  EXPECT_EQ(Text(MapButton(2)), "| L: 2, Multiply, 50 | Rust (Plain)");

  ASSERT_TRUE(TypeIn(Layers(), IDC_OPACITY_EDIT0 + 2, "75.9"));
  EXPECT_EQ(rust->GetName(), "| L: 2, Multiply, 75 | Rust");

  // Moved to layer 3 by number: the prefix follows, the former name stays.
  ASSERT_TRUE(TypeIn(Layers(), IDC_LAYER_NUMBER0 + 2, "3"));
  EXPECT_EQ(rust->GetName(), "| L: 3, Multiply, 75 | Rust");
  EXPECT_EQ(Text(MapButton(2)), "None");
  EXPECT_EQ(Text(MaskButton(2)), "Mask: None");
}

TEST_F(LabelsInPanel, FormerNamesWithABarKeepTheirTail) {
  struct Case {
    const char* former;
    bool mask;
    int layer;
    const char* expect;
  };
  const Case cases[] = {
      {"Old|Stone", false, 3, "| L: 3, Normal, 100 |Stone"},
      {"a|b|c", false, 1, "| L: 1, Normal, 100 |c"},
      {"Grain", true, 1, "| L: 1, Mask | Grain"},
      {"x|Grain", true, 2, "| L: 2, Mask |Grain"},
      {"", false, 0, "| L: 0, Normal, 100 | "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.former);
    map->SetNumLayers(4);
    auto* m = new NamedMap(c.former);
    map->SetSubTexmap(2 * c.layer + (c.mask ? 1 : 0), m);
    Open(4);
    EXPECT_EQ(m->GetName(), c.expect);
    Close();
    delete params;
    params = nullptr;
    map->SetSubTexmap(2 * c.layer + (c.mask ? 1 : 0), nullptr);
  }
}

TEST_F(LabelsInPanel, LongNamesAreKeptWhole) {
  map->SetNumLayers(2);
  const std::string former(3000, 'n');
  auto* m = new NamedMap(former);
  map->SetSubTexmap(2, m);
  auto* mask = new NamedMap(std::string(500, 'k') + "|" + std::string(700, 't'));
  map->SetSubTexmap(3, mask);
  Open(2);
  EXPECT_EQ(m->GetName(), "| L: 1, Normal, 100 | " + former);
  EXPECT_EQ(mask->GetName(), "| L: 1, Mask |" + std::string(700, 't'));
}

TEST_F(LabelsInPanel, ModeOutsideTheTableShowsItsNumber) {
  map->SetNumLayers(2);
  auto* m = new NamedMap("Wood");
  map->SetSubTexmap(2, m);
  map->blendMode[1] = 57;
  Open(2);
  EXPECT_EQ(m->GetName(), "| L: 1, Mode 57, 100 | Wood");
  EXPECT_EQ(SendMessageA(Row(IDC_MODE_LIST0, 1), CB_GETCURSEL, 0, 0), CB_ERR);
  map->blendMode[1] = -2;
  dlg->ReloadDialog();
  EXPECT_EQ(m->GetName(), "| L: 1, Mode -2, 100 | Wood");
}

TEST_F(LabelsInPanel, AssigningASubMapRenamesAtOnce) {
  Open(3);
  auto* m = new NamedMap("Brick");
  map->SetSubTexmap(3, m);  // layer 1's mask
  EXPECT_EQ(m->GetName(), "| L: 1, Mask | Brick");
  EXPECT_EQ(Text(MaskButton(1)), "| L: 1, Mask | Brick (Plain)");
}

}  // namespace
}  // namespace tessary::uitest
