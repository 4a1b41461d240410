#include "media/studio_source_size.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quillory {

namespace {

constexpr int maximumEdge = 8192;
constexpr int smallEdge = 256;
constexpr int stepsPerRun = 16;
constexpr double thinningRatio = 0.9;

int clampedEdge(int edge) {
    if (edge >= maximumEdge) {
        return maximumEdge;
    }
    return std::max(edge, 2) & ~1;
}

// Even request edge for a scale, never above the source edge.
int requestEdge(double scale, int sourceEdge) {
    auto n = static_cast<std::int64_t>(std::ceil(scale * static_cast<double>(sourceEdge))) + 1;
    n = std::max<std::int64_t>(n, 2) & ~std::int64_t{1};
    return static_cast<int>(std::min<std::int64_t>(n, sourceEdge));
}

// Truncates toward zero like the source's own conversion, without overflowing on wide aspects.
std::int64_t boundedEdge(float value, std::int64_t limit) {
    if (!(value < static_cast<float>(limit))) {
        return limit;
    }
    return std::max<std::int64_t>(static_cast<std::int64_t>(value), 0);
}

}  // namespace

std::int64_t alignedEdge(std::int64_t edge, std::int64_t limit, std::int64_t numerator) {
    const std::int64_t step = 2 * numerator;
    const std::int64_t up = ((edge + step - 1) / step) * step;
    return limit >= up ? up : (limit / step) * step;
}

namespace {

// The aligned box of the request's aspect inside the source and the fraction it is scaled by.
struct FitBox {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t numerator = 1;
    std::int64_t denominator = 1;
};

FitBox fitBox(int sourceWidth, int sourceHeight, int requestWidth, int requestHeight) {
    const std::int64_t w = sourceWidth;
    const std::int64_t h = sourceHeight;
    const std::int64_t rw = std::max(requestWidth, 1);
    const std::int64_t rh = std::max(requestHeight, 1);

    // The largest box of the request's aspect inside the source, in the source's single precision.
    const float aspect = static_cast<float>(rw) / static_cast<float>(rh);
    const std::int64_t fw = boundedEdge(aspect * static_cast<float>(h), w);
    const std::int64_t fh = boundedEdge(static_cast<float>(w) / aspect, h);

    const std::int64_t boxPixels = fw * fh;
    const std::int64_t requestPixels = rw * rh;
    std::int64_t num = 1;
    std::int64_t den = 1;
    if (requestPixels < boxPixels) {
        const std::int64_t start = (fw % 9 == 0 && fh % 9 == 0)   ? 36
                                   : (fw % 3 == 0 && fh % 3 == 0) ? 6
                                                                  : 1;
        num = start;
        den = start;
        // Scale by 2/3 and 3/4 steps until the scaled box fits in the request's pixels.
        while (requestPixels < (boxPixels * den * den) / (num * num)) {
            if (den % 3 == 0 && num % 2 == 0) {
                num /= 2;
                den /= 3;
            } else {
                num *= 4;
                den *= 3;
            }
        }
    }
    const std::int64_t g = std::gcd(num, den);
    const std::int64_t n = num / g;
    return FitBox{
        .width = alignedEdge(fw, w, n),
        .height = alignedEdge(fh, h, n),
        .numerator = n,
        .denominator = den / g,
    };
}

}  // namespace

StudioSourceSize StudioSourceSize::fitted(int sourceWidth, int sourceHeight, int requestWidth,
                                          int requestHeight) {
    const FitBox box = fitBox(sourceWidth, sourceHeight, requestWidth, requestHeight);
    return StudioSourceSize{
        .width = static_cast<int>((box.width / box.numerator) * box.denominator),
        .height = static_cast<int>((box.height / box.numerator) * box.denominator),
        .requestWidth = requestWidth,
        .requestHeight = requestHeight,
    };
}

StudioSourceCrop StudioSourceSize::cropBox(int sourceWidth, int sourceHeight, int requestWidth,
                                           int requestHeight) {
    const FitBox box = fitBox(sourceWidth, sourceHeight, requestWidth, requestHeight);
    const auto width = static_cast<int>(box.width);
    const auto height = static_cast<int>(box.height);
    return StudioSourceCrop{
        .x = ((sourceWidth - width) / 2) & ~1,
        .y = ((sourceHeight - height) / 2) & ~1,
        .width = width,
        .height = height,
    };
}

std::vector<StudioSourceSize> StudioSourceSize::ladder(int width, int height,
                                                       std::int64_t pixelLimit) {
    const int w = clampedEdge(width);
    const int h = clampedEdge(height);

    std::vector<StudioSourceSize> collected;
    for (const double startScale : {1.0, 2.0 / 3.0, 4.0 / 9.0}) {
        double scale = startScale;
        for (int k = 0; k < stepsPerRun; ++k) {
            const StudioSourceSize fit = fitted(w, h, requestEdge(scale, w), requestEdge(scale, h));
            const bool known = std::any_of(collected.begin(), collected.end(), [&](const auto& s) {
                return s.width == fit.width && s.height == fit.height;
            });
            if (fit.width >= 2 && fit.height >= 2 && !known) {
                collected.push_back(fit);
            }
            if (std::max(fit.width, fit.height) <= smallEdge && fit.pixelCount() <= pixelLimit) {
                break;
            }
            scale *= (k % 2 == 0) ? 0.75 : 2.0 / 3.0;
        }
    }

    std::stable_sort(collected.begin(), collected.end(),
                     [](const auto& a, const auto& b) { return a.pixelCount() > b.pixelCount(); });
    std::vector<StudioSourceSize> kept;
    for (const StudioSourceSize& size : collected) {
        if (kept.empty() || static_cast<double>(kept.back().pixelCount()) * thinningRatio >=
                                static_cast<double>(size.pixelCount())) {
            kept.push_back(size);
        }
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

}  // namespace quillory
