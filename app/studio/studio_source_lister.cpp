#include "app/studio/studio_source_lister.h"

#include <algorithm>
#include <set>

#include "app/studio/hop_to.h"
#include "app/studio/studio_source_catalog.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {

struct StudioSourceLister::ThumbnailPass {
    Uuid requestID;
    std::vector<StudioSource> order;  // displays first
    std::map<Uuid, StudioCaptureSource> catalog;
};

std::shared_ptr<StudioSourceLister> StudioSourceLister::create(Environment environment) {
    return std::shared_ptr<StudioSourceLister>(new StudioSourceLister(std::move(environment)));
}

StudioSourceLister::StudioSourceLister(Environment environment)
    : environment_(std::move(environment)) {}

std::vector<std::string> StudioSourceLister::previewKeys(
    const std::map<Uuid, StudioCaptureSource>& catalog) {
    std::vector<std::string> keys;
    keys.reserve(catalog.size());
    for (const auto& [id, source] : catalog) {
        keys.push_back(source.previewKey());
    }
    return keys;
}

void StudioSourceLister::cancel() {
    QUILLORY_CHECK_ON(*environment_.main);
    if (const auto token = std::exchange(catalogTask_, nullptr)) {
        token->cancel();
    }
    catalogRequestID_.reset();
    catalogPause_.cancel();
    previewCache_.clear();
}

void StudioSourceLister::reset(bool keepCatalog) {
    QUILLORY_CHECK_ON(*environment_.main);
    lastCatalog_.reset();
    if (!keepCatalog) {
        sourceCatalog_.clear();
    }
    spaceRefresh_.cancel();
}

// MARK: Catalog

void StudioSourceLister::listSources(const Uuid& requestID) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (const auto token = std::exchange(catalogTask_, nullptr)) {
        token->cancel();
    }
    catalogPause_.cancel();
    catalogRequestID_ = requestID;
    lastCatalog_ = LastCatalog{.id = requestID, .at = now()};
    observeActiveSpace();
    const auto token = std::make_shared<CancelToken>();
    catalogTask_ = token;
    environment_.readContent(hopTo<std::optional<ShareableContent>>(
        environment_.main, weak_from_this(),
        [token, requestID](StudioSourceLister& self,
                           const std::optional<ShareableContent>& content) {
            self.catalogContentRead(token, requestID, content);
        }));
}

void StudioSourceLister::observeActiveSpace() {
    if (spaceObserver_ || !environment_.observeSpace) {
        return;
    }
    spaceObserver_ = environment_.observeSpace([weak = weak_from_this(), main = environment_.main] {
        main->post([weak] {
            if (const auto self = weak.lock()) {
                self->activeSpaceChanged();
            }
        });
    });
}

void StudioSourceLister::activeSpaceChanged() {
    QUILLORY_CHECK_ON(*environment_.main);
    if (!lastCatalog_ || now() - lastCatalog_->at >= spaceRefreshWindow) {
        return;
    }
    spaceRefresh_ = environment_.main->after(
        spaceRefreshDelay, [weak = weak_from_this(), requestID = lastCatalog_->id] {
            if (const auto self = weak.lock()) {
                self->refreshCatalog(requestID);
            }
        });
}

void StudioSourceLister::refreshCatalog(const Uuid& requestID) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (lastCatalog_ && lastCatalog_->id == requestID) {
        listSources(requestID);
    }
}

bool StudioSourceLister::isCurrentCatalog(const Token& token, const Uuid& requestID) const {
    return !token->isCancelled() && catalogRequestID_ == requestID;
}

void StudioSourceLister::sendEmptySources(const Token& token, const Uuid& requestID) {
    if (isCurrentCatalog(token, requestID)) {
        environment_.send(StudioSignal{.id = requestID,
                                       .kind = StudioSignal::Kind::sources,
                                       .sources = std::vector<StudioSource>{}});
    }
}

void StudioSourceLister::catalogContentRead(const Token& token, const Uuid& requestID,
                                            const std::optional<ShareableContent>& content) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (!content) {
        sendEmptySources(token, requestID);
        return;
    }
    if (!isCurrentCatalog(token, requestID)) {
        return;
    }
    const StudioSourceCatalog::Lookups lookups{
        .desktop = environment_.desktop.get(),
        .ownProcessID = environment_.ownProcessID,
        .applicationKey = environment_.applicationKey,
        .applicationImage =
            [this](const ShareableWindow& window) -> std::optional<ApplicationImage> {
            return environment_.applicationImage ? environment_.applicationImage(window)
                                                 : std::nullopt;
        },
    };
    auto pass = StudioSourceCatalog::build(*content, sourceCatalog_, applicationImages_, lookups);
    sourceCatalog_ = pass.catalog;
    applicationImages_ = std::move(pass.applicationImages);
    environment_.artwork(
        std::move(pass.sources), requestID, std::move(pass.applicationKeys), std::move(pass.images),
        token,
        hopTo<std::optional<std::vector<StudioSource>>>(
            environment_.main, weak_from_this(),
            [token, requestID, catalog = std::move(pass.catalog)](
                StudioSourceLister& self, const std::optional<std::vector<StudioSource>>& sources) {
                self.catalogArtworkMade(token, requestID, sources, catalog);
            }));
}

void StudioSourceLister::catalogArtworkMade(const Token& token, const Uuid& requestID,
                                            const std::optional<std::vector<StudioSource>>& sources,
                                            std::map<Uuid, StudioCaptureSource> catalog) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (!sources) {
        sendEmptySources(token, requestID);
        return;
    }
    if (!isCurrentCatalog(token, requestID)) {
        return;
    }
    // The tablet refuses an invalid list whole, so a list is never sent invalid.
    auto list = sendableSources(requestID, *sources);
    environment_.send(
        StudioSignal{.id = requestID, .kind = StudioSignal::Kind::sources, .sources = list});

    const auto keys = previewKeys(catalog);
    const std::set<std::string> kept(keys.begin(), keys.end());
    std::erase_if(previewCache_, [&](const auto& entry) { return !kept.contains(entry.first); });
    auto pass = std::make_shared<ThumbnailPass>();
    pass->requestID = requestID;
    pass->order = std::move(list);
    std::stable_partition(pass->order.begin(), pass->order.end(), [](const StudioSource& source) {
        return source.kind == StudioSource::Kind::display;
    });
    pass->catalog = std::move(catalog);
    thumbnailStep(token, pass, 0);
}

void StudioSourceLister::thumbnailStep(const Token& token,
                                       const std::shared_ptr<const ThumbnailPass>& pass,
                                       std::size_t index) {
    QUILLORY_CHECK_ON(*environment_.main);
    for (; index < pass->order.size(); ++index) {
        if (!isCurrentCatalog(token, pass->requestID)) {
            return;  // so is every entry after it
        }
        const auto found = pass->catalog.find(pass->order[index].id);
        if (found == pass->catalog.end()) {
            continue;
        }
        if (const auto cached = previewCache_.find(found->second.previewKey());
            cached != previewCache_.end() && now() - cached->second.taken < previewReuse) {
            sendThumbnail(token, pass, index, cached->second.data);
            return;
        }
        environment_.capturePreview(
            found->second,
            hopTo<std::optional<Bytes>>(
                environment_.main, weak_from_this(),
                [token, pass, index](StudioSourceLister& self, const std::optional<Bytes>& data) {
                    self.thumbnailCaptured(token, pass, index, data);
                }));
        return;
    }
}

void StudioSourceLister::thumbnailCaptured(const Token& token,
                                           const std::shared_ptr<const ThumbnailPass>& pass,
                                           std::size_t index, const std::optional<Bytes>& data) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (!data) {
        thumbnailStep(token, pass, index + 1);
        return;
    }
    const auto& source = pass->catalog.at(pass->order[index].id);
    previewCache_.insert_or_assign(source.previewKey(), Preview{.data = *data, .taken = now()});
    if (!isCurrentCatalog(token, pass->requestID)) {
        return;
    }
    sendThumbnail(token, pass, index, *data);
}

void StudioSourceLister::sendThumbnail(const Token& token,
                                       const std::shared_ptr<const ThumbnailPass>& pass,
                                       std::size_t index, const Bytes& data) {
    environment_.send(StudioSignal{.id = pass->requestID,
                                   .kind = StudioSignal::Kind::thumbnail,
                                   .sourceID = pass->order[index].id,
                                   .thumbnail = data});
    catalogPause_ =
        environment_.main->after(thumbnailPause, [weak = weak_from_this(), token, pass, index] {
            if (const auto self = weak.lock()) {
                self->thumbnailStep(token, pass, index + 1);
            }
        });
}

}  // namespace quillory
