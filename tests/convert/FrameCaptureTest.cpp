#include <gtest/gtest.h>

#include <filesystem>

#include "convert/FrameCapture.h"
#include "convert/OutputSettings.h"
#include "image/RasterImage.h"
#include "swf/MovieAssembly.h"
#include "tests/support/Files.h"

namespace brevanto::convert {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

image::RasterImage smallFrame() {
  image::RasterImage frame;
  EXPECT_TRUE(frame.create(4, 3, 32));
  return frame;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FrameCapture, EachFrameIsWrittenOnceUnderItsFirstSlotKeepingTheGifExtension) {
  ScratchFolder scratch;
  FrameCapture capture;
  capture.outputFolder = scratch.path().generic_string() + "/out/";
  const image::RasterImage frame = smallFrame();

  EXPECT_EQ(capture.captureFrame(frame, "/anims/cat.gif", 3), -1);  // capture is off
  EXPECT_EQ(capture.captureCounter, 0);

  capture.captureEnabled = true;
  capture.captureQuality = 75;
  EXPECT_EQ(capture.captureFrame(frame, "/anims/cat.gif", 3), 0);
  EXPECT_EQ(capture.captureCounter, 3);
  EXPECT_EQ(capture.captureFrame(frame, "/anims/cat.gif", 0), 3);  // at least one slot
  EXPECT_EQ(capture.captureFrame(frame, "/anims/cat.gif", 1), 4);
  EXPECT_EQ(capture.captureCounter, 5);

  const std::string folder = captureFolder(capture.outputFolder);
  EXPECT_EQ(folder, capture.outputFolder + "tolvane_brevanto/Temp/");
  EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"cat.gif00000.jpg", "cat.gif00003.jpg", "cat.gif00004.jpg"}));

  // A capture folder removed during a capture is created again before the next write.
  fs::remove_all(folder);
  EXPECT_EQ(capture.captureFrame(frame, "/anims/cat.gif", 1), 5);
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{"cat.gif00005.jpg"});
  EXPECT_EQ(captureFramePath("/out", "/a/b/anim.gif", 123456), "/out/tolvane_brevanto/Temp/anim.gif123456.jpg");
  EXPECT_EQ(jpegQualityFor(75), 75);
  EXPECT_EQ(jpegQualityFor(-1), 80);
  EXPECT_EQ(jpegQualityFor(500), 100);
}

TEST(FrameCapture, EmptyingTheFolderDeletesEveryFileAndKeepsSubFolders) {
  ScratchFolder scratch;
  const std::string output = scratch.path().generic_string() + "/new/deeper/";
  ASSERT_TRUE(emptyCaptureFolder(output));  // created with its parents
  const std::string folder = captureFolder(output);
  EXPECT_TRUE(fs::is_directory(folder));

  for (const char* name : {"a.gif00000.jpg", "notes.txt", "noextension", ".hidden"}) {
    scratch.write(fs::path(folder).lexically_relative(scratch.path()).generic_string() + name, {1, 2, 3});
  }
  fs::create_directories(folder + "sub");
  scratch.write(fs::path(folder).lexically_relative(scratch.path()).generic_string() + "sub/kept.jpg", {1});
  ASSERT_TRUE(emptyCaptureFolder(output));
  EXPECT_TRUE(filesIn(folder).empty());
  EXPECT_TRUE(fs::exists(folder + "sub/kept.jpg"));
}

}  // namespace
}  // namespace brevanto::convert
