#include "app/studio/application_image.h"

namespace quillory {

std::optional<ApplicationImage> applicationImage(const std::vector<WindowIcon>& icons,
                                                 const std::string& iconName,
                                                 const ThemeIconLoader& themeIcon) {
    if (auto icon = closestWindowIcon(icons, applicationImageSide)) {
        return ApplicationImage{icon->width, icon->height, std::move(icon->argb)};
    }
    if (!iconName.empty() && themeIcon) {
        return themeIcon(iconName, applicationImageSide);
    }
    return std::nullopt;
}

}  // namespace quillory
