#include "app/studio/studio_application_artwork.h"

#include "platform/dispatch/main_queue.h"
#include "protocol/studio_signal.h"

namespace quillory {

std::shared_ptr<StudioApplicationArtwork> StudioApplicationArtwork::create(Renderer render) {
    return std::shared_ptr<StudioApplicationArtwork>(
        new StudioApplicationArtwork(std::move(render)));
}

StudioApplicationArtwork::StudioApplicationArtwork(Renderer render)
    : render_(std::move(render)), queue_("app.quillory.studio.artwork") {}

void StudioApplicationArtwork::artwork(std::vector<StudioSource> sources, Uuid signalID,
                                       SourceKeys keys, Images images,
                                       std::shared_ptr<const CancelToken> cancel,
                                       Completion completion) {
    std::weak_ptr<StudioApplicationArtwork> weak = weak_from_this();
    queue_.async([weak, sources = std::move(sources), signalID, keys = std::move(keys),
                  images = std::move(images), cancel = std::move(cancel),
                  completion = std::move(completion)]() mutable {
        std::optional<std::vector<StudioSource>> result;
        if (const auto self = weak.lock()) {
            result = self->pass(sources, signalID, keys, images, *cancel);
        }
        MainQueue::post([result = std::move(result), completion = std::move(completion)] {
            completion(result);
        });
    });
}

std::optional<std::vector<StudioSource>> StudioApplicationArtwork::pass(
    const std::vector<StudioSource>& sources, const Uuid& signalID, const SourceKeys& keys,
    const Images& images, const CancelToken& cancel) {
    // PNGs of applications that are gone are dropped.
    std::erase_if(cache_, [&](const auto& entry) { return !images.contains(entry.first); });
    for (const int side : sides) {
        if (cancel.isCancelled()) {
            return std::nullopt;
        }
        std::vector<StudioSource> list;
        list.reserve(sources.size());
        for (const auto& source : sources) {
            if (cancel.isCancelled()) {
                return std::nullopt;
            }
            const auto key = keys.find(source.id);
            const auto image = key == keys.end() ? images.end() : images.find(key->second);
            if (image == images.end()) {
                list.push_back(source);
                continue;
            }
            auto& rendered = cache_[key->second];
            if (!rendered.contains(side)) {
                if (auto png = render_(image->second, side)) {
                    rendered[side] = std::move(*png);
                }
            }
            StudioSource withIcon = source;
            const auto png = rendered.find(side);
            withIcon.iconPNG =
                png == rendered.end() ? std::nullopt : std::optional<Bytes>(png->second);
            list.push_back(std::move(withIcon));
        }
        StudioSignal signal{.id = signalID, .kind = StudioSignal::Kind::sources, .sources = list};
        if (signal.isValid()) {
            return list;
        }
    }
    return sources;
}

}  // namespace quillory
