#pragma once

// Names and writes the files of a frame export: every frame of a GIF as one image file, in a
// folder named after the extension below "tolvane_brevanto/" in the output folder. The window's
// sequence commands and `brevanto-convert --export` both go through these functions, so the
// two name and write frames alike.

#include <array>
#include <string>
#include <string_view>

#include "util/Result.h"

namespace brevanto::image {
class RasterImage;
}

namespace brevanto::convert {

// One sequence command: its menu text and the extension it writes (with its dot).
struct ExportSequence {
  std::string_view menuText;
  std::string_view extension;
};

inline constexpr std::array<ExportSequence, 6> kExportSequences = {{
    {"Bmp Sequence", ".bmp"},
    {"Tga Sequence", ".tga"},
    {"Gif Sequence", ".gif"},
    {"Jpg Sequence", ".jpeg"},
    {"Png Sequence", ".png"},
    {"Tiff Sequence", ".tiff"},
}};

// The extension used when none is given.
inline constexpr std::string_view kDefaultExportExtension = ".bmp";

// outputFolder + "tolvane_brevanto/" + the extension without its dot + "/".
// An empty extension counts as ".bmp".
std::string exportFolderFor(const std::string& outputFolder, std::string_view extension);

// The file of frame `index` (from 0): the export folder, the source's file-name part (its own
// extension stays), the index as five zero-padded digits (more when needed), the extension.
// Example: "C:/out/", "/gifs/anim.gif", ".bmp", 12 -> "C:/out/tolvane_brevanto/bmp/anim.gif00012.bmp".
std::string exportFramePath(const std::string& outputFolder, const std::string& sourcePath, std::string_view extension,
                            int index);

// Writes frame `index` of sourcePath to its export file: creates the export folder (with its
// parents) when it is not there, then saves through the writer the extension selects, with the
// writers' default JPEG quality. Fails with "cannot write " and the file's path when the folder
// or the file could not be written.
util::Result<void> writeExportFrame(const image::RasterImage& frame, const std::string& outputFolder,
                                    const std::string& sourcePath, std::string_view extension, int index);

}  // namespace brevanto::convert
