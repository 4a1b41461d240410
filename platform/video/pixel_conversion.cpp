#include "platform/video/pixel_conversion.h"

#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/scale.h>
#include <libyuv/scale_argb.h>

#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillory {
namespace {

std::optional<ConversionError> failure(std::string message) {
    return ConversionError{std::move(message)};
}

std::optional<ConversionError> libyuvResult(int result, const char* step) {
    if (result != 0) {
        return failure(std::string(step) + " failed in libyuv (" + std::to_string(result) + ").");
    }
    return std::nullopt;
}

std::size_t bytes(int stride, int height) {
    return static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
}

// libyuv's "ARGB" is blue, green, red, alpha in memory: the least-significant-first layout.
// The other order is brought to it row by row into scratch memory.
const std::uint8_t* leastSignificantFirst(const BgrxImage& source,
                                          std::vector<std::uint8_t>& scratch, int& stride) {
    if (source.byteOrder == BgrxByteOrder::leastSignificantFirst) {
        stride = source.stride;
        return source.data;
    }
    stride = source.width * 4;
    scratch.resize(bytes(stride, source.height));
    libyuv::BGRAToARGB(source.data, source.stride, scratch.data(), stride, source.width,
                       source.height);
    return scratch.data();
}

// Two thirds across and down, as from 1080p to 720p. libyuv's box filter turns to bilinear
// sampling above half size, which aliases text more than averaging the 1.5×1.5 source pixels
// under each target pixel, and it is slow at this ratio. Three source samples give two target
// samples with weights 2:1 and 1:2: down into 16-bit sums first, then across, over nine.

void weighRows(const std::uint8_t* top, const std::uint8_t* middle, const std::uint8_t* bottom,
               int samples, std::uint16_t* upper, std::uint16_t* lower) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const auto weigh = [&](const std::uint8_t* outerRow, std::uint16_t* to) {
        const __m128i outer = _mm_loadu_si128(reinterpret_cast<const __m128i*>(outerRow + x));
        const __m128i inner = _mm_loadu_si128(reinterpret_cast<const __m128i*>(middle + x));
        const __m128i outerLow = _mm_unpacklo_epi8(outer, zero);
        const __m128i outerHigh = _mm_unpackhi_epi8(outer, zero);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(to + x),
            _mm_add_epi16(_mm_add_epi16(outerLow, outerLow), _mm_unpacklo_epi8(inner, zero)));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(to + x + 8),
            _mm_add_epi16(_mm_add_epi16(outerHigh, outerHigh), _mm_unpackhi_epi8(inner, zero)));
    };
    for (; x + 16 <= samples; x += 16) {
        weigh(top, upper);
        weigh(bottom, lower);
    }
#endif
    for (; x < samples; ++x) {
        upper[x] = static_cast<std::uint16_t>(2 * top[x] + middle[x]);
        lower[x] = static_cast<std::uint16_t>(2 * bottom[x] + middle[x]);
    }
}

// 7282 / 65536 is close enough to 1/9 to round every sum of nine samples right.
std::uint8_t ninth(int sum) {
    return static_cast<std::uint8_t>((sum + 4) * 7282 >> 16);
}

// Luma steps read one sum past the last they use: `sums` needs a spare one at its end.
template <int channels>
void averageColumns(const std::uint16_t* sums, std::uint8_t* row, int samples) {
    int o = 0;
#if defined(__SSE2__)
    // Each step spreads three pixels' samples into pairs that one multiply-add weighs and sums.
    const __m128i weights = channels == 1 ? _mm_setr_epi16(2, 1, 1, 2, 2, 1, 1, 2)
                                          : _mm_setr_epi16(2, 1, 2, 1, 1, 2, 1, 2);
    const auto four = [&](const std::uint16_t* from) {
        const __m128i halves = _mm_unpacklo_epi64(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from)),
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + (channels == 1 ? 3 : 2))));
        constexpr int order = channels == 1 ? _MM_SHUFFLE(2, 1, 1, 0) : _MM_SHUFFLE(3, 1, 2, 0);
        return _mm_madd_epi16(_mm_shufflehi_epi16(_mm_shufflelo_epi16(halves, order), order),
                              weights);
    };
    const __m128i rounding = _mm_set1_epi16(4);
    const __m128i reciprocal = _mm_set1_epi16(7282);
    const auto eight = [&](const std::uint16_t* from) {
        const __m128i summed = _mm_packs_epi32(four(from), four(from + 6));
        return _mm_mulhi_epu16(_mm_add_epi16(summed, rounding), reciprocal);
    };
    for (; o + 16 <= samples; o += 16) {
        const std::uint16_t* from = sums + o / 2 * 3;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + o),
                         _mm_packus_epi16(eight(from), eight(from + 12)));
    }
#endif
    for (; o < samples; o += 2 * channels) {
        for (int c = 0; c < channels; ++c) {
            const std::uint16_t* from = sums + o / 2 * 3 + c;
            row[o + c] = ninth(2 * from[0] + from[channels]);
            row[o + c + channels] = ninth(from[channels] + 2 * from[2 * channels]);
        }
    }
}

template <int channels>
void scaleTwoThirds(const std::uint8_t* source, int sourceStride, std::uint8_t* target,
                    int targetStride, int samples, int rows) {
    const int sourceSamples = samples / 2 * 3;
    constexpr int overrun = 8;
    thread_local std::vector<std::uint16_t> sums;
    sums.resize(2 * static_cast<std::size_t>(sourceSamples + overrun));
    std::uint16_t* upper = sums.data();
    std::uint16_t* lower = upper + sourceSamples + overrun;
    for (int y = 0; y < rows; y += 2) {
        const std::uint8_t* top = source + bytes(sourceStride, y / 2 * 3);
        weighRows(top, top + sourceStride, top + 2 * sourceStride, sourceSamples, upper, lower);
        averageColumns<channels>(upper, target + bytes(targetStride, y), samples);
        averageColumns<channels>(lower, target + bytes(targetStride, y + 1), samples);
    }
}

}  // namespace

std::optional<ConversionError> convertBgrxToNv12(const BgrxImage& source, PixelBuffer& target) {
    if (source.data == nullptr || source.width < 2 || source.height < 2 ||
        source.stride < source.width * 4) {
        return failure("The BGRX image has no pixels, is smaller than 2×2 or its stride is short.");
    }
    if (source.width == target.width() && source.height == target.height()) {
        return convertBgrxToNv12At(source, target, 0, 0);
    }
    std::vector<std::uint8_t> ordered;
    int stride = 0;
    const std::uint8_t* pixels = leastSignificantFirst(source, ordered, stride);
    // libyuv converts and scales in separate passes; scaling the 32-bit image first keeps the
    // chroma box-filtered, which its NV12 scaler does not do. The scratch stays with the thread,
    // so that a capture does not fault in megabytes of fresh memory for every frame.
    const int scaledStride = target.width() * 4;
    thread_local std::vector<std::uint8_t> scaled;
    scaled.resize(bytes(scaledStride, target.height()));
    if (auto error = libyuvResult(
            libyuv::ARGBScale(pixels, stride, source.width, source.height, scaled.data(),
                              scaledStride, target.width(), target.height(), libyuv::kFilterBox),
            "BGRX scaling")) {
        return error;
    }
    return libyuvResult(
        libyuv::ARGBToNV12(scaled.data(), scaledStride, target.dataY(), target.strideY(),
                           target.dataUV(), target.strideUV(), target.width(), target.height()),
        "BGRX to NV12");
}

std::optional<ConversionError> convertBgrxToNv12At(const BgrxImage& source, PixelBuffer& target,
                                                   int x, int y) {
    if (source.data == nullptr || source.width < 2 || source.height < 2 ||
        source.stride < source.width * 4 || source.width % 2 != 0 || source.height % 2 != 0 ||
        x < 0 || y < 0 || x % 2 != 0 || y % 2 != 0 || x > target.width() - source.width ||
        y > target.height() - source.height) {
        return failure("The BGRX part " + std::to_string(source.width) + "×" +
                       std::to_string(source.height) + " at " + std::to_string(x) + "," +
                       std::to_string(y) + " is odd, empty or outside the " +
                       std::to_string(target.width()) + "×" + std::to_string(target.height()) +
                       " picture.");
    }
    std::vector<std::uint8_t> ordered;
    int stride = 0;
    const std::uint8_t* pixels = leastSignificantFirst(source, ordered, stride);
    return libyuvResult(
        libyuv::ARGBToNV12(pixels, stride, target.dataY() + bytes(target.strideY(), y) + x,
                           target.strideY(), target.dataUV() + bytes(target.strideUV(), y / 2) + x,
                           target.strideUV(), source.width, source.height),
        "BGRX to NV12");
}

void copyNv12Outside(const PixelBuffer& source, const PixelRect& keep, PixelBuffer& target) {
    // Rows are copied whole outside the kept band, and beside the kept part within it; luma rows
    // and chroma rows (half as many) alike.
    const auto copyPlane = [&](const std::uint8_t* from, int fromStride, std::uint8_t* to,
                               int toStride, int rows, int top, int bottom) {
        const std::size_t row = static_cast<std::size_t>(source.width());
        for (int y = 0; y < rows; ++y) {
            const std::uint8_t* in = from + bytes(fromStride, y);
            std::uint8_t* out = to + bytes(toStride, y);
            if (y < top || y >= bottom) {
                std::memcpy(out, in, row);
                continue;
            }
            std::memcpy(out, in, static_cast<std::size_t>(keep.x));
            const int right = keep.x + keep.width;
            std::memcpy(out + right, in + right, row - static_cast<std::size_t>(right));
        }
    };
    copyPlane(source.dataY(), source.strideY(), target.dataY(), target.strideY(), source.height(),
              keep.y, keep.y + keep.height);
    copyPlane(source.dataUV(), source.strideUV(), target.dataUV(), target.strideUV(),
              source.height() / 2, keep.y / 2, (keep.y + keep.height) / 2);
}

std::optional<ConversionError> scaleNv12(const PixelBuffer& source, PixelBuffer& target) {
    return cropAndScaleNv12(source, PixelRect{0, 0, source.width(), source.height()}, target);
}

std::optional<ConversionError> cropAndScaleNv12(const PixelBuffer& source, const PixelRect& crop,
                                                PixelBuffer& target) {
    const bool inside = crop.x >= 0 && crop.y >= 0 && crop.width > 0 && crop.height > 0 &&
                        crop.x <= source.width() - crop.width &&
                        crop.y <= source.height() - crop.height;
    const bool even =
        crop.x % 2 == 0 && crop.y % 2 == 0 && crop.width % 2 == 0 && crop.height % 2 == 0;
    if (!inside || !even) {
        return failure("The crop rectangle " + std::to_string(crop.width) + "×" +
                       std::to_string(crop.height) + " at " + std::to_string(crop.x) + "," +
                       std::to_string(crop.y) + " is odd or outside the " +
                       std::to_string(source.width()) + "×" + std::to_string(source.height()) +
                       " picture.");
    }
    const std::uint8_t* y = source.dataY() + bytes(source.strideY(), crop.y) + crop.x;
    const std::uint8_t* uv = source.dataUV() + bytes(source.strideUV(), crop.y / 2) + crop.x;
    // Both sizes even, so a target edge at two thirds of the crop's is a multiple of four, and
    // the chroma planes keep the ratio too.
    if (crop.width * 2 == target.width() * 3 && crop.height * 2 == target.height() * 3) {
        scaleTwoThirds<1>(y, source.strideY(), target.dataY(), target.strideY(), target.width(),
                          target.height());
        scaleTwoThirds<2>(uv, source.strideUV(), target.dataUV(), target.strideUV(), target.width(),
                          target.height() / 2);
        return std::nullopt;
    }
    return libyuvResult(
        libyuv::NV12Scale(y, source.strideY(), uv, source.strideUV(), crop.width, crop.height,
                          target.dataY(), target.strideY(), target.dataUV(), target.strideUV(),
                          target.width(), target.height(), libyuv::kFilterBox),
        "NV12 scaling");
}

I420Image convertNv12ToI420(const PixelBuffer& source) {
    I420Image image;
    image.width = source.width();
    image.height = source.height();
    const int half = source.width() / 2;
    image.y.resize(bytes(source.width(), source.height()));
    image.u.resize(bytes(half, source.height() / 2));
    image.v.resize(image.u.size());
    libyuv::NV12ToI420(source.dataY(), source.strideY(), source.dataUV(), source.strideUV(),
                       image.y.data(), source.width(), image.u.data(), half, image.v.data(), half,
                       source.width(), source.height());
    return image;
}

}  // namespace quillory
