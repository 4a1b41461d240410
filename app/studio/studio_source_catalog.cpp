#include "app/studio/studio_source_catalog.h"

#include <algorithm>
#include <set>

#include "platform/process/process_info.h"
#include "platform/text/text_units.h"
#include "protocol/text_rules.h"

namespace quillory {

namespace {

bool isEligible(const ShareableWindow& window, std::int32_t ownProcessID) {
    if (!window.onScreen || window.info.layer != 0 ||
        window.info.frame.width <= StudioSourceCatalog::minimumWindowSide ||
        window.info.frame.height <= StudioSourceCatalog::minimumWindowSide) {
        return false;
    }
    // Our own windows are known by their pid; a window that tells none is someone else's.
    return !(window.application && window.application->processID == ownProcessID);
}

const std::string& applicationNameOf(const ShareableWindow& window) {
    static const std::string none;
    return window.application ? window.application->name : none;
}

bool fitsCache(const ApplicationImage& image) {
    return image.width <= StudioSourceCatalog::maxCachedImageSide &&
           image.height <= StudioSourceCatalog::maxCachedImageSide;
}

bool isValidList(const Uuid& id, const std::vector<StudioSource>& sources) {
    StudioSignal signal{.id = id, .kind = StudioSignal::Kind::sources, .sources = sources};
    return signal.isValid();
}

}  // namespace

std::string StudioSourceCatalog::applicationName(const std::string& name) {
    const std::string spaced = replacingControlCharacters(name, " ");
    return std::string(leadingCharactersWithin(leadingCharacters(spaced, applicationCharacters),
                                               applicationBytes));
}

std::string StudioSourceCatalog::applicationKey(std::int32_t processID,
                                                const WindowApplication& application) {
    const auto started = processStartTime(processID);
    const auto executable = processExecutablePath(processID);
    return std::to_string(processID) + ":" + std::to_string(started.value_or(0)) + ":" +
           executable.value_or(application.identifier);
}

StudioSourceCatalog StudioSourceCatalog::build(
    const ShareableContent& content, const std::map<Uuid, StudioCaptureSource>& previous,
    const std::map<std::string, ApplicationImage>& cachedImages, const Lookups& lookups) {
    std::vector<StudioCaptureSource> listed;
    for (const auto& display : content.displays) {
        listed.push_back(StudioCaptureSource::display(display));
    }
    std::vector<const ShareableWindow*> windows;
    for (const auto& window : content.windows) {
        if (isEligible(window, lookups.ownProcessID)) {
            windows.push_back(&window);
        }
    }
    // Code-point order: UTF-8 compares bytewise in the same order.
    std::stable_sort(windows.begin(), windows.end(), [](const auto* left, const auto* right) {
        return applicationNameOf(*left) < applicationNameOf(*right);
    });
    for (const auto* window : windows) {
        listed.push_back(StudioCaptureSource::window(*window));
    }
    if (listed.size() > maxSources) {
        listed.erase(listed.begin() + static_cast<std::ptrdiff_t>(maxSources), listed.end());
    }

    std::map<std::string, Uuid> previousIDs;
    for (const auto& [id, source] : previous) {
        previousIDs.emplace(source.previewKey(), id);
    }

    StudioSourceCatalog pass;
    for (const auto& source : listed) {
        const auto kept = previousIDs.find(source.previewKey());
        const Uuid id = kept != previousIDs.end() ? kept->second : Uuid::random();
        pass.catalog.insert_or_assign(id, source);

        StudioSource entry{
            .id = id,
            .kind = source.isDisplay() ? StudioSource::Kind::display : StudioSource::Kind::window,
            .name = source.title(*lookups.desktop)};
        const ShareableWindow* window = source.windowInfo();
        if (window && window->application) {
            entry.application = applicationName(window->application->name);
            if (const auto processID = window->application->processID) {
                const std::string key = lookups.applicationKey(*processID, *window->application);
                pass.applicationKeys.emplace(id, key);
                if (const auto cached = cachedImages.find(key); cached != cachedImages.end()) {
                    pass.images.insert_or_assign(key, cached->second);
                } else if (!pass.images.contains(key)) {
                    if (auto image = lookups.applicationImage(*window)) {
                        pass.images.emplace(key, std::move(*image));
                    }
                }
            }
        }
        pass.sources.push_back(std::move(entry));
    }
    for (const auto& [key, image] : pass.images) {
        if (fitsCache(image)) {
            pass.applicationImages.emplace(key, image);
        }
    }
    return pass;
}

std::vector<StudioSource> sendableSources(const Uuid& id, std::vector<StudioSource> sources) {
    if (isValidList(id, sources)) {
        return sources;
    }
    for (auto& source : sources) {
        source.iconPNG.reset();
    }
    if (isValidList(id, sources)) {
        return sources;
    }
    std::set<Uuid> seen;
    std::erase_if(sources, [&](const StudioSource& source) {
        return !source.isValid() || !seen.insert(source.id).second;
    });
    while (!sources.empty() && !isValidList(id, sources)) {
        sources.pop_back();
    }
    return sources;
}

}  // namespace quillory
