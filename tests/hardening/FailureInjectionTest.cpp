// Failure injection for everything the program writes: a missing, read-only or full output
// folder, a full device, and a capture folder deleted in the middle of a conversion. In every
// case the previous movie stays intact, no partial movie is left behind, the failure is
// reported, and Convert All goes on with the next file.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/AnimatedImage.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"
#include "convert/FrameCapture.h"
#include "convert/RunProblem.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"
#include "tests/support/WindowStandIn.h"
#include "tests/swf/SwfTestSupport.h"

using namespace brevanto;
using namespace brevanto::testing;

namespace {

const Bytes kOldMovie = {'F', 'W', 'S', 3, 'o', 'l', 'd', ' ', 'm', 'o', 'v', 'i', 'e'};

// A tmpfs of `kib` KiB mounted on a scratch folder, unmounted on destruction. mounted() is false
// when this process may not mount (not root, or no mount rights).
class TmpfsMount {
 public:
  explicit TmpfsMount(int kib) {
    const std::string options = "size=" + std::to_string(kib) + "k,mode=0755";
    mounted_ = ::mount("tmpfs", path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) why_ = std::strerror(errno);
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(path().c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  const fs::path& path() const { return scratch_.path(); }
  std::string folder() const { return path().string() + "/"; }

  bool remountReadOnly() { return ::mount("tmpfs", path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
  // Writes a file named "filler" until the file system is full.
  void fill() {
    std::FILE* f = std::fopen((path() / "filler").c_str(), "wb");
    if (!f) return;
    std::vector<char> block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
    }
    std::fclose(f);
  }

 private:
  ScratchFolder scratch_;
  bool mounted_ = false;
  std::string why_;
};

// Writes `slots` capture pictures of a width x height noisy image for gifPath.
void writeCaptureFiles(const std::string& outputFolder, const std::string& gifPath, int slots, int width = 32,
                       int height = 24) {
  fs::create_directories(convert::captureFolder(outputFolder));
  image::RasterImage picture;
  ASSERT_TRUE(picture.create(width, height, 24));
  for (std::size_t i = 0; i < picture.pixels().size(); ++i) {
    picture.pixels()[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
  }
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, "100");
  for (int slot = 0; slot < slots; ++slot) {
    ASSERT_TRUE(
        image::ImageCodecFactory::save(picture, convert::captureFramePath(outputFolder, gifPath, slot), properties));
  }
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

#define REQUIRE_MOUNT(m) \
  if (!(m).mounted())    \
  GTEST_SKIP() << "cannot mount a tmpfs here (" << (m).why() << "); run as root to inject this failure"

}  // namespace

TEST(MovieWriting, MissingOutputFolderIsReportedAndNothingIsCreated) {
  const ScratchFolder base;
  const std::string folder = (base / "not-there").string() + "/";
  const auto result = writeFromCapture(swf::test::movieInput(32, 24, 3, "/somewhere/anim.gif", folder));
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.errorMessage.find("not-there"), std::string::npos) << result.errorMessage;
  EXPECT_FALSE(fs::exists(base / "not-there"));
}

// A read-only folder and a full disk: the old movie stays, nothing else appears and the failure
// is reported.
TEST(MovieWriting, ReadOnlyFolderOrFullDiskKeepsTheOldMovieAndLeavesNoPartialFile) {
  for (const bool full : {false, true}) {
    SCOPED_TRACE(full ? "full disk" : "read-only folder");
    TmpfsMount disk(full ? 1024 : 4096);
    REQUIRE_MOUNT(disk);
    const std::string gif = disk.folder() + "anim.gif";
    const int slots = full ? 6 : 3, width = full ? 96 : 32, height = full ? 64 : 24;
    writeFile(disk.path() / "anim.swf", kOldMovie);
    writeCaptureFiles(disk.folder(), gif, slots, width, height);
    if (full) {
      disk.fill();
    } else {
      ASSERT_TRUE(disk.remountReadOnly());
    }
    const auto before = filesIn(disk.path());

    const auto result = writeFromCapture(swf::test::movieInput(width, height, slots, gif, disk.folder()));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.errorMessage.empty());
    EXPECT_EQ(readFile(disk.path() / "anim.swf"), kOldMovie);
    EXPECT_EQ(filesIn(disk.path()), before) << "a partial or temporary movie was left behind";
  }
}

// A name that leads to /dev/full: a writer either reports the failed write, or (writing beside
// the target and renaming) replaces the link by a complete file. Success with nothing written
// is the fault.
TEST(ImageWriters, EveryFormatReportsAWriteToAFullDevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ScratchFolder base;
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
}

namespace {

// Convert All, driven as the window does, over GIF files written to a scratch folder.
struct ConvertAll {
  explicit ConvertAll(const std::string& outputFolder) : harness(outputFolder) { harness.settings.jpegQuality = 90; }
  void add(const std::string& name, const Bytes& gif, int width = 8, int height = 6) {
    harness.list.add(inputs.write(name, gif), width, height);
  }
  // Runs to the end; `onTurn` is called on every turn of the window's event loop.
  template <typename OnTurn>
  void run(OnTurn onTurn) {
    harness.window.perform(harness.run.convertAll());
    ASSERT_TRUE(harness.window.run(
        [&] {
          onTurn();
          return false;
        },
        std::chrono::seconds(120)))
        << "timed out";
    EXPECT_EQ(harness.window.openedFolders.size(), 1u) << "Convert All did not reach its end";
  }
  void run() {
    run([] {});
  }
  bool reported(const std::string& name) const {
    for (const auto& p : harness.window.problems) {
      if (p.find(name) != std::string::npos) return true;
    }
    return false;
  }

  ScratchFolder inputs;
  RunHarness harness;
};

}  // namespace

TEST(ConvertAllFailures, AnUndecodableFileIsReportedAndTheNextOneConverts) {
  ScratchFolder out;
  ConvertAll all(out.path().string() + "/");
  all.add("broken.gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0});
  all.add("good.gif", smallAnimation(8, 6, 3));
  all.run();
  EXPECT_TRUE(all.reported("broken.gif"));
  EXPECT_EQ(filesIn(out.path()), std::set<std::string>{"good.swf"});
  EXPECT_TRUE(filesIn(out / "tolvane_brevanto" / "Temp").empty());
}

TEST(ConvertAllFailures, ReadOnlyOutputFolderReportsEveryFileAndKeepsTheOldMovies) {
  TmpfsMount disk(4096);
  REQUIRE_MOUNT(disk);
  ConvertAll all(disk.folder());
  for (const char* name : {"a", "b"}) {
    all.add(std::string(name) + ".gif", smallAnimation(8, 6, 2));
    writeFile(disk.path() / (std::string(name) + ".swf"), kOldMovie);
  }
  fs::create_directories(disk.path() / "tolvane_brevanto" / "Temp");
  ASSERT_TRUE(disk.remountReadOnly());
  all.run();
  EXPECT_TRUE(all.reported("a.gif"));
  EXPECT_TRUE(all.reported("b.gif"));
  EXPECT_TRUE(all.harness.window.movies.empty());
  EXPECT_EQ(readFile(disk.path() / "a.swf"), kOldMovie);
  EXPECT_EQ(readFile(disk.path() / "b.swf"), kOldMovie);
  EXPECT_EQ(filesIn(disk.path()), (std::set<std::string>{"a.swf", "b.swf"}));
}

TEST(ConvertAllFailures, OutputFolderThatCannotBeCreatedIsReportedForEveryFile) {
  ScratchFolder base;
  writeFile(base / "plain-file", {1, 2, 3});
  // A folder below a plain file can never exist.
  ConvertAll all((base / "plain-file" / "out").string() + "/");
  all.add("a.gif", smallAnimation(8, 6, 2));
  all.add("b.gif", smallAnimation(8, 6, 2));
  all.run();
  EXPECT_TRUE(all.reported("a.gif"));
  EXPECT_TRUE(all.reported("b.gif"));
  EXPECT_EQ(filesIn(base.path()), (std::set<std::string>{"plain-file"}));
}

TEST(ConvertAllFailures, FullDiskFailsTheLargeFileAndTheNextOneStillConverts) {
  // The large file's pictures and movie cannot fit; once its capture files are cleared away the
  // small one can.
  TmpfsMount disk(768);
  REQUIRE_MOUNT(disk);
  ConvertAll all(disk.folder());
  all.add("large.gif", smallAnimation(400, 300, 4), 400, 300);
  all.add("small.gif", smallAnimation(8, 6, 2));
  writeFile(disk.path() / "large.swf", kOldMovie);
  disk.fill();
  // Leave room for the small file's pictures and movie only.
  fs::resize_file(disk.path() / "filler", fs::file_size(disk.path() / "filler") - 64 * 1024);
  all.run();
  EXPECT_TRUE(all.reported("large.gif"));
  EXPECT_EQ(readFile(disk.path() / "large.swf"), kOldMovie);
  EXPECT_EQ(filesIn(disk.path()), (std::set<std::string>{"filler", "large.swf", "small.swf"}));
  EXPECT_TRUE(filesIn(disk.path() / "tolvane_brevanto" / "Temp").empty());
}

TEST(ConvertAllFailures, CaptureFolderDeletedDuringAConversionIsReportedNotHidden) {
  ScratchFolder out;
  writeFile(out / "first.swf", kOldMovie);
  ConvertAll all(out.path().string() + "/");
  all.add("first.gif", smallAnimation(8, 6, 5));
  all.add("second.gif", smallAnimation(8, 6, 2));
  bool deleted = false;
  all.run([&] {
    // Once the first file has two frames captured, its capture folder disappears.
    if (!deleted && all.harness.run.runIndex() == 0 && all.harness.player.capture().captureCounter >= 2) {
      all.harness.player.handleShownFrames();
      fs::remove_all(out / "tolvane_brevanto" / "Temp");
      deleted = true;
    }
  });
  ASSERT_TRUE(deleted);
  // The first movie would lack the pictures that were deleted: it must not replace the old one.
  EXPECT_TRUE(all.reported("first.gif"));
  EXPECT_EQ(readFile(out / "first.swf"), kOldMovie);
  EXPECT_EQ(filesIn(out.path()), (std::set<std::string>{"first.swf", "second.swf"}));
  EXPECT_TRUE(filesIn(out / "tolvane_brevanto" / "Temp").empty());
}
