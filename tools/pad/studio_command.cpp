#include "tools/pad/studio_command.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory::pad {

StudioCommand::StudioCommand(const PadOptions& options, std::shared_ptr<EventOutput> output,
                             StudioShareMaker makeShare)
    : options_(options), output_(std::move(output)), makeShare_(std::move(makeShare)) {}

void StudioCommand::start(StudioShareLink link) {
    QUILLORY_CHECK_MAIN_THREAD();
    link_ = std::move(link);
    if (options_.studio == PadOptions::Studio::share) {
        if (share_) {
            return;
        }
        if (!makeShare_) {
            link_.finished(1,
                           "This program was built without video: studio share is not available.");
            return;
        }
        share_ = makeShare_(options_, output_, link_);
        share_->start();
    } else if (!listing_) {
        listSources();
    }
}

void StudioCommand::linkEnded() {
    QUILLORY_CHECK_MAIN_THREAD();
    timer_.cancel();
    if (const auto share = std::exchange(share_, nullptr)) {
        share->linkEnded();
    }
}

void StudioCommand::listSources() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (options_.thumbnails) {
        std::error_code error;
        std::filesystem::create_directories(*options_.thumbnails, error);
        if (error) {
            link_.finished(1,
                           "Cannot create " + *options_.thumbnails + ": " + error.message() + ".");
            return;
        }
    }
    listing_.emplace(Uuid::random());
    listSentAt_ = uptimeNanoseconds();
    link_.send(StudioSignal{.id = listing_->request(), .kind = StudioSignal::Kind::listSources});
    waitFor(listTimeout);
}

void StudioCommand::waitFor(double seconds) {
    std::weak_ptr<StudioCommand> weak = weak_from_this();
    timer_ = MainQueue::after(seconds, [weak] {
        if (auto self = weak.lock()) {
            self->listingTimedOut();
        }
    });
}

void StudioCommand::studioArrived(const StudioSignal& signal) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (share_) {
        share_->studioArrived(signal);
        return;
    }
    if (!listing_) {
        return;
    }
    switch (listing_->take(signal)) {
        case StudioListing::Step::ignored:
            return;
        case StudioListing::Step::failure:
            link_.finished(1, "The computer refused the list: " + signal.message.value_or(""));
            return;
        case StudioListing::Step::sources:
            listed();
            break;
        case StudioListing::Step::thumbnail:
            if (!thumbnailArrived(signal)) {
                return;
            }
            break;
    }
    if (listing_->complete()) {
        finishListing();
        return;
    }
    // Sources whose picture cannot be taken get none: the list ends when the thumbnails pause.
    waitFor(thumbnailTimeout);
}

void StudioCommand::listed() {
    for (const auto& source : listing_->sources()) {
        const auto icon = source.iconPNG ? pngSize(*source.iconPNG) : std::nullopt;
        Json fields = {{"id", source.id.text()},
                       {"kind", source.kind == StudioSource::Kind::display ? "display" : "window"},
                       {"name", source.name},
                       {"application", source.application.value_or("")}};
        if (icon) {
            fields["iconWidth"] = icon->width;
            fields["iconHeight"] = icon->height;
        }
        output_->event("source", std::move(fields), sourceText(source));
    }
    if (listing_->sources().empty()) {
        output_->event("empty", {}, "The computer has nothing to share.");
    }
}

bool StudioCommand::thumbnailArrived(const StudioSignal& signal) {
    const double arrival = static_cast<double>(uptimeNanoseconds() - listSentAt_) / 1e9;
    const auto size = jpegSize(*signal.thumbnail);
    Json fields = {{"sourceID", signal.sourceID->text()},
                   {"bytes", signal.thumbnail->size()},
                   {"arrival", arrival}};
    std::string text = "thumbnail " + signal.sourceID->text();
    if (size) {
        fields["width"] = size->width;
        fields["height"] = size->height;
        text += "  " + std::to_string(size->width) + "×" + std::to_string(size->height);
    }
    if (options_.thumbnails) {
        const auto path =
            std::filesystem::path(*options_.thumbnails) / (signal.sourceID->text() + ".jpg");
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(signal.thumbnail->data()),
                   static_cast<std::streamsize>(signal.thumbnail->size()));
        if (!file.flush()) {
            link_.finished(1, "Cannot write " + path.string() + ".");
            return false;
        }
        fields["file"] = path.string();
    }
    output_->event("thumbnail", std::move(fields), text);
    return true;
}

void StudioCommand::listingTimedOut() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!listing_) {
        return;
    }
    if (!listing_->hasSources()) {
        link_.finished(1,
                       "The computer did not answer the source list. Is Studio available there?");
        return;
    }
    finishListing();
}

void StudioCommand::finishListing() {
    QUILLORY_CHECK_MAIN_THREAD();
    timer_.cancel();
    output_->event(
        "listed", {{"sources", listing_->sources().size()}, {"thumbnails", listing_->thumbnails()}},
        std::to_string(listing_->sources().size()) + " sources, " +
            std::to_string(listing_->thumbnails()) + " thumbnails.");
    link_.finished(0, {});
}

}  // namespace quillory::pad
