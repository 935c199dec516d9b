// placeholder: the reader is being written
#include "platform/images/disc_image.h"

namespace ckvd::images {

LoadResult load_toc(const std::string& path) {
    return load_failure(path, 0, "this image format cannot be read yet");
}

} // namespace ckvd::images
