// The DDS reader over arbitrary bytes, and the mip chain of what it decodes.
#include <cstddef>
#include <cstdint>

#include "d3dutil/image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  halvex::Image image;
  if (halvex::DecodeDds(data, size, image) && image.width * image.height <= 4096) {
    while (image.width > 1 || image.height > 1) image = halvex::HalveImage(image);
  }
  return 0;
}
