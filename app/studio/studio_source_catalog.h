#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/studio/application_image.h"
#include "app/studio/shareable_content.h"
#include "app/studio/studio_capture_source.h"
#include "protocol/studio_signal.h"
#include "protocol/studio_source.h"
#include "protocol/uuid.h"

namespace quillory {

// One pass of the Studio source list: the entries to send (without icons yet), the catalog of the
// ids handed out, and the application icons the entries need.
struct StudioSourceCatalog {
    // What the pass needs of the machine besides the content.
    struct Lookups {
        const Desktop* desktop = nullptr;
        std::int32_t ownProcessID = 0;
        // The key of one launch of the window's application.
        std::function<std::string(std::int32_t processID, const WindowApplication&)> applicationKey;
        // The application's image for the window at 64 pixels; nothing when it has none.
        std::function<std::optional<ApplicationImage>(const ShareableWindow&)> applicationImage;
    };

    static constexpr std::size_t maxSources = StudioSignal::maxSources;
    static constexpr double minimumWindowSide = 80.0;  // windows must be larger in both directions
    static constexpr std::size_t applicationCharacters = 60;
    static constexpr std::size_t applicationBytes = 256;
    static constexpr int maxCachedImageSide = 256;

    std::vector<StudioSource> sources;
    std::map<Uuid, StudioCaptureSource> catalog;
    std::map<Uuid, std::string> applicationKeys;                // source id → application key
    std::map<std::string, ApplicationImage> images;             // this pass's, uncut
    std::map<std::string, ApplicationImage> applicationImages;  // what stays cached

    // Displays as given, then the eligible windows in application-name order, cut to 32; ids of
    // sources listed before are kept.
    static StudioSourceCatalog build(const ShareableContent& content,
                                     const std::map<Uuid, StudioCaptureSource>& previous,
                                     const std::map<std::string, ApplicationImage>& cachedImages,
                                     const Lookups& lookups);

    // The application name as the list carries it: control characters as spaces, at most 60
    // characters and 256 bytes.
    static std::string applicationName(const std::string& name);

    // pid ":" start time ":" executable, the application's identifier in place of an unreadable
    // executable.
    static std::string applicationKey(std::int32_t processID, const WindowApplication& application);
};

// A "sources" list that passes validation: as given when it does, else without icons, else
// without the entries that break the rule, else shortened until it does.
std::vector<StudioSource> sendableSources(const Uuid& id, std::vector<StudioSource> sources);

}  // namespace quillory
