// The long run: Convert All through the engine (the real player, playback thread and capture)
// over a long list of GIFs. Run by scripts/longrun.sh, which names the list and the output
// folder in BREVANTO_LONGRUN_LIST and BREVANTO_LONGRUN_OUT; skipped otherwise.
//
// Writes BREVANTO_LONGRUN_OUT/longrun-report.tsv: per file its index, path, peak and current
// resident memory (KiB) while it was converted, and the problem reported for it, if any.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Resources.h"
#include "image/GifIndex.h"
#include "tests/support/Files.h"
#include "tests/support/WindowStandIn.h"

using namespace brevanto;
using namespace brevanto::hardening;
using namespace brevanto::testing;

TEST(LongRun, ConvertAllOverAListOfGifs) {
  const char* listFile = std::getenv("BREVANTO_LONGRUN_LIST");
  const char* outFolder = std::getenv("BREVANTO_LONGRUN_OUT");
  if (!listFile || !outFolder) GTEST_SKIP() << "run by scripts/longrun.sh";

  RunHarness driver(std::string(outFolder) + "/");
  driver.settings.jpegQuality = 100;
  std::ifstream list(listFile);
  for (std::string path; std::getline(list, path);) {
    if (path.empty()) continue;
    // The batch list's Dimension: the size the decoder composes the frames at.
    const std::vector<std::uint8_t> data = readFile(path);
    const image::GifIndex index = image::indexGif(data, image::GifRules::Decoder);
    driver.list.add(path, index.canvasWidth, index.canvasHeight);
  }
  ASSERT_GT(driver.list.itemCount(), 0);

  struct FileFigures {
    std::int64_t peakKib = 0;
    std::int64_t currentKib = 0;
  };
  std::vector<FileFigures> figures(static_cast<std::size_t>(driver.list.itemCount()));
  int lastIndex = -1;
  resetPeakRss();
  driver.window.perform(driver.run.convertAll());
  const bool ended = driver.window.run(
      [&] {
        const int index = driver.run.runIndex();
        if (index != lastIndex) {
          // The file before has been finished and its capture folder emptied.
          if (lastIndex >= 0) {
            figures[static_cast<std::size_t>(lastIndex)] = {peakRssKib(), currentRssKib()};
          }
          resetPeakRss();
          lastIndex = index;
        }
        return false;
      },
      std::chrono::hours(6));
  if (lastIndex >= 0) figures[static_cast<std::size_t>(lastIndex)] = {peakRssKib(), currentRssKib()};

  EXPECT_TRUE(ended);
  EXPECT_EQ(driver.window.openedFolders.size(), 1u);
  std::ofstream report(std::string(outFolder) + "/longrun-report.tsv");
  report << "index\tfile\tpeak_kib\trss_kib\tproblem\n";
  for (int i = 0; i < driver.list.itemCount(); ++i) {
    const std::string& path = driver.list.items[static_cast<std::size_t>(i)].filePath;
    std::string problem;
    for (const auto& p : driver.window.problems) {
      if (p.rfind(path + ":", 0) == 0) problem = p.substr(path.size() + 2);
    }
    report << i << '\t' << path << '\t' << figures[static_cast<std::size_t>(i)].peakKib << '\t'
           << figures[static_cast<std::size_t>(i)].currentKib << '\t' << problem << '\n';
  }
  EXPECT_TRUE(filesIn(std::string(outFolder) + "/tolvane_brevanto/Temp").empty()) << "capture files were left behind";
}
