// What the built program does with the files it writes and reads: a full
// disk, links, special files, standard output, an output that is also an
// input, an interrupted render, and damaged images. A failed write must
// leave the old file as it was and no temporary file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <thread>

#include "app/image_io.h"
#include "tests/app/test_util.h"

namespace tessary::app::testing {
namespace {

namespace fs = std::filesystem;

// Noise, so image files do not compress to almost nothing.
const std::string kNoise = Scene(R"({"type": "noise", "size": 0.01, "octaves": 6})");

// A layered map of `n` layers: its JSON and .tsy files run to kilobytes.
std::string Layers(int n) {
  std::string layers;
  for (int i = 0; i < n; ++i) layers += std::string(i ? ", " : "") + R"({"color": [0.1, 0.2, 0.3], "opacity": 50})";
  return Scene(R"({"type": "tessary", "layers": [)" + layers + "]}");
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

struct FullDiskCase {
  const char* label;
  const char* args;
  const char* output;
};

void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.label; }

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

// Writes past 1024 bytes fail as on a full disk (see RunProgramLimited).
TEST_P(FullDisk, FailsWithTheReasonAndKeepsTheOldFile) {
  const FullDiskCase& c = GetParam();
  ScratchDir dir(std::string("full-") + c.label);
  WriteFile(dir / "noise.json", kNoise);
  WriteFile(dir / "layers.json", Layers(40));
  WriteFile(dir / c.output, "previous");
  const RunResult r = RunProgramLimited(dir, c.args, 1024);
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_EQ(r.err, std::string("tessary: error: ") + c.output + ": cannot write: file too large\n");
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_EQ(ReadFile(dir / c.output), "previous");
  EXPECT_EQ(dir.Files(), Sorted({"layers.json", "noise.json", c.output}));
}

INSTANTIATE_TEST_SUITE_P(
    Program, FullDisk,
    ::testing::Values(FullDiskCase{"png", "render noise.json --size 128 -o out.png", "out.png"},
                      FullDiskCase{"png16", "render noise.json --size 128 --bits 16 -o out.png", "out.png"},
                      FullDiskCase{"jpeg", "render noise.json --size 128 -o out.jpg", "out.jpg"},
                      FullDiskCase{"exr", "render noise.json --size 128 -o out.exr", "out.exr"},
                      FullDiskCase{"tiff", "render noise.json --size 128 -o out.tif", "out.tif"},
                      FullDiskCase{"json", "convert layers.json out.json", "out.json"},
                      FullDiskCase{"tsy", "convert layers.json out.tsy", "out.tsy"}),
    [](const ::testing::TestParamInfo<FullDiskCase>& p) { return std::string(p.param.label); });

TEST(Output, ScenesGoToStandardOutputImagesDoNot) {
  ScratchDir dir("stdout");
  WriteFile(dir / "layers.json", Layers(3));
  ASSERT_EQ(RunProgram(dir, "convert layers.json file.json").exitCode, 0);
  const RunResult r = RunProgram(dir, "convert layers.json -");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, ReadFile(dir / "file.json")) << "the scene and nothing else";
  EXPECT_TRUE(r.err.empty()) << r.err;

  const RunResult full = RunProgramLimited(dir, "convert layers.json -", -1, "/dev/full");
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_EQ(full.err, "tessary: error: standard output: cannot write: no space left on device\n");

  const RunResult image = RunProgram(dir, "render layers.json -o -");
  EXPECT_EQ(image.exitCode, 1);
  EXPECT_NE(image.err.find("images are not written to standard output"), std::string::npos) << image.err;
  EXPECT_EQ(dir.Files(), Sorted({"file.json", "layers.json"}));
}

TEST(Output, LinksAreFollowedAndPermissionsKept) {
  ScratchDir dir("links");
  WriteFile(dir / "noise.json", kNoise);
  fs::create_directories(dir / "real");
  for (const std::string ext : {".png", ".json", ".tsy"}) {
    const std::string target = "real/target" + ext;
    const std::string link = "link" + ext;
    WriteFile(dir / target, "old");
    fs::permissions(dir / target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(target, dir / link);
    const std::string args = ext == ".png" ? "render noise.json --size 8 -o " + link : "convert noise.json " + link;
    const RunResult r = RunProgram(dir, args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(fs::is_symlink(dir / link)) << link << " is still a link";
    EXPECT_EQ(fs::read_symlink(dir / link), target);
    EXPECT_NE(ReadFile(dir / target), "old") << "the link's target is written";
    EXPECT_EQ(fs::status(dir / target).permissions(), fs::perms::owner_read | fs::perms::owner_write) << target;
  }
  std::vector<std::string> real;
  for (const auto& e : fs::directory_iterator(dir / "real")) real.push_back(e.path().filename().string());
  EXPECT_EQ(Sorted(real), Sorted({"target.json", "target.png", "target.tsy"})) << "no temporary file";
}

TEST(Output, SpecialFilesAreRefusedNotReplaced) {
  ScratchDir dir("special");
  WriteFile(dir / "noise.json", kNoise);
  ASSERT_EQ(::mkfifo((dir / "fifo.png").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0644), 0);
  // Through a link, so a program that replaced what the path names would
  // replace the link here, never the device.
  fs::create_symlink("/dev/null", dir / "null.json");
  const struct {
    const char* args;
    const char* message;
  } cases[] = {{"render noise.json --size 8 -o fifo.png", "fifo.png: cannot write: is a FIFO, not a regular file"},
               {"convert noise.json fifo.json", "fifo.json: cannot write: is a FIFO, not a regular file"},
               {"convert noise.json null.json", "null.json: cannot write: is a character device, not a regular file"}};
  for (const auto& c : cases) {
    const RunResult r = RunProgram(dir, c.args);
    EXPECT_EQ(r.exitCode, 1) << c.args;
    EXPECT_EQ(r.err, std::string("tessary: error: ") + c.message + "\n");
  }
  EXPECT_TRUE(fs::is_fifo(dir / "fifo.png"));
  EXPECT_TRUE(fs::is_fifo(dir / "fifo.json"));
  EXPECT_TRUE(fs::is_symlink(dir / "null.json"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(dir.Files(), Sorted({"fifo.json", "fifo.png", "noise.json", "null.json"}));
}

TEST(Output, AnInputIsNotWrittenOverUnlessForced) {
  ScratchDir dir("inputs");
  Image tex;
  tex.width = 2;
  tex.height = 2;
  tex.rgba.assign(16, 0.25f);
  std::string error;
  ASSERT_TRUE(WriteImage((dir / "tex.png").string(), ImageFormat::Png8, tex, error)) << error;
  const std::string original = ReadFile(dir / "tex.png");
  WriteFile(dir / "scene.json", Scene(R"({"type": "bitmap", "file": "tex.png"})"));
  fs::create_directories(dir / "sub");
  fs::create_hard_link(dir / "tex.png", dir / "hard.png");
  fs::create_symlink("tex.png", dir / "link.png");
  // Every spelling of the texture, and the scene itself.
  for (const std::string args : {"render scene.json --size 4 -o tex.png", "render scene.json --size 4 -o ./tex.png",
                                 "render scene.json --size 4 -o sub/../tex.png",
                                 "render scene.json --size 4 -o hard.png", "render scene.json --size 4 -o link.png",
                                 "convert scene.json scene.json"}) {
    const RunResult r = RunProgram(dir, args);
    EXPECT_EQ(r.exitCode, 1) << args;
    EXPECT_NE(r.err.find("is also an input of this command"), std::string::npos) << args << ": " << r.err;
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "tex.png"), original) << args;
  }
  const RunResult forced = RunProgram(dir, "render scene.json --size 4 --force -o tex.png");
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_NE(ReadFile(dir / "tex.png"), original);
}

// Sends `sig` to a render as soon as its temporary file exists.
TEST(Output, AnInterruptedRenderLeavesNoTemporaryFile) {
  for (const int sig : {SIGINT, SIGTERM}) {
    ScratchDir dir("signal-" + std::to_string(sig));
    WriteFile(dir / "noise.json", kNoise);
    const std::string log = dir.path().string() + ".log";
    const pid_t pid = StartProgram(dir, "render noise.json --threads 1 --size 16384 -o out.exr", log, log);
    ASSERT_GT(pid, 0);
    int status = 0;
    bool ended = false;
    // Polls `done` every 50 ms for up to `seconds`, noting when the render ends.
    auto waitFor = [&](auto done, int seconds) {
      for (int i = 0; i < seconds * 20; ++i) {
        if (done()) return true;
        ended = ended || ::waitpid(pid, &status, WNOHANG) == pid;
        if (ended) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      return false;
    };
    const bool seen = waitFor([&] { return dir.Files().size() > 1; }, 60);  // the scene and the temporary file
    ASSERT_FALSE(ended && !seen) << "the render ended before its temporary file was seen: " << ReadFile(log);
    ::kill(pid, seen ? sig : SIGKILL);
    ASSERT_TRUE(seen) << "no temporary file within a minute";
    // A render that ignored the signal is stopped after a while.
    if (!waitFor([&] { return ended; }, 30)) {
      ::kill(pid, SIGKILL);
      status = WaitProgram(pid);
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "the exit status shows signal " << sig;
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"noise.json"});
    fs::remove(log);
  }
}

// Damaged images: one line naming the image and the reader's own reason;
// nothing from the image libraries on standard error, nothing left pending
// (the sanitizer's leak report would add lines).
TEST(Input, DamagedImagesGetTheReadersReason) {
  ScratchDir dir("damaged");
  Image noise;
  noise.width = noise.height = 64;
  std::mt19937 random(7);
  for (int i = 0; i < 64 * 64 * 4; ++i) noise.rgba.push_back(static_cast<float>(random() % 256) / 255.0f);
  std::string error;
  ASSERT_TRUE(WriteImage((dir / "whole.png").string(), ImageFormat::Png8, noise, error)) << error;
  ASSERT_TRUE(WriteImage((dir / "whole.jpg").string(), ImageFormat::Jpeg, noise, error)) << error;
  const std::string png = ReadFile(dir / "whole.png");
  const std::string jpg = ReadFile(dir / "whole.jpg");
  std::string flipped = png;
  flipped[png.size() / 2] = static_cast<char>(flipped[png.size() / 2] ^ 0x10);
  WriteFile(dir / "cut.png", png.substr(0, png.size() * 3 / 5));
  WriteFile(dir / "flipped.png", flipped);
  WriteFile(dir / "cut.jpg", jpg.substr(0, jpg.size() * 3 / 5));
  const struct {
    const char* file;
    const char* reason;
  } cases[] = {{"cut.png", "truncated PNG file: it ends inside the \"IDAT\" chunk"},
               {"flipped.png", "damaged PNG file: the \"IDAT\" chunk at byte"},
               {"cut.jpg", "Premature end of JPEG file"}};
  for (const auto& c : cases) {
    WriteFile(dir / "scene.json", Scene(std::string(R"({"type": "bitmap", "file": ")") + c.file + "\"}"));
    const RunResult r = RunProgram(dir, "eval scene.json");
    EXPECT_EQ(r.exitCode, 1) << c.file << ": " << r.out;
    EXPECT_EQ(r.err.rfind(std::string("tessary: error: scene.json:1:51: \"") + c.file + "\": cannot read image: ", 0),
              0u)
        << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

}  // namespace
}  // namespace tessary::app::testing
