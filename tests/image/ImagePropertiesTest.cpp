#include "image/ImageProperties.h"

#include <gtest/gtest.h>

#include "image/ImageCodecFactory.h"

namespace brevanto::image {
namespace {

TEST(ImageProperties, SetReplacesInPlaceAndAppendsNewKeys) {
  ImageProperties props;
  props.set(7, "a");
  props.set(3, "b");
  props.set(7, "c");
  ASSERT_EQ(props.size(), 2u);
  EXPECT_EQ(props.entries()[0], (ImageProperties::Entry{7, "c"}));
  EXPECT_EQ(props.entries()[1].first, 3);
  EXPECT_EQ(props.get(99), "");
}

TEST(ImageProperties, QualityTextRules) {
  struct Case {
    const char* text;
    int quality;
  };
  for (const Case c : {Case{"", 80}, Case{"-1", 80}, Case{"75", 75}, Case{"0", 1}, Case{"150", 100}, Case{"abc", 1},
                       Case{" 42x", 42}, Case{"100", 100}, Case{"-5", 1}, Case{"99999999999999999999", 100}}) {
    EXPECT_EQ(ImageProperties::qualityFromText(c.text), c.quality) << '"' << c.text << '"';
  }
  ImageProperties props;
  EXPECT_EQ(props.jpegQuality(), 80);
  props.set(static_cast<std::int32_t>(kJpegQualityItemId), "30");
  EXPECT_EQ(props.jpegQuality(), 30);  // fallback key
  props.set(ImageProperties::QualityKey, "55");
  EXPECT_EQ(props.jpegQuality(), 55);
}

PropertyItem item(std::uint32_t id, std::uint16_t type, std::vector<std::uint8_t> value) {
  return PropertyItem{id, type, std::move(value)};
}

TEST(ImageProperties, ReadsDecodedPropertyItems) {
  ImageProperties props;
  props.addPropertyItems({
      item(0x5101, PropertyItem::Short, {0xFF, 0xFF}), item(0x010F, PropertyItem::Ascii, {'C', 'a', 'm', 0, 'x'}),
      item(0x829A, PropertyItem::Rational, {1, 0, 0, 0, 60, 0, 0, 0}),
      item(0x9204, PropertyItem::SRational, {0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0}),
      item(0x1234, PropertyItem::Long, {1, 1, 0, 0}), item(0x5102, PropertyItem::Byte, {1, 2, 3}),  // ignored
      item(0x4321, PropertyItem::Short, {1, 2, 3, 4}),  // wrong length: ignored
  });
  EXPECT_FALSE(props.contains(ImageProperties::FrameDelaysKey));
  props.setFrameDelays(std::vector<std::int32_t>{10, 10, 50});
  EXPECT_EQ(props.frameDelaysMs(), (std::vector<std::uint64_t>{100, 100, 500}));
  EXPECT_TRUE(props.contains(ImageProperties::FrameDelaysKey));
  EXPECT_EQ(props.get(20737), "65535");
  EXPECT_EQ(props.get(0x010F), "Cam");
  EXPECT_EQ(props.get(0x829A), "1/60");
  EXPECT_EQ(props.get(0x9204), "-1/3");
  EXPECT_EQ(props.get(0x1234), "257");
  EXPECT_FALSE(props.contains(0x5102));
  EXPECT_FALSE(props.contains(0x4321));

  ImageProperties zero;
  zero.setFrameDelays(std::vector<std::int32_t>{0});
  zero.addPropertyItem(item(0x5101, PropertyItem::Short, {0, 0}));
  EXPECT_EQ(zero.frameDelaysMs(), (std::vector<std::uint64_t>{0}));
  EXPECT_EQ(zero.get(0x5101), "0");
}

TEST(ImageProperties, OnlyWhitelistedItemsAreWritten) {
  ImageProperties props;
  props.set(ImageProperties::QualityKey, "90");
  props.set(ImageProperties::FrameDelaysKey, std::string(16, '0'));
  props.set(0x5101, "0");
  props.set(0x0110, "Model");
  props.set(0x829D, "28/10");
  props.set(0x920A, "50");  // rational without "/": left out
  props.set(0x9204, "-2/3");
  props.set(0x8827, "400");
  const auto items = props.writablePropertyItems();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].id, 0x0110u);
  EXPECT_EQ(items[0].type, PropertyItem::Ascii);
  EXPECT_EQ(items[0].value, (std::vector<std::uint8_t>{'M', 'o', 'd', 'e', 'l', 0}));
  EXPECT_EQ(items[1].value, (std::vector<std::uint8_t>{28, 0, 0, 0, 10, 0, 0, 0}));
  EXPECT_EQ(items[2].type, PropertyItem::SRational);
  EXPECT_EQ(items[2].value, (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0}));
  EXPECT_EQ(items[3].value, (std::vector<std::uint8_t>{0x90, 0x01}));
}

TEST(ImageCodecFactory, FormatsFromPaths) {
  struct Case {
    const char* path;
    ImageFormat format;
  };
  for (const Case c :
       {Case{"/tmp/Anim.GIF", ImageFormat::Gif}, Case{"x.tar.gz", ImageFormat::Unknown},
        Case{"noextension", ImageFormat::Unknown}, Case{"/my.folder/file", ImageFormat::Unknown},
        Case{"a.jpeg", ImageFormat::Jpeg}, Case{"a.JPG", ImageFormat::Jpeg}, Case{"a.jpe", ImageFormat::Unknown},
        Case{"a.Tiff", ImageFormat::Tiff}, Case{"a.tif", ImageFormat::Tiff}, Case{"a.bmp", ImageFormat::Bmp},
        Case{"a.tga", ImageFormat::Tga}, Case{"a.png", ImageFormat::Png}, Case{"a.ico", ImageFormat::Ico},
        Case{"a.pcx", ImageFormat::Pcx}, Case{"a.psd", ImageFormat::Psd}, Case{"a.xpm", ImageFormat::Xpm},
        Case{"", ImageFormat::Unknown}, Case{"trailing.", ImageFormat::Unknown}}) {
    EXPECT_EQ(ImageCodecFactory::formatFromPath(std::string_view(c.path)), c.format) << c.path;
  }
  EXPECT_EQ(ImageCodecFactory::formatFromPath(std::filesystem::path("dir/Anim.GIF")), ImageFormat::Gif);
}

TEST(ImageCodecFactory, CodecsPerFormat) {
  for (ImageFormat f : {ImageFormat::Unknown, ImageFormat::Pcx, ImageFormat::Psd, ImageFormat::Xpm}) {
    EXPECT_EQ(ImageCodecFactory::createCodec(f), nullptr);
  }
  for (ImageFormat f : {ImageFormat::Bmp, ImageFormat::Jpeg, ImageFormat::Gif, ImageFormat::Tga, ImageFormat::Tiff,
                        ImageFormat::Png, ImageFormat::Ico}) {
    EXPECT_NE(ImageCodecFactory::createCodec(f), nullptr);
  }
}

}  // namespace
}  // namespace brevanto::image
