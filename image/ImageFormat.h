#pragma once

namespace brevanto::image {

// Image file formats, keyed by file-name extension in ImageCodecFactory. The numeric ids are
// part of the program's behaviour (they select codecs and MIME types) and must not change.
enum class ImageFormat : int {
  Unknown = 0,  // no extension or an unknown one
  Bmp = 1,
  Pcx = 2,
  Jpeg = 3,
  Gif = 4,
  Tga = 5,
  Tiff = 6,
  Png = 7,
  Psd = 8,
  Ico = 9,
  Xpm = 10,
};

}  // namespace brevanto::image
