#include "image/BicubicScaler.h"

namespace brevanto::image {

bool scaleImage(RasterImage&, std::int32_t, std::int32_t, std::int32_t) { return false; }
bool resampleBicubic(const RasterImage&, std::int32_t, std::int32_t, std::int32_t, std::int32_t, RasterImage&) {
  return false;
}

}  // namespace brevanto::image
