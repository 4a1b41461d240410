#include "tests/support/jpeg_shot.h"

#include <png.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>

namespace quillory::testing {

bool writeJPEGAsPNG(const std::vector<std::uint8_t>& jpeg, const std::filesystem::path& path) {
    tjhandle decoder = tjInitDecompress();
    if (!decoder) {
        return false;
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    std::vector<std::uint8_t> rgb;
    const bool decoded =
        tjDecompressHeader3(decoder, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width,
                            &height, &subsampling, &colourspace) == 0 &&
        (rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3),
         tjDecompress2(decoder, jpeg.data(), static_cast<unsigned long>(jpeg.size()), rgb.data(),
                       width, 0, height, TJPF_RGB, 0) == 0);
    tjDestroy(decoder);
    if (!decoded) {
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

std::filesystem::path shotsFolder() {
    const char* shots = std::getenv("QUILLORY_SHOTS_DIR");
    const std::filesystem::path folder =
        shots && *shots ? std::filesystem::path(shots) : std::filesystem::temp_directory_path();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace quillory::testing
