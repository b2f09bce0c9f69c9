// Assembling a movie from pictures: frame structure, ids, fills, naming and the
// all-or-nothing write.

#include "swf/SwfMatrix.h"
#include "SwfTestSupport.h"
#include "tests/support/Files.h"
#include "util/File.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

namespace brevanto::swf {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::hex;
using test::u16At;

constexpr int kDefineBitsJpeg2 = 21;
constexpr int kPlaceObject2 = 26;
constexpr int kDefineShape3 = 32;

using brevanto::testing::readFile;
using brevanto::testing::writeFile;

// A stand-in picture: the writer embeds bytes without parsing them.
Bytes picture(int slot) { return {0xFF, 0xD8, static_cast<std::uint8_t>(slot), 0xFF, 0xD9}; }

// What one movie frame consists of, read back from the tags.
struct FrameView {
  std::vector<int> bitmapIds;  // DefineBitsJPEG2 tags before the shape
  int shapeId = -1;
  int fillBitmapId = -1;
  Bytes fillMatrix;  // the fill's MATRIX record and everything after it
  int placedId = -1;
  int depth = -1;
};

std::vector<FrameView> frames(const test::ParsedMovie& movie) {
  std::vector<FrameView> out;
  FrameView current;
  for (const test::Tag& tag : movie.tags) {
    if (tag.code == kDefineBitsJpeg2) {
      current.bitmapIds.push_back(u16At(tag.body, 0));
    } else if (tag.code == kDefineShape3) {
      current.shapeId = u16At(tag.body, 0);
      const std::size_t rect = (5 + 4 * static_cast<std::size_t>(tag.body[2] >> 3) + 7) / 8;
      const std::size_t fill = 2 + rect + 1;  // id, bounds, fill count
      current.fillBitmapId = u16At(tag.body, fill + 1);
      current.fillMatrix.assign(tag.body.begin() + static_cast<std::ptrdiff_t>(fill + 3), tag.body.end());
    } else if (tag.code == kPlaceObject2) {
      current.depth = u16At(tag.body, 1);
      current.placedId = u16At(tag.body, 3);
    } else if (tag.code == 1) {
      out.push_back(current);
      current = FrameView{};
    }
  }
  return out;
}

class MovieAssemblyTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
  }

  // The test's pictures lie in a folder of its own, one file per slot.
  static std::string captureFolder(const std::string& out) { return out + "pictures/"; }
  static std::string captureFramePath(const std::string& out, const std::string&, int slot) {
    return captureFolder(out) + std::to_string(slot) + ".jpg";
  }

  void capture(int slot, const Bytes& bytes) {
    fs::create_directories(captureFolder(output));
    writeFile(captureFramePath(output, input.gifPath, slot), bytes);
    memory[slot] = bytes;
  }

  PictureForSlot fromMemory() const {
    return [this](int slot) {
      auto it = memory.find(slot);
      return it == memory.end() ? SlotPicture{} : SlotPicture::jpeg(it->second);
    };
  }

  // A file that exists but cannot be read gives an unreadable picture.
  PictureForSlot fromFolder() const {
    return [this](int slot) {
      const std::string path = captureFramePath(output, input.gifPath, slot);
      if (!fs::exists(path)) return SlotPicture{};
      auto bytes = util::readWholeFile(path);
      return bytes ? SlotPicture::jpeg(std::move(*bytes)) : SlotPicture::unreadable();
    };
  }

  struct Outcome {
    bool ok = false;
    std::string outputPath;
    std::string errorMessage;
    std::optional<MovieError> error;
  };
  static Outcome outcomeOf(util::Result<std::string, MovieError> written) {
    if (written) return {true, *written, {}, {}};
    const MovieError& e = written.error();
    const std::string text = e.kind == MovieError::Kind::Refused ? e.detail : "failed: " + e.write.reason();
    return {false, {}, text, e};
  }
  Outcome run() { return outcomeOf(writeMovie(input, fromFolder())); }

  util::Result<Bytes, MovieError> movieBytes() const { return buildMovieBytes(input, fromMemory()); }

  // The movie written to the output folder, read back.
  test::ParsedMovie written() const { return test::parseMovie(readFile(output + "anim.swf")); }

  // An older movie where the new one belongs, and the checks that it survived a failed write
  // with no temporary file left beside it.
  void putOldMovie() const { writeFile(output + "anim.swf", hex("01 02 03")); }
  void expectOldMovieKept(const char* what = "") const {
    EXPECT_EQ(readFile(output + "anim.swf"), hex("01 02 03")) << what;
    EXPECT_TRUE(leftovers().empty()) << what;
  }

  std::vector<fs::path> leftovers() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(root))
      if (entry.path().extension() == ".tmp") files.push_back(entry.path());
    return files;
  }

  brevanto::testing::ScratchFolder scratch;
  const fs::path& root = scratch.path();
  const std::string output = root.string() + "/";
  MovieAssemblyInput input = test::movieInput(64, 48, 0, "/gifs/anim.gif", output);
  std::map<int, Bytes> memory;
};

TEST_F(MovieAssemblyTest, ThreeSlotsWithPictures) {
  for (int n = 0; n < 3; ++n) capture(n, picture(n));
  input.slotCount = 3;
  const Outcome result = run();
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(result.outputPath, output + "anim.swf");

  const test::ParsedMovie movie = written();
  ASSERT_TRUE(movie.valid);
  EXPECT_EQ(movie.frameCount, 3);
  EXPECT_EQ(movie.frameRate, 0x0A00);
  ASSERT_FALSE(movie.tags.empty());
  EXPECT_EQ(movie.tags.front().code, 9);
  EXPECT_EQ(movie.tags.front().body, hex("FF FF FF"));

  std::vector<int> idsInTagOrder;
  for (const test::Tag& tag : movie.tags)
    if (tag.code == kDefineBitsJpeg2 || tag.code == kDefineShape3) idsInTagOrder.push_back(u16At(tag.body, 0));
  EXPECT_EQ(idsInTagOrder, (std::vector<int>{2, 1, 4, 3, 6, 5}));

  const auto view = frames(movie);
  ASSERT_EQ(view.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(view[n].depth, n + 1);
    EXPECT_EQ(view[n].placedId, 2 * n + 1);
    EXPECT_EQ(view[n].fillBitmapId, 2 * n + 2);
  }
  // The embedded stream is the capture file between FF D9 FF D8 and FF D9.
  EXPECT_EQ(movie.tags[1].body, hex("02 00 FF D9 FF D8 FF D8 00 FF D9 FF D9"));
}

TEST_F(MovieAssemblyTest, SlotsWithoutPicturesRepeatTheLastOne) {
  // Display times 300, 100 and 250 ms: pictures start at slots 0, 3 and 4 of 6.
  capture(0, picture(0));
  capture(3, picture(3));
  capture(4, picture(4));
  capture(6, picture(6));  // beyond slotCount: never read
  input.slotCount = 6;
  const Outcome result = run();
  ASSERT_TRUE(result.ok) << result.errorMessage;
  const test::ParsedMovie movie = written();
  ASSERT_TRUE(movie.valid);
  EXPECT_EQ(movie.frameCount, 6);
  const auto view = frames(movie);
  ASSERT_EQ(view.size(), 6u);
  const std::vector<std::vector<int>> embedded{{2}, {}, {}, {8}, {10}, {}};
  const std::vector<int> shown{2, 2, 2, 8, 10, 10};
  for (std::size_t n = 0; n < 6; ++n) {
    EXPECT_EQ(view[n].bitmapIds, embedded[n]) << "slot " << n;
    EXPECT_EQ(view[n].fillBitmapId, shown[n]) << "slot " << n;
    EXPECT_EQ(view[n].shapeId, static_cast<int>(2 * n + 1));
  }
}

TEST_F(MovieAssemblyTest, MissingMiddleAndFirstPictures) {
  capture(0, picture(0));
  capture(2, picture(2));
  input.slotCount = 3;
  ASSERT_TRUE(run().ok);
  auto view = frames(written());
  ASSERT_EQ(view.size(), 3u);
  EXPECT_EQ(view[1].shapeId, 3);
  EXPECT_EQ(view[1].fillBitmapId, 2);
  EXPECT_EQ(view[0].bitmapIds.size() + view[1].bitmapIds.size() + view[2].bitmapIds.size(), 2u);

  // Without a picture for slot 0 the first fills name id 2, which the movie never defines.
  fs::remove(captureFramePath(output, input.gifPath, 0));
  ASSERT_TRUE(run().ok);
  view = frames(written());
  ASSERT_EQ(view.size(), 3u);
  EXPECT_TRUE(view[0].bitmapIds.empty());
  EXPECT_EQ(view[0].fillBitmapId, 2);
  EXPECT_EQ(view[2].bitmapIds, std::vector<int>{6});
}

TEST_F(MovieAssemblyTest, UnreadableCaptureFileStillTakesItsId) {
  capture(0, picture(0));
  fs::create_directories(captureFramePath(output, input.gifPath, 1));  // exists, not a file
  input.slotCount = 2;
  ASSERT_TRUE(run().ok);
  const auto view = frames(written());
  ASSERT_EQ(view.size(), 2u);
  EXPECT_TRUE(view[1].bitmapIds.empty());
  EXPECT_EQ(view[1].fillBitmapId, 4);
}

TEST_F(MovieAssemblyTest, NoSlotsGivesBackgroundAndEndOnly) {
  input.slotCount = 0;
  ASSERT_TRUE(run().ok);
  const test::ParsedMovie movie = written();
  ASSERT_TRUE(movie.valid);
  EXPECT_EQ(movie.frameCount, 0);
  EXPECT_EQ(test::tagCodes(movie), (std::vector<int>{9, 0}));
}

TEST_F(MovieAssemblyTest, FolderAndMemoryFormsGiveIdenticalBytes) {
  capture(0, picture(0));
  capture(2, Bytes(5000, 0x5A));
  capture(3, {});
  input.slotCount = 5;
  input.frameRate = 300;
  ASSERT_TRUE(run().ok);
  const Bytes fromFolder = readFile(output + "anim.swf");

  input.gifPath = "/elsewhere/anim.gif";  // same file-name part, same movie
  fs::remove_all(captureFolder(output));
  const Outcome result = outcomeOf(writeMovie(input, fromMemory()));
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(readFile(result.outputPath), fromFolder);

  const auto inMemory = movieBytes();
  ASSERT_TRUE(inMemory) << inMemory.error().detail;
  EXPECT_EQ(*inMemory, fromFolder);
  EXPECT_EQ(test::parseMovie(fromFolder).frameRate, 0x2C00);
}

TEST_F(MovieAssemblyTest, FillScalesThePictureOntoTheStage) {
  input.slotCount = 1;
  const auto fillStartsWith = [&](int stageW, int stageH, const Bytes& matrix) {
    input.stageWidth = stageW;
    input.stageHeight = stageH;
    const Bytes fill = frames(test::parseMovie(movieBytes().value())).at(0).fillMatrix;
    return fill.size() >= matrix.size() && std::equal(matrix.begin(), matrix.end(), fill.begin());
  };
  // Same size as the GIF: one picture pixel per stage pixel, no translation.
  EXPECT_TRUE(fillStartsWith(64, 48, hex("D9 40 00 05 00 00 00")));
  EXPECT_TRUE(fillStartsWith(128, 96, SwfMatrix(40, 40, 0, 0, 0, 0).encode()));
  EXPECT_TRUE(fillStartsWith(32, 24, SwfMatrix(10, 10, 0, 0, 0, 0).encode()));
  EXPECT_TRUE(fillStartsWith(192, 48, SwfMatrix(60, 20, 0, 0, 0, 0).encode()));
}

TEST_F(MovieAssemblyTest, ReplacesAnExistingMovie) {
  writeFile(output + "anim.swf", Bytes(100000, 0xEE));
  capture(0, picture(0));
  input.slotCount = 1;
  ASSERT_TRUE(run().ok);
  EXPECT_EQ(readFile(output + "anim.swf"), movieBytes().value());
  ASSERT_TRUE(run().ok);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(MovieAssemblyTest, NamesFollowTheGifFileName) {
  EXPECT_EQ(moviePath("/out/", "/gifs/anim.gif"), "/out/anim.swf");
  EXPECT_EQ(moviePath("/out/", "anim.GIF"), "/out/anim.swf");
  EXPECT_EQ(moviePath("/out", "x/clip.jpeg"), "/out/clip.jswf");  // last three characters, always
  EXPECT_EQ(movieFileName("ab"), "ab.swf");
  EXPECT_EQ(movieFileName("/gifs/"), "");
}

TEST_F(MovieAssemblyTest, RefusesInputsThatCannotMakeAMovie) {
  capture(0, picture(0));
  putOldMovie();
  struct Case {
    const char* what;
    void (*change)(MovieAssemblyInput&);
  };
  const Case cases[] = {
      {"zero width", [](MovieAssemblyInput& in) { in.stageWidth = 0; }},
      {"negative height", [](MovieAssemblyInput& in) { in.stageHeight = -48; }},
      {"too wide", [](MovieAssemblyInput& in) { in.stageWidth = kMaxStageSide + 1; }},
      {"too high", [](MovieAssemblyInput& in) { in.stageHeight = 100000; }},
      {"no source size", [](MovieAssemblyInput& in) { in.sourceWidth = 0; }},
      {"negative slots", [](MovieAssemblyInput& in) { in.slotCount = -1; }},
      {"too many slots", [](MovieAssemblyInput& in) { in.slotCount = kMaxSlotCount + 1; }},
      {"no file name", [](MovieAssemblyInput& in) { in.gifPath = "/gifs/"; }},
      {"missing folder", [](MovieAssemblyInput& in) { in.outputFolder += "missing/"; }},
  };
  for (const Case& c : cases) {
    MovieAssemblyInput saved = input;
    input.slotCount = 1;
    c.change(input);
    const Outcome result = run();
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_FALSE(result.errorMessage.empty()) << c.what;
    expectOldMovieKept(c.what);
    input = saved;
  }
  EXPECT_FALSE(fs::exists(output + "missing"));
  input.outputFolder = output + "not-there/";
  const Outcome missing = run();  // the caller names the folder in its message
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->kind, MovieError::Kind::NoOutputFolder);
  input.outputFolder = output;
  input.stageWidth = kMaxStageSide;
  input.stageHeight = 1;
  input.slotCount = 1;
  EXPECT_TRUE(run().ok);
  input.stageWidth = 2000;
  const auto refused = movieBytes();
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().detail.find("1638"), std::string::npos);
}

TEST_F(MovieAssemblyTest, NeverOverwritesTheFileBeingConverted) {
  writeFile(output + "clip.swf", hex("47 49 46 38 39 61"));
  input.gifPath = output + "clip.swf";
  input.slotCount = 1;
  EXPECT_FALSE(run().ok);
  EXPECT_EQ(readFile(output + "clip.swf"), hex("47 49 46 38 39 61"));
}

TEST_F(MovieAssemblyTest, ReadOnlyFolderKeepsTheOldMovie) {
  putOldMovie();
  capture(0, picture(0));
  input.slotCount = 1;
  fs::permissions(root, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (::access(root.c_str(), W_OK) == 0) GTEST_SKIP() << "this user can write to read-only folders";
  const Outcome result = run();
  EXPECT_FALSE(result.ok);
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->kind, MovieError::Kind::CannotWrite);
  expectOldMovieKept();
}

// A full disk, simulated with a file-size limit: writing fails part-way through the movie.
TEST_F(MovieAssemblyTest, WriteFailureKeepsTheOldMovieAndLeavesNoPartialFile) {
  putOldMovie();
  capture(0, Bytes(200000, 0x11));
  input.slotCount = 1;

  std::optional<brevanto::testing::FileSizeLimit> fullDisk(std::in_place, 64 * 1024);
  const Outcome result = run();
  fullDisk.reset();

  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.errorMessage.empty());
  expectOldMovieKept();
}

// An 8 x 8 red baseline JPEG, as a capture would write it.
const char* const kTinyJpeg =
    "ff d8 ff e0 00 10 4a 46 49 46 00 01 01 00 00 01 00 01 00 00 ff db 00 43 00 10 0b 0c 0e 0c 0a 10 "
    "0e 0d 0e 12 11 10 13 18 28 1a 18 16 16 18 31 23 25 1d 28 3a 33 3d 3c 39 33 38 37 40 48 5c 4e 40 "
    "44 57 45 37 38 50 6d 51 57 5f 62 67 68 67 3e 4d 71 79 70 64 78 5c 65 67 63 ff db 00 43 01 11 12 "
    "12 18 15 18 2f 1a 1a 2f 63 42 38 42 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 "
    "63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 ff c0 "
    "00 11 08 00 08 00 08 03 01 22 00 02 11 01 03 11 01 ff c4 00 15 00 01 01 00 00 00 00 00 00 00 00 "
    "00 00 00 00 00 00 00 05 ff c4 00 14 10 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ff c4 "
    "00 15 01 01 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 05 06 ff c4 00 14 11 01 00 00 00 00 00 "
    "00 00 00 00 00 00 00 00 00 00 00 ff da 00 0c 03 01 00 02 11 03 11 00 3f 00 8a 00 b5 e3 ff d9 ";

// The movie checked by a validator that shares no code with the writer.
TEST_F(MovieAssemblyTest, PassesTheIndependentStructureCheck) {
  const std::string inspector = std::string(BREVANTO_SHARED_TOOLS) + "/swfcheck/swfinspect.py";
  if (!fs::exists(inspector) || std::system("python3 --version > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "swfinspect.py or python3 not available";
  capture(0, hex(kTinyJpeg));
  capture(2, hex(kTinyJpeg));
  input.stageWidth = input.sourceWidth = 8;
  input.stageHeight = input.sourceHeight = 8;
  input.slotCount = 4;
  ASSERT_TRUE(run().ok);
  const std::string command = "python3 '" + inspector + "' '" + output +
                              "anim.swf' --strict --expect-version 3 --expect-convention > '" + output +
                              "inspect.txt' 2>&1";
  const int status = std::system(command.c_str());
  const Bytes report = readFile(output + "inspect.txt");
  EXPECT_EQ(status, 0) << std::string(report.begin(), report.end());
}

}  // namespace
}  // namespace brevanto::swf
