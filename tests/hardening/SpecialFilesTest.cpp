// Things named like pictures that are not plain files: a named pipe (opening it for reading
// would wait for a writer forever), endless devices, a folder. Every reader refuses them at
// once with a reason instead of hanging or reading without end.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <future>

#include "controls/AnimatedPicture.h"
#include "convert/HeadlessConverter.h"
#include "convert/PreviewPlayer.h"
#include "image/AnimatedImage.h"
#include "tests/support/Files.h"

using namespace brevanto;
using namespace brevanto::testing;

TEST(SpecialFiles, PipesDevicesAndFoldersAreRefusedWithoutWaiting) {
  ScratchFolder scratch;
  const fs::path& base = scratch.path();
  std::vector<fs::path> paths;
  ASSERT_EQ(::mkfifo((base / "pipe.gif").c_str(), 0600), 0);
  paths.push_back(base / "pipe.gif");
  for (const char* device : {"/dev/zero", "/dev/urandom"}) {
    const fs::path link = base / (fs::path(device).filename().string() + ".gif");
    fs::create_symlink(device, link);
    paths.push_back(link);
  }
  fs::create_directory(base / "folder.gif");
  paths.push_back(base / "folder.gif");

  // Run on a worker so that a hang shows up as a failed wait, not as a stuck test.
  auto work = std::async(std::launch::async, [&] {
    std::vector<std::string> failures;
    for (const auto& path : paths) {
      image::AnimatedImage animation;
      if (auto loaded = animation.load(path); loaded || loaded.error().empty()) {
        failures.push_back("load " + path.string());
      }
      convert::PreviewPlayer player;
      if (player.load(path.string())) failures.push_back("player " + path.string());
      controls::AnimatedPicture table;
      if (table.load(path.string())) failures.push_back("frame table " + path.string());
      convert::OutputSettings options;
      options.outputFolder = base.string() + "/";
      const auto result = convert::convertFile(path.string(), options);
      if (result || result.error().reason.empty()) failures.push_back("convert " + path.string());
    }
    return failures;
  });
  ASSERT_EQ(work.wait_for(std::chrono::seconds(30)), std::future_status::ready)
      << "a reader waits on a pipe or reads a device without end";
  for (const auto& failure : work.get()) ADD_FAILURE() << failure << " was accepted";
}
