#include "media/studio_source_fit.h"

#include "media/studio_source_size.h"

namespace quillory {

VideoSourceFit studioSourceFit(int sourceWidth, int sourceHeight, int requestWidth,
                               int requestHeight) {
    const StudioSourceCrop crop =
        StudioSourceSize::cropBox(sourceWidth, sourceHeight, requestWidth, requestHeight);
    const StudioSourceSize size =
        StudioSourceSize::fitted(sourceWidth, sourceHeight, requestWidth, requestHeight);
    return VideoSourceFit{
        .cropX = crop.x,
        .cropY = crop.y,
        .cropWidth = crop.width,
        .cropHeight = crop.height,
        .width = size.width,
        .height = size.height,
    };
}

}  // namespace quillory
