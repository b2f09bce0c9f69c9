#include <gtest/gtest.h>

#include <climits>

#include "convert/FrameExport.h"
#include "convert/OutputSettings.h"
#include "util/Integer.h"

namespace brevanto::convert {
namespace {

TEST(OutputSettings, IntegerBoxesAcceptSignedDecimalsWithBlanksAndClamp) {
  const std::pair<const char*, std::int32_t> accepted[] = {
      {"0", 0},
      {"00", 0},
      {"0 \t", 0},
      {"42", 42},
      {" \t-17\t ", -17},
      {"+5", 5},
      {"007", 7},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"99999999999999999999999", INT_MAX},
      // Only the first 31 characters are read, so what follows them does not matter.
      {"1                              x", 1},
  };
  for (const auto& [text, value] : accepted) {
    const auto parsed = util::parseInteger(text, util::IntegerSyntax::NumberBox);
    ASSERT_TRUE(parsed.has_value()) << '"' << text << '"';
    EXPECT_EQ(*parsed, value) << '"' << text << '"';
  }
  const char* rejected[] = {"",    "   ", "-0",   "+0",  " 0",  "\t00", "-",    "+",
                            "12a", "1 2", "0x10", "1.5", "--1", "five", "1,000"};
  for (const char* text : rejected) {
    EXPECT_FALSE(util::parseInteger(text, util::IntegerSyntax::NumberBox).has_value()) << '"' << text << '"';
  }
}

TEST(OutputSettings, OptionValuesTakeOnlyAMinusAndDigits) {
  using util::IntegerSyntax;
  EXPECT_EQ(util::parseInteger("-12", IntegerSyntax::Strict), -12);
  EXPECT_EQ(util::parseInteger("99999999999", IntegerSyntax::Strict), INT_MAX);  // a range check refuses it
  for (const char* text : {"", "+5", " 5", "5 ", "-", "5x", "0x10"}) {
    EXPECT_FALSE(util::parseInteger(text, IntegerSyntax::Strict).has_value()) << '"' << text << '"';
  }
}

TEST(OutputSettings, ReadingStopsAtTheFirstBoxWithoutAnInteger) {
  OutputSettings settings;
  settings.sizeMode = SizeMode::Triple;
  EXPECT_EQ(settings.readFields("320", "x", SizeMode::Custom, "25", "80"), SettingsField::OutputHeight);
  EXPECT_EQ(settings.outputWidth, 320);
  EXPECT_EQ(settings.outputHeight, 0);
  EXPECT_EQ(settings.sizeMode, SizeMode::Triple);
  EXPECT_EQ(settings.frameRate, 10);

  EXPECT_EQ(settings.readFields("320", "240", SizeMode::Custom, "25", "-0"), SettingsField::JpegQuality);
  EXPECT_EQ(settings.sizeMode, SizeMode::Custom);
  EXPECT_EQ(settings.frameRate, 25);
  EXPECT_EQ(settings.jpegQuality, 100);

  // No range is enforced at entry.
  EXPECT_EQ(settings.readFields("-3", "0", SizeMode::Custom, "256", "500"), std::nullopt);
  EXPECT_EQ(settings.outputWidth, -3);
  EXPECT_EQ(settings.frameRate, 256);
  EXPECT_EQ(settings.jpegQuality, 500);
}

TEST(OutputSettings, SizeModesApplyToTheSourceSize) {
  OutputSettings settings;
  EXPECT_FALSE(settings.applySizeMode(SizeMode::Half, 101, 75));
  EXPECT_EQ(std::pair(settings.outputWidth, settings.outputHeight), std::pair(50, 37));
  settings.applySizeMode(SizeMode::Double, 101, 75);
  EXPECT_EQ(std::pair(settings.outputWidth, settings.outputHeight), std::pair(202, 150));
  settings.applySizeMode(SizeMode::Triple, 101, 75);
  EXPECT_EQ(std::pair(settings.outputWidth, settings.outputHeight), std::pair(303, 225));
  EXPECT_TRUE(settings.applySizeMode(SizeMode::Custom, 1, 1));
  EXPECT_EQ(std::pair(settings.outputWidth, settings.outputHeight), std::pair(303, 225));
  EXPECT_EQ(settings.sizeMode, SizeMode::Custom);

  // Before any row was made current the source size is 0 x 0.
  settings.applySizeMode(SizeMode::Original, 0, 0);
  EXPECT_EQ(std::pair(settings.outputWidth, settings.outputHeight), std::pair(0, 0));

  settings.sizeMode = SizeMode::Custom;
  settings.resetToSource(64, 48);
  EXPECT_EQ(settings.sizeMode, SizeMode::Original);
  EXPECT_EQ(std::pair(settings.outputWidth, settings.outputHeight), std::pair(64, 48));

  // Custom gives the custom size whatever the source; the product of a preset is clamped.
  EXPECT_EQ(stageSizeFor(SizeMode::Custom, {5, 5}, {320, 200}), (PixelSize{320, 200}));
  EXPECT_EQ(stageSizeFor(SizeMode::Triple, {1 << 30, 2}, {}), (PixelSize{INT_MAX, 6}));
}

TEST(OutputSettings, PickedFolderEndsInSeparatorAndCancelEmptiesIt) {
  EXPECT_EQ(outputFolderFromPicked("/home/user/gifs"), "/home/user/gifs/");
  EXPECT_EQ(outputFolderFromPicked("/"), "/");
  EXPECT_EQ(outputFolderFromPicked(""), "");
  EXPECT_TRUE(outputFolderMissing(""));
  EXPECT_TRUE(outputFolderMissing("/"));
  EXPECT_FALSE(outputFolderMissing("a/"));
}

TEST(FrameExport, FilesAreNamedAfterTheSourceWithItsExtensionAndFiveDigits) {
  EXPECT_EQ(exportFramePath("C:/out/", "/gifs/anim.gif", ".bmp", 0), "C:/out/tolvane_brevanto/bmp/anim.gif00000.bmp");
  EXPECT_EQ(exportFramePath("C:/out/", "/gifs/anim.gif", ".bmp", 12), "C:/out/tolvane_brevanto/bmp/anim.gif00012.bmp");
  EXPECT_EQ(exportFramePath("/o/", "anim.gif", ".jpeg", 0), "/o/tolvane_brevanto/jpeg/anim.gif00000.jpeg");
  EXPECT_EQ(exportFramePath("/o/", "a.gif", ".tiff", 123456), "/o/tolvane_brevanto/tiff/a.gif123456.tiff");
  EXPECT_EQ(exportFolderFor("/o/", ""), "/o/tolvane_brevanto/bmp/");
  EXPECT_EQ(exportFramePath("/o/", "a.gif", "", 1), "/o/tolvane_brevanto/bmp/a.gif00001.bmp");
}

}  // namespace
}  // namespace brevanto::convert
