// Every damaged or hostile GIF of the shared corpus, and every fuzz seed kind, through the
// whole conversion (headless converter) and the frame export: each file either converts into a
// movie or is reported with a reason; nothing crashes, nothing partial is left behind.
#include <gtest/gtest.h>

#include <string>

#include "ScratchFolders.h"
#include "convert/HeadlessConverter.h"
#include "image/platform/GifReader.h"

using namespace brevanto;
using namespace brevanto::hardening;

namespace {

std::vector<fs::path> malformedGifs() {
  std::vector<fs::path> files;
  const fs::path folder = fs::path(BREVANTO_TESTDATA) / "gif" / "malformed";
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(HostileCorpus, EveryMalformedGifConvertsOrIsReportedAndLeavesNothingPartial) {
  const auto files = malformedGifs();
  if (files.empty()) GTEST_SKIP() << "no shared test data";
  const fs::path out = makeScratchFolder("malformed-out");
  convert::OutputSettings options;
  options.outputFolder = out.string() + "/";
  std::set<std::string> expected;
  int converted = 0;
  for (const auto& file : files) {
    const auto result = convert::convertFile(file.string(), options);
    if (result) {
      ++converted;
      EXPECT_TRUE(fs::exists(result->moviePath)) << file;
      EXPECT_GT(fs::file_size(result->moviePath), 21u) << file;
      expected.insert(fs::path(result->moviePath).filename().string());
    } else {
      EXPECT_FALSE(result.error().reason.empty()) << file;
    }
  }
  // Only finished movies: no temporary or partial file.
  EXPECT_EQ(filesIn(out), expected);
  RecordProperty("converted", converted);
  fs::remove_all(out);
}

TEST(HostileCorpus, EveryMalformedGifExportsOrFailsCleanly) {
  const auto files = malformedGifs();
  if (files.empty()) GTEST_SKIP() << "no shared test data";
  const fs::path out = makeScratchFolder("malformed-export");
  for (const auto& file : files) {
    // Files claiming a canvas of many megapixels (accepted sizes) take seconds to encode as
    // pictures; the limit tests cover them.
    image::platform::GifLayout layout;
    if (image::platform::scanGifLayout(readFile(file), layout) &&
        std::int64_t{layout.canvasWidth} * layout.canvasHeight > 4'000'000) {
      continue;
    }
    for (const char* ext : {".bmp", ".png"}) {
      const auto result = convert::exportFrames(file.string(), out.string() + "/", ext);
      if (!result) {
        EXPECT_FALSE(result.error().reason.empty()) << file << ext;
      }
    }
  }
  // No partial picture anywhere below the export folders.
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
  fs::remove_all(out);
}
