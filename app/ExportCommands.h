#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <string_view>

#include "app/Platform.h"

class QWidget;

namespace brevanto::image {
class RasterImage;
}

namespace brevanto::app {

// The commands of the list's "Export" submenu: the six frame sequences and Single Image.
// The window hands over what they need; messages, dialogs and the shell go through its
// services.
struct ExportContext {
  QWidget* window = nullptr;
  Services services;
  // Shows a message box; when empty, services.messages is used.
  std::function<void(const QString& text, MessageIcon icon)> message;
  std::string outputFolder;  // "/"-separated, ending in "/"
  QString currentFile;       // the current row's GIF; empty when there is none
};

inline constexpr const char* kSelectDirectoryMessage = "Please select the directory for converted files";
inline constexpr const char* kNoGifFilesMessage = "No gif files!";
inline constexpr const char* kNoPreviewFrameMessage =
    "The preview shows no frame to export yet.\nPress Play to show the GIF, then try again.";
inline constexpr const char* kImageNotWrittenMessage = "Unable to write the image file:\n\n";

// A sequence export: checks the output folder and the current file (with their messages),
// then runs the modal FrameExportDialog for `extension` (".bmp", ".tga", ... with the dot).
// Returns whether the dialog ran.
bool exportSequence(const ExportContext& context, std::string_view extension);

// The save dialog's filters, in order: BMP, GIF, JPEG, PNG, TIFF.
QStringList singleImageFilters();
// The extension (without dot) that filter `filterIndex` (1-based) adds to a typed name.
QString filterExtension(int filterIndex);
// Adds "." and the chosen filter's extension when the typed file name has no dot.
QString withFilterExtension(const QString& path, int filterIndex);

// Single Image: saves `shownFrame` (the frame the preview shows; null or empty when it shows
// none) resized to width x height with the high-quality bicubic filter, under a name chosen in
// the save dialog; JPEG files get the writer's default quality. Returns the path written, or
// an empty text when nothing was written (no current file, no frame, cancelled, write failed).
QString exportSingleImage(const ExportContext& context, const image::RasterImage* shownFrame, int width, int height);

}  // namespace brevanto::app
