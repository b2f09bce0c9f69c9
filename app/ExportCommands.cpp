#include "app/ExportCommands.h"

#include <filesystem>

#include "app/FrameExportDialog.h"
#include "convert/OutputSettings.h"
#include "image/BicubicScaler.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"

namespace brevanto::app {

namespace {

void tell(const ExportContext& context, const QString& text, MessageIcon icon) {
  if (context.message) {
    context.message(text, icon);
  } else if (context.services.messages != nullptr) {
    context.services.messages->show(context.window, text, icon);
  }
}

}  // namespace

bool exportSequence(const ExportContext& context, std::string_view extension) {
  if (convert::outputFolderMissing(context.outputFolder)) {
    tell(context, QString::fromUtf8(kSelectDirectoryMessage), MessageIcon::None);
    return false;
  }
  if (context.currentFile.isEmpty()) {
    tell(context, QString::fromUtf8(kNoGifFilesMessage), MessageIcon::None);
    return false;
  }
  FrameExportDialog dialog(context.currentFile,
                           QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())),
                           context.outputFolder, context.services.shell, context.window);
  dialog.exec();
  return true;
}

QStringList singleImageFilters() {
  return {QStringLiteral("BMP File (*.bmp)"), QStringLiteral("GIF File (*.gif)"),
          QStringLiteral("JPEG File (*.jpg *.jpeg)"), QStringLiteral("PNG Files (*.png)"),
          QStringLiteral("TIFF Files (*.tif *.tiff)")};
}

QString filterExtension(int filterIndex) {
  switch (filterIndex) {
    case 2: return QStringLiteral("gif");
    case 3: return QStringLiteral("jpg");
    case 4: return QStringLiteral("png");
    case 5: return QStringLiteral("tif");
    default: return QStringLiteral("bmp");
  }
}

QString withFilterExtension(const QString& path, int filterIndex) {
  // Only the typed file name counts: a dot in a folder name (/home/ann.lee/, ~/.cache/)
  // does not give the file an extension.
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString name = path.mid(slash + 1);
  if (name.isEmpty() || name.contains(QLatin1Char('.'))) {
    return path;
  }
  return path + QLatin1Char('.') + filterExtension(filterIndex);
}

QString exportSingleImage(const ExportContext& context, const image::RasterImage* shownFrame, int width, int height) {
  if (context.currentFile.isEmpty()) {
    tell(context, QString::fromUtf8(kNoGifFilesMessage), MessageIcon::None);
    return {};
  }
  // Without a frame in the preview there is nothing to save: say so before asking for a name.
  if (shownFrame == nullptr || shownFrame->isEmpty()) {
    tell(context, QString::fromUtf8(kNoPreviewFrameMessage), MessageIcon::Information);
    return {};
  }
  if (context.services.dialogs == nullptr) {
    return {};
  }
  const SaveChoice choice = context.services.dialogs->saveFile(context.window, singleImageFilters());
  if (choice.path.isEmpty()) {
    return {};
  }
  const QString path = withFilterExtension(choice.path, choice.filterIndex);

  image::RasterImage copy(*shownFrame);
  image::scaleImage(copy, width, height);
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, "-1");
  if (!image::ImageCodecFactory::save(copy, std::filesystem::path(path.toStdString()), properties)) {
    tell(context, QString::fromUtf8(kImageNotWrittenMessage) + path, MessageIcon::Exclamation);
    return {};
  }
  return path;
}

}  // namespace brevanto::app
