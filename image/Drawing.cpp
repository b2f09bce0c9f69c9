#include "image/Drawing.h"

namespace brevanto::image {

void drawToDevice(const RasterImage&, const DrawTarget&, const Rect&, const Rect&) {}
void drawToDevice(const RasterImage&, RasterImage&, const Rect&, const Rect&) {}

}  // namespace brevanto::image
