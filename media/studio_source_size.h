#pragma once

#include <cstdint>
#include <vector>

namespace quillory {

// The centred part of a captured picture that a source scales to its output; even offsets.
struct StudioSourceCrop {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const StudioSourceCrop&) const = default;
};

// One rung of the size ladder: the frame size the video source produces and the output-format
// request that makes it produce exactly that size (the source keeps its aspect ratio and aligns
// its output, so the two differ).
struct StudioSourceSize {
    int width = 2;
    int height = 2;
    int requestWidth = 2;
    int requestHeight = 2;

    std::int64_t pixelCount() const {
        return static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
    }

    bool operator==(const StudioSourceSize&) const = default;

    // Thinned frame sizes for a viewport, ascending by pixel count; the last one is the whole
    // (clamped) viewport.
    static std::vector<StudioSourceSize> ladder(int width, int height, std::int64_t pixelLimit);

    // The size a source of sourceWidth x sourceHeight produces for the given request.
    static StudioSourceSize fitted(int sourceWidth, int sourceHeight, int requestWidth,
                                   int requestHeight);
    // The box of the source that `fitted` scales to its size, centred.
    static StudioSourceCrop cropBox(int sourceWidth, int sourceHeight, int requestWidth,
                                    int requestHeight);
};

// Rounds an edge up to an even multiple of the numerator, or down when that would pass the limit.
std::int64_t alignedEdge(std::int64_t edge, std::int64_t limit, std::int64_t numerator);

}  // namespace quillory
