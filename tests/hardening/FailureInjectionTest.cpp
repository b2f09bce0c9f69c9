// Failure injection for everything the program writes: a missing, read-only or full output
// folder, a full device, and a capture folder deleted in the middle of a conversion. In every
// case the previous movie stays intact, no partial movie is left behind, the failure is
// reported, and Convert All goes on with the next file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "GifBytes.h"
#include "RunDriver.h"
#include "ScratchFolders.h"
#include "image/AnimatedImage.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"
#include "convert/FrameCapture.h"
#include "convert/RunProblem.h"
#include "swf/MovieAssembly.h"

using namespace brevanto;
using namespace brevanto::hardening;

namespace {

const std::vector<std::uint8_t> kOldMovie = {'F', 'W', 'S', 3, 'o', 'l', 'd', ' ', 'm', 'o', 'v', 'i', 'e'};

// Writes `slots` capture pictures of a width x height noisy image for gifPath.
void writeCaptureFiles(const std::string& outputFolder, const std::string& gifPath, int slots,
                       int width = 32, int height = 24) {
  fs::create_directories(convert::captureFolder(outputFolder));
  image::RasterImage picture;
  ASSERT_TRUE(picture.create(width, height, 24));
  for (std::size_t i = 0; i < picture.pixels().size(); ++i) {
    picture.pixels()[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
  }
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, "100");
  for (int slot = 0; slot < slots; ++slot) {
    ASSERT_TRUE(image::ImageCodecFactory::save(picture, convert::captureFramePath(outputFolder, gifPath, slot), properties));
  }
}

swf::MovieAssemblyInput movieInput(const std::string& outputFolder, const std::string& gifPath,
                                   int slots, int width = 32, int height = 24) {
  swf::MovieAssemblyInput input;
  input.gifPath = gifPath;
  input.outputFolder = outputFolder;
  input.stageWidth = width;
  input.stageHeight = height;
  input.sourceWidth = width;
  input.sourceHeight = height;
  input.slotCount = slots;
  return input;
}

// The movie of the captured pictures, written as the conversion run writes it.
struct MovieOutcome {
  bool ok = false;
  std::string errorMessage;  // the reason the run reports
};
MovieOutcome writeFromCapture(const swf::MovieAssemblyInput& input) {
  convert::FrameCapture capture;
  capture.outputFolder = input.outputFolder;
  const auto written = swf::writeMovie(input, [&](int slot) { return capture.pictureAt(input.gifPath, slot); });
  if (written) return {true, {}};
  return {false, convert::movieProblem(input, written.error()).reason};
}

#define REQUIRE_MOUNT(m)                                                                  \
  if (!(m).mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (" << (m).why()         \
                                   << "); run as root to inject this failure"

}  // namespace

TEST(MovieWriting, MissingOutputFolderIsReportedAndNothingIsCreated) {
  const fs::path base = makeScratchFolder("missing");
  const std::string folder = (base / "not-there").string() + "/";
  const auto result = writeFromCapture(movieInput(folder, "/somewhere/anim.gif", 3));
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.errorMessage.find("not-there"), std::string::npos) << result.errorMessage;
  EXPECT_FALSE(fs::exists(base / "not-there"));
  fs::remove_all(base);
}

TEST(MovieWriting, ReadOnlyFolderKeepsTheOldMovieAndReports) {
  TmpfsMount disk("readonly", 4096);
  REQUIRE_MOUNT(disk);
  const std::string gif = disk.folder() + "anim.gif";
  writeFile(disk.path() / "anim.swf", kOldMovie);
  writeCaptureFiles(disk.folder(), gif, 3);
  ASSERT_TRUE(disk.remountReadOnly());
  const auto before = filesIn(disk.path());

  const auto result = writeFromCapture(movieInput(disk.folder(), gif, 3));
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.errorMessage.empty());
  EXPECT_EQ(readFile(disk.path() / "anim.swf"), kOldMovie);
  EXPECT_EQ(filesIn(disk.path()), before);
}

TEST(MovieWriting, FullDiskKeepsTheOldMovieAndLeavesNoPartialFile) {
  TmpfsMount disk("full", 1024);
  REQUIRE_MOUNT(disk);
  const std::string gif = disk.folder() + "anim.gif";
  writeFile(disk.path() / "anim.swf", kOldMovie);
  writeCaptureFiles(disk.folder(), gif, 6, 96, 64);
  disk.fill();
  const auto before = filesIn(disk.path());

  const auto result = writeFromCapture(movieInput(disk.folder(), gif, 6, 96, 64));
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.errorMessage.empty());
  EXPECT_EQ(readFile(disk.path() / "anim.swf"), kOldMovie);
  EXPECT_EQ(filesIn(disk.path()), before) << "a partial or temporary movie was left behind";
}

// A name that leads to /dev/full: a writer either reports the failed write, or (writing beside
// the target and renaming) replaces the link by a complete file. Success with nothing written
// is the fault.
TEST(ImageWriters, EveryFormatReportsAWriteToAFullDevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const fs::path base = makeScratchFolder("devfull");
  image::RasterImage picture;
  ASSERT_TRUE(picture.create(64, 48, 24));
  for (std::size_t i = 0; i < picture.pixels().size(); ++i) picture.pixels()[i] = static_cast<std::uint8_t>(i * 31);
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, "90");
  for (const char* ext : {"bmp", "tga", "gif", "jpg", "png", "tif"}) {
    const fs::path link = base / (std::string("picture.") + ext);
    fs::create_symlink("/dev/full", link);
    if (image::ImageCodecFactory::save(picture, link, properties)) {
      EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link))) << "." << ext << " reported success on a full device";
      image::AnimatedImage reread;
      EXPECT_TRUE(reread.load(link)) << "." << ext;
    }
  }
  fs::remove_all(base);
}

namespace {

// A Convert All run over GIF files in `inputs` (a writable folder) into `output`.
struct Scenario {
  fs::path inputs;
  std::vector<std::string> gifs;

  explicit Scenario(const std::string& name) : inputs(makeScratchFolder(name + "-in")) {}
  ~Scenario() {
    std::error_code ec;
    fs::remove_all(inputs, ec);
  }
  std::string addGif(const std::string& name, const Bytes& bytes) {
    const fs::path path = inputs / name;
    writeFile(path, bytes);
    gifs.push_back(path.string());
    return path.string();
  }
};

void addAll(RunDriver& driver, const Scenario& s, int width, int height) {
  for (const auto& gif : s.gifs) driver.add(gif, width, height);
}

bool mentions(const std::vector<std::string>& problems, const std::string& text) {
  for (const auto& p : problems) {
    if (p.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

TEST(ConvertAllFailures, AnUndecodableFileIsReportedAndTheNextOneConverts) {
  Scenario s("undecodable");
  s.addGif("broken.gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0});
  s.addGif("good.gif", smallAnimation(8, 6, 3));
  const fs::path out = makeScratchFolder("undecodable-out");
  RunDriver driver(out.string() + "/");
  addAll(driver, s, 8, 6);
  const RunRecord record = driver.convertAll();
  ASSERT_FALSE(record.timedOut);
  EXPECT_TRUE(record.folderOpened);
  EXPECT_TRUE(mentions(record.problems, "broken.gif"));
  EXPECT_TRUE(fs::exists(out / "good.swf"));
  EXPECT_FALSE(fs::exists(out / "broken.swf"));
  EXPECT_TRUE(filesIn(out / "tolvane_brevanto" / "Temp").empty());
  fs::remove_all(out);
}

TEST(ConvertAllFailures, ReadOnlyOutputFolderReportsEveryFileAndKeepsTheOldMovies) {
  TmpfsMount disk("run-readonly", 4096);
  REQUIRE_MOUNT(disk);
  Scenario s("run-readonly");
  s.addGif("a.gif", smallAnimation(8, 6, 2));
  s.addGif("b.gif", smallAnimation(8, 6, 2));
  fs::create_directories(disk.path() / "tolvane_brevanto" / "Temp");
  writeFile(disk.path() / "a.swf", kOldMovie);
  writeFile(disk.path() / "b.swf", kOldMovie);
  ASSERT_TRUE(disk.remountReadOnly());

  RunDriver driver(disk.folder());
  addAll(driver, s, 8, 6);
  const RunRecord record = driver.convertAll();
  ASSERT_FALSE(record.timedOut);
  EXPECT_TRUE(record.folderOpened) << "Convert All did not reach its end";
  EXPECT_TRUE(mentions(record.problems, "a.gif"));
  EXPECT_TRUE(mentions(record.problems, "b.gif"));
  EXPECT_TRUE(record.moviesWritten.empty());
  EXPECT_EQ(readFile(disk.path() / "a.swf"), kOldMovie);
  EXPECT_EQ(readFile(disk.path() / "b.swf"), kOldMovie);
  EXPECT_EQ(filesIn(disk.path()), (std::set<std::string>{"a.swf", "b.swf"}));
}

TEST(ConvertAllFailures, FullDiskFailsTheLargeFileAndTheNextOneStillConverts) {
  // The large file's pictures and movie cannot fit; once its capture files are cleared away the
  // small one can.
  TmpfsMount disk("run-full", 768);
  REQUIRE_MOUNT(disk);
  Scenario s("run-full");
  s.addGif("large.gif", smallAnimation(400, 300, 4));
  s.addGif("small.gif", smallAnimation(8, 6, 2));
  writeFile(disk.path() / "large.swf", kOldMovie);
  disk.fill();
  // Leave room for the small file's pictures and movie only.
  fs::resize_file(disk.path() / "filler", fs::file_size(disk.path() / "filler") - 64 * 1024);

  RunDriver driver(disk.folder());
  driver.add(s.gifs[0], 400, 300);
  driver.add(s.gifs[1], 8, 6);
  const RunRecord record = driver.convertAll();
  ASSERT_FALSE(record.timedOut);
  EXPECT_TRUE(record.folderOpened);
  EXPECT_TRUE(mentions(record.problems, "large.gif"));
  EXPECT_EQ(readFile(disk.path() / "large.swf"), kOldMovie);
  EXPECT_TRUE(fs::exists(disk.path() / "small.swf"));
  EXPECT_EQ(filesIn(disk.path()), (std::set<std::string>{"filler", "large.swf", "small.swf"}));
  EXPECT_TRUE(filesIn(disk.path() / "tolvane_brevanto" / "Temp").empty());
}

TEST(ConvertAllFailures, CaptureFolderDeletedDuringAConversionIsReportedNotHidden) {
  Scenario s("capture-deleted");
  s.addGif("first.gif", smallAnimation(8, 6, 5));
  s.addGif("second.gif", smallAnimation(8, 6, 2));
  const fs::path out = makeScratchFolder("capture-deleted-out");
  writeFile(out / "first.swf", kOldMovie);
  RunDriver driver(out.string() + "/");
  addAll(driver, s, 8, 6);

  bool deleted = false;
  const RunRecord record = driver.convertAll([&](convert::ConversionRun& run, convert::PreviewPlayer& player) {
    // Once the first file has two frames captured, its capture folder disappears.
    if (!deleted && run.runIndex() == 0 && player.capture().captureCounter >= 2) {
      player.handleShownFrames();
      fs::remove_all(out / "tolvane_brevanto" / "Temp");
      deleted = true;
    }
  });
  ASSERT_TRUE(deleted);
  ASSERT_FALSE(record.timedOut);
  EXPECT_TRUE(record.folderOpened) << "Convert All did not go on to its end";
  // The first movie would lack the pictures that were deleted: it must not replace the old one.
  EXPECT_TRUE(mentions(record.problems, "first.gif"));
  EXPECT_EQ(readFile(out / "first.swf"), kOldMovie);
  EXPECT_TRUE(fs::exists(out / "second.swf"));
  EXPECT_EQ(filesIn(out), (std::set<std::string>{"first.swf", "second.swf"}));
  EXPECT_TRUE(filesIn(out / "tolvane_brevanto" / "Temp").empty());
  fs::remove_all(out);
}

TEST(ConvertAllFailures, OutputFolderThatCannotBeCreatedIsReportedForEveryFile) {
  Scenario s("uncreatable");
  s.addGif("a.gif", smallAnimation(8, 6, 2));
  s.addGif("b.gif", smallAnimation(8, 6, 2));
  const fs::path base = makeScratchFolder("uncreatable-out");
  writeFile(base / "plain-file", {1, 2, 3});
  // A folder below a plain file can never exist.
  RunDriver driver((base / "plain-file" / "out").string() + "/");
  addAll(driver, s, 8, 6);
  const RunRecord record = driver.convertAll();
  ASSERT_FALSE(record.timedOut);
  EXPECT_TRUE(record.folderOpened);
  EXPECT_TRUE(mentions(record.problems, "a.gif"));
  EXPECT_TRUE(mentions(record.problems, "b.gif"));
  EXPECT_EQ(filesIn(base), (std::set<std::string>{"plain-file"}));
  fs::remove_all(base);
}
