// The editor host's command line: what it accepts, what it refuses and how a
// rollout is named.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/runtime/editor/editor_options.h"

namespace tessary::host::editor {
namespace {

TEST(EditorOptions, ActionsKeepTheirOrderAndValues) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--module", "m.dlt", "--close", "1", "--open", "out", "--show", "Output", "--scroll",
                            "Tessary", "4", "--ready", "r.txt", "--timeout", "30", "scene.tsy", "--ctrl-press", "1",
                            "Delete"},
                           o, error))
      << error;
  EXPECT_EQ(o.scene, "scene.tsy");
  EXPECT_EQ(o.module, "m.dlt");
  EXPECT_EQ(o.readyFile, "r.txt");
  EXPECT_EQ(o.timeoutSeconds, 30);
  ASSERT_EQ(o.actions.size(), 5u);
  EXPECT_EQ(o.actions[0].kind, ActionKind::Close);
  EXPECT_EQ(o.actions[0].rollout, "1");
  EXPECT_EQ(o.actions[1].kind, ActionKind::Open);
  EXPECT_EQ(o.actions[2].kind, ActionKind::Show);
  EXPECT_EQ(o.actions[3].kind, ActionKind::Scroll);
  EXPECT_EQ(o.actions[3].position, 4);
  EXPECT_EQ(o.actions[4].kind, ActionKind::Press);
  EXPECT_EQ(o.actions[4].caption, "Delete");
  EXPECT_TRUE(o.actions[4].ctrl);
}

TEST(EditorOptions, BadCommandLinesSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{}, "no scene file given"},
      {{"a.tsy", "b.tsy"}, "one scene only"},
      {{"--frobnicate", "a.tsy"}, "unknown option '--frobnicate'"},
      {{"a.tsy", "--module"}, "--module needs a value"},
      {{"a.tsy", "--scroll", "1"}, "--scroll needs a value"},
      {{"a.tsy", "--scroll", "1", "x"}, "position from 0 to 32767, not 'x'"},
      {{"a.tsy", "--scroll", "1", "-3"}, "not '-3'"},
      {{"a.tsy", "--timeout", "0"}, "--timeout takes a number of seconds"},
      {{"a.tsy", "--timeout", "12s"}, "not '12s'"},
      {{"a.tsy", "--open", ""}, "an empty rollout name"},
      {{"a.tsy", "--press", "1", "Add", "--open", "2"}, "--press must be the last action"},
  };
  for (const Case& c : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(ParseOptions(c.args, o, error)) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
  }
}

TEST(EditorOptions, HelpNeedsNoScene) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--help"}, o, error)) << error;
  EXPECT_TRUE(o.help);
  EXPECT_NE(UsageText().find("--ready FILE"), std::string::npos);
}

TEST(EditorOptions, RolloutsByPositionOrLeadingPartOfTheTitle) {
  const std::vector<std::string> titles = {"Tessary parameters", "Output", "About"};
  struct Case {
    const char* name;
    int index;
  };
  const Case cases[] = {
      {"1", 0}, {"3", 2}, {"4", -1}, {"0", -1}, {"output", 1}, {"ABOUT", 2}, {"Tess", 0},
      {"Tessary parameters", 0}, {"parameters", -1}, {"Outputs", -1}, {"", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindRollout(titles, c.name), c.index) << c.name;
}

}  // namespace
}  // namespace tessary::host::editor
