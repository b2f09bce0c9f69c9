// Every damaged or hostile GIF of the shared corpus, and every fuzz seed kind, through the
// whole conversion (headless converter) and the frame export: each file either converts into a
// movie or is reported with a reason; nothing crashes, nothing partial is left behind.
#include <gtest/gtest.h>

#include <string>

#include "convert/HeadlessConverter.h"
#include "image/GifIndex.h"
#include "tests/support/Files.h"

using namespace brevanto;
using namespace brevanto::testing;

TEST(HostileCorpus, EveryMalformedGifConvertsOrIsReportedAndLeavesNothingPartial) {
  const auto files = sampleFiles("gif/malformed");
  if (files.empty()) GTEST_SKIP() << "no shared test data";
  ScratchFolder out;
  convert::OutputSettings options;
  options.outputFolder = out.folder("movies");
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
  EXPECT_EQ(filesIn(out / "movies"), expected);
  RecordProperty("converted", converted);
}

TEST(HostileCorpus, EveryMalformedGifExportsOrFailsCleanly) {
  const auto files = sampleFiles("gif/malformed");
  if (files.empty()) GTEST_SKIP() << "no shared test data";
  ScratchFolder out;
  for (const auto& file : files) {
    // Files claiming a canvas of many megapixels (accepted sizes) take seconds to encode as
    // pictures; the limit tests cover them.
    const image::GifIndex index = image::indexGif(readFile(file), image::GifRules::Decoder);
    if (std::int64_t{index.canvasWidth} * index.canvasHeight > 4'000'000) {
      continue;
    }
    for (const char* ext : {".bmp", ".png"}) {
      const auto result = convert::exportFrames(file.string(), out.path().string() + "/", ext);
      if (!result) {
        EXPECT_FALSE(result.error().reason.empty()) << file << ext;
      }
    }
  }
  // No partial picture anywhere below the export folders.
  for (const auto& entry : fs::recursive_directory_iterator(out.path())) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}
