#include "tools/pad/studio_listing.h"

#include <algorithm>

namespace quillory::pad {

namespace {

int bigEndian(const Bytes& bytes, std::size_t at, std::size_t length) {
    int value = 0;
    for (std::size_t index = 0; index < length; ++index) {
        value = (value << 8) | bytes[at + index];
    }
    return value;
}

}  // namespace

StudioListing::Step StudioListing::take(const StudioSignal& signal) {
    if (signal.id != request_) {
        return Step::ignored;
    }
    switch (signal.kind) {
        case StudioSignal::Kind::sources:
            if (sources_ || !signal.sources) {
                return Step::ignored;
            }
            sources_ = *signal.sources;
            return Step::sources;
        case StudioSignal::Kind::thumbnail: {
            if (!sources_ || !signal.sourceID || !signal.thumbnail) {
                return Step::ignored;
            }
            const bool listed = std::any_of(
                sources_->begin(), sources_->end(),
                [&](const StudioSource& source) { return source.id == *signal.sourceID; });
            if (!listed || thumbnails_.contains(*signal.sourceID)) {
                return Step::ignored;
            }
            thumbnails_[*signal.sourceID] = signal.thumbnail->size();
            return Step::thumbnail;
        }
        case StudioSignal::Kind::failure:
            return Step::failure;
        default:
            return Step::ignored;
    }
}

bool StudioListing::complete() const {
    return sources_ && thumbnails_.size() == sources_->size();
}

const std::vector<StudioSource>& StudioListing::sources() const {
    static const std::vector<StudioSource> none;
    return sources_ ? *sources_ : none;
}

std::optional<ImageSize> pngSize(const Bytes& png) {
    static const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 24 || !std::equal(std::begin(signature), std::end(signature), png.begin()) ||
        !std::equal(png.begin() + 12, png.begin() + 16, "IHDR")) {
        return std::nullopt;
    }
    return ImageSize{bigEndian(png, 16, 4), bigEndian(png, 20, 4)};
}

std::optional<ImageSize> jpegSize(const Bytes& jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        return std::nullopt;
    }
    std::size_t at = 2;
    // Segments until a start of frame (SOF0–SOF15 but DHT, JPG and DAC).
    while (at + 4 <= jpeg.size()) {
        if (jpeg[at] != 0xFF) {
            return std::nullopt;
        }
        const std::uint8_t marker = jpeg[at + 1];
        const auto length = static_cast<std::size_t>(bigEndian(jpeg, at + 2, 2));
        if (length < 2) {
            return std::nullopt;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > jpeg.size()) {
                return std::nullopt;
            }
            return ImageSize{bigEndian(jpeg, at + 7, 2), bigEndian(jpeg, at + 5, 2)};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

std::variant<StudioSource, std::string> chooseSource(const std::vector<StudioSource>& sources,
                                                     const std::optional<Uuid>& id,
                                                     const std::optional<std::string>& window) {
    const std::string hint = ". quillory-pad studio list shows what it shares.";
    if (id) {
        for (const auto& source : sources) {
            if (source.id == *id) {
                return source;
            }
        }
        return "The computer has no source " + id->text() + hint;
    }
    const std::string title = window.value_or("");
    std::vector<const StudioSource*> shortened;
    for (const auto& source : sources) {
        if (source.kind != StudioSource::Kind::window) {
            continue;
        }
        if (source.name == title) {
            return source;
        }
        if (!source.name.empty() && title.starts_with(source.name)) {
            shortened.push_back(&source);
        }
    }
    if (shortened.size() == 1) {
        return *shortened.front();
    }
    return (shortened.empty() ? "The computer shows no window named “"
                              : "Several windows of the computer begin like “") +
           title + "”" + hint;
}

std::string sourceText(const StudioSource& source) {
    std::string text = source.kind == StudioSource::Kind::display ? "display  " : "window   ";
    text += source.name;
    if (source.application) {
        text += " — " + *source.application;
    }
    if (source.iconPNG) {
        if (const auto size = pngSize(*source.iconPNG)) {
            text += "  icon " + std::to_string(size->width) + "×" + std::to_string(size->height);
        }
    }
    return text;
}

}  // namespace quillory::pad
