#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "convert/PreviewPlayer.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"
#include "tests/support/SwfReader.h"

namespace brevanto {
namespace {

namespace fs = std::filesystem;
using testing::GifBuilder;
using testing::ScratchFolder;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Outcome runTool(const std::string& program, const std::vector<std::string>& args, const ScratchFolder& scratch) {
  std::string command = quoted(program);
  // Appended in two steps: `"literal" + std::string` trips a false -Wrestrict in GCC 12 at -O3.
  for (const auto& arg : args) command.append(" ").append(quoted(arg));
  const fs::path out = scratch.path() / "stdout.txt";
  const fs::path err = scratch.path() / "stderr.txt";
  command += " >" + quoted(out.string()) + " 2>" + quoted(err.string()) + " </dev/null";
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = testing::readText(out);
  outcome.err = testing::readText(err);
  return outcome;
}

Outcome convertTool(const std::vector<std::string>& args, const ScratchFolder& scratch) {
  return runTool(BREVANTO_CONVERT_EXE, args, scratch);
}

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

std::vector<std::uint8_t> smallGif(int frames, std::uint8_t firstColor) {
  GifBuilder gif(9, 6);
  for (int i = 0; i < frames; ++i) gif.frame(10 + 10 * i, 9, 6, static_cast<std::uint8_t>((firstColor + i) % 4));
  gif.trailer();
  return gif.bytes();
}

TEST(BrevantoConvert, UsageErrorsExitWithTwoAndHelpAndVersionWithZero) {
  ScratchFolder scratch;
  const std::vector<std::vector<std::string>> bad = {{},
                                                     {"-q", "0", "a.gif"},
                                                     {"-q", "101", "a.gif"},
                                                     {"--fps=256", "a.gif"},
                                                     {"-s", "big", "a.gif"},
                                                     {"-s", "0x10", "a.gif"},
                                                     {"-s", "1639x10", "a.gif"},
                                                     {"--export", "xpm", "a.gif"},
                                                     {"--frobnicate", "a.gif"},
                                                     {"-j", "0", "a.gif"},
                                                     {"-o"}};
  for (const auto& args : bad) {
    const Outcome outcome = convertTool(args, scratch);
    EXPECT_EQ(outcome.status, 2) << (args.empty() ? "(no arguments)" : args[0]);
    EXPECT_NE(outcome.err.find("brevanto-convert: "), std::string::npos);
  }
  const Outcome help = convertTool({"--help"}, scratch);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: brevanto-convert"), std::string::npos);
  const Outcome version = convertTool({"--version"}, scratch);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("brevanto-convert ", 0), 0u);
}

TEST(BrevantoConvert, ReportsEachFailureByNameAndStillConvertsTheRest) {
  ScratchFolder scratch;
  const std::string good = scratch.write("in/good.gif", smallGif(3, 1));
  const std::string broken = scratch.write("in/broken.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0});
  const std::string missing = scratch.path().generic_string() + "/in/missing.gif";
  const std::string output = scratch.path().generic_string() + "/movies/new";
  const Outcome outcome = convertTool({"-o", output, good, broken, missing}, scratch);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(fs::exists(output + "/good.swf"));
  EXPECT_FALSE(fs::exists(output + "/broken.swf"));
  EXPECT_EQ(lineCount(outcome.out), 1);
  EXPECT_NE(outcome.out.find("good.gif"), std::string::npos);
  EXPECT_EQ(lineCount(outcome.err), 2);
  EXPECT_NE(outcome.err.find("broken.gif: cannot be decoded"), std::string::npos);
  EXPECT_NE(outcome.err.find("missing.gif: cannot be read"), std::string::npos);

  // A movie that cannot be written is a failure too.
  const std::string blocked = scratch.write("blocked", {0});
  EXPECT_EQ(convertTool({"-o", blocked, good}, scratch).status, 1);
}

TEST(BrevantoConvert, ParallelJobsWriteTheSameMoviesAsOneJob) {
  ScratchFolder scratch;
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i) {
    files.push_back(scratch.write("in/f" + std::to_string(i) + ".gif", smallGif(2 + i, static_cast<std::uint8_t>(i))));
  }
  auto args = [&](const std::string& jobs, const std::string& out) {
    std::vector<std::string> a = {"-j", jobs, "-s", "3x", "-q", "60", "-r", "24", "-o", out};
    a.insert(a.end(), files.begin(), files.end());
    return a;
  };
  const std::string one = scratch.folder("one"), four = scratch.folder("four");
  ASSERT_EQ(convertTool(args("1", one), scratch).status, 0);
  ASSERT_EQ(convertTool(args("4", four), scratch).status, 0);
  for (int i = 0; i < 6; ++i) {
    const std::string name = std::string("f").append(std::to_string(i)).append(".swf");
    const auto bytes = testing::readFile(one + name);
    EXPECT_EQ(bytes, testing::readFile(four + name)) << name;
    const auto movie = testing::parseSwf(bytes);
    EXPECT_EQ(std::pair(movie.stageWidth, movie.stageHeight), std::pair(27, 18));
  }
}

TEST(BrevantoConvert, ExportWritesEveryFrameUnderTheWindowsNames) {
  ScratchFolder scratch;
  const std::string gif = scratch.write("in/anim.gif", smallGif(3, 1));
  const std::string out = scratch.folder("out");
  const Outcome outcome = convertTool({"--export", "png", "-o", out, gif}, scratch);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(fs::exists(out + "tolvane_brevanto/png/anim.gif0000" + std::to_string(i) + ".png"));
  }
  EXPECT_FALSE(fs::exists(out + "tolvane_brevanto/png/anim.gif00003.png"));
  EXPECT_FALSE(fs::exists(out + "anim.swf"));
}

// Every valid GIF of the shared corpus that fits a movie stage converts into a movie the
// independent inspector accepts, with one movie frame per slot of the player's timeline.
TEST(BrevantoConvert, CorpusMoviesPassTheIndependentInspector) {
  const fs::path valid = testing::sampleData("gif/valid");
  const fs::path inspector = fs::path(BREVANTO_SHARED_TOOLS) / "swfcheck" / "swfinspect.py";
  if (!fs::is_directory(valid) || !fs::exists(inspector) || std::system("python3 --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "the shared corpus, its inspector or python3 is not available";
  }
  ScratchFolder scratch;
  const std::string out = scratch.folder("movies");
  std::vector<std::string> args = {"-j", "2", "-o", out};
  const std::vector<fs::path> gifs = testing::sampleFiles("gif/valid", ".gif");
  for (const auto& gif : gifs) args.push_back(gif.string());
  const Outcome outcome = convertTool(args, scratch);

  // One inspector process for all movies: the same checks as
  // "swfinspect.py --strict --expect-version 3 --expect-convention", one result line per movie.
  const std::string script = scratch.write("inspect_all.py", [&] {
    const std::string text =
        "import sys\n"
        "sys.path.insert(0, sys.argv[1])\n"
        "import swfinspect\n"
        "for path in sys.argv[2:]:\n"
        "    r = swfinspect.inspect(path, expect_version=3, expect_convention=True)\n"
        "    ok = r['ok'] and not r['warnings']\n"
        "    print('%s\\t%d\\t%d\\t%s' % (path, ok, r.get('frame_count', -1), r['errors'] + r['warnings']))\n";
    return std::vector<std::uint8_t>(text.begin(), text.end());
  }());
  std::vector<std::string> inspectArgs = {script, inspector.parent_path().string()};

  int converted = 0;
  std::map<std::string, int> expectedFrames;
  for (const auto& gif : gifs) {
    convert::PreviewPlayer player;  // the window's load of the same file
    (void)player.load(gif.string());  // the frame count below tells a failed load
    if (player.frameCount() == 1) (void)player.load(gif.string());
    const image::RasterImage* first = player.frameAt(0);
    ASSERT_NE(first, nullptr) << gif;
    const std::string movie = out + gif.stem().string() + ".swf";
    const bool fits = first->width() >= 1 && first->width() <= 1638 && first->height() >= 1 && first->height() <= 1638;
    if (!fits) {
      EXPECT_FALSE(fs::exists(movie)) << gif;
      EXPECT_NE(outcome.err.find(gif.string() + ": The movie size"), std::string::npos) << gif;
      EXPECT_NE(outcome.err.find("1638"), std::string::npos);
      continue;
    }
    EXPECT_TRUE(fs::exists(movie)) << gif;
    expectedFrames[movie] = player.slotCount();
    inspectArgs.push_back(movie);
    ++converted;
  }
  const Outcome inspected = runTool("python3", inspectArgs, scratch);
  ASSERT_EQ(inspected.status, 0) << inspected.err;
  std::istringstream lines(inspected.out);
  std::string line;
  int reported = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string movie, ok, frames;
    std::getline(fields, movie, '\t');
    std::getline(fields, ok, '\t');
    std::getline(fields, frames, '\t');
    EXPECT_EQ(ok, "1") << line;
    EXPECT_EQ(frames, std::to_string(expectedFrames[movie])) << movie;
    ++reported;
  }
  EXPECT_EQ(reported, converted);
  EXPECT_GT(converted, 100);
  EXPECT_EQ(outcome.status, converted == static_cast<int>(gifs.size()) ? 0 : 1);
}

}  // namespace
}  // namespace brevanto
