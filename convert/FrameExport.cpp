#include "convert/FrameExport.h"

#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"
#include "util/FileSystem.h"

namespace brevanto::convert {

namespace {

std::string_view orDefault(std::string_view extension) {
  return extension.empty() ? kDefaultExportExtension : extension;
}

}  // namespace

std::string exportFolderFor(const std::string& outputFolder, std::string_view extension) {
  extension = orDefault(extension);
  if (extension.front() == '.') extension.remove_prefix(1);
  std::string folder = outputFolder;
  folder += "tolvane_brevanto/";
  folder += extension;
  folder += '/';
  return folder;
}

std::string exportFramePath(const std::string& outputFolder, const std::string& sourcePath, std::string_view extension,
                            int index) {
  std::string path = exportFolderFor(outputFolder, extension);
  path += util::fileNamePart(sourcePath);
  path += util::zeroPadded(index, 5);
  path += orDefault(extension);
  return path;
}

util::Result<void> writeExportFrame(const image::RasterImage& frame, const std::string& outputFolder,
                                    const std::string& sourcePath, std::string_view extension, int index) {
  const std::string folder = exportFolderFor(outputFolder, extension);
  if (!util::isDirectory(folder)) util::createDirectoryChain(folder);
  // "-1" asks the JPEG writer for its default quality.
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, "-1");
  const std::string path = exportFramePath(outputFolder, sourcePath, extension, index);
  if (!image::ImageCodecFactory::save(frame, path, properties)) return util::fail("cannot write " + path);
  return {};
}

}  // namespace brevanto::convert
