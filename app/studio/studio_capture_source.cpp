#include "app/studio/studio_capture_source.h"

#include <algorithm>

#include "platform/text/text_units.h"
#include "protocol/text_rules.h"

namespace quillory {

namespace {

constexpr std::size_t titleCharacters = 60;
constexpr std::size_t nameBytes = 256;  // the wire's limit for a source name

// Leading and trailing white space, Unicode spaces included, off both ends.
std::string trimmed(std::string_view text) {
    static constexpr std::string_view spaces[] = {" ",      "\u00A0", "\u1680", "\u2000", "\u2001",
                                                  "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
                                                  "\u2007", "\u2008", "\u2009", "\u200A", "\u2028",
                                                  "\u2029", "\u202F", "\u205F", "\u3000"};
    bool changed = true;
    while (changed && !text.empty()) {
        changed = false;
        for (const auto space : spaces) {
            if (text.starts_with(space)) {
                text.remove_prefix(space.size());
                changed = true;
            }
            if (text.ends_with(space)) {
                text.remove_suffix(space.size());
                changed = true;
            }
        }
    }
    return std::string(text);
}

}  // namespace

StudioCaptureSource StudioCaptureSource::display(DisplayInfo display) {
    return StudioCaptureSource(std::move(display));
}

StudioCaptureSource StudioCaptureSource::window(ShareableWindow window) {
    return StudioCaptureSource(std::move(window));
}

Rect StudioCaptureSource::frame() const {
    if (const auto* d = displayInfo()) {
        return d->bounds;
    }
    return windowInfo()->info.frame;
}

CaptureTarget StudioCaptureSource::captureTarget() const {
    if (const auto* d = displayInfo()) {
        return {CaptureTarget::Kind::display, d->id, d->bounds};
    }
    return {CaptureTarget::Kind::window, windowInfo()->info.id, windowInfo()->info.frame};
}

std::string StudioCaptureSource::title(const Desktop& desktop) const {
    if (const auto* d = displayInfo()) {
        const auto main = desktop.mainDisplay();
        return main && main->id == d->id ? "Main display" : "Display " + std::to_string(d->id);
    }
    const auto& window = *windowInfo();
    std::string raw = window.title;
    if (raw.empty() && window.application && !window.application->name.empty()) {
        raw = window.application->name;
    }
    if (raw.empty()) {
        return "Window";
    }
    const std::string spaced = replacingControlCharacters(raw, " ");
    // Sixty characters can be far more than the wire's 256 bytes (sixty flags are 480).
    const auto cut = leadingCharactersWithin(leadingCharacters(spaced, titleCharacters), nameBytes);
    std::string name = trimmed(cut);
    return name.empty() ? "Window" : name;
}

std::optional<StudioCaptureSource> StudioCaptureSource::resolve(
    const ShareableContent& content) const {
    if (const auto* d = displayInfo()) {
        const auto found = std::find_if(content.displays.begin(), content.displays.end(),
                                        [&](const auto& display) { return display.id == d->id; });
        if (found == content.displays.end()) {
            return std::nullopt;
        }
        return display(*found);
    }
    const auto id = windowInfo()->info.id;
    const auto found =
        std::find_if(content.windows.begin(), content.windows.end(),
                     [&](const auto& window) { return window.info.id == id && window.onScreen; });
    if (found == content.windows.end()) {
        return std::nullopt;
    }
    return window(*found);
}

std::string StudioCaptureSource::previewKey() const {
    if (const auto* d = displayInfo()) {
        return "display:" + std::to_string(d->id);
    }
    return "window:" + std::to_string(windowInfo()->info.id);
}

void StudioCaptureSource::raise(Desktop& desktop) const {
    // Activating a window asks the window manager, as a pager does, and needs no access to the
    // desktop's input.
    const auto* window = windowInfo();
    if (window && window->application) {
        desktop.raise(window->info.id);
    }
}

}  // namespace quillory
