#include "design/colors.h"

#include <QJSEngine>
#include <array>

#include "design/appearance.h"

namespace quillory {

Colors::Colors(DesignPalette palette) : palette_(palette) {
    connect(Appearance::shared(), &Appearance::changed, this, &Colors::changed);
}

Colors* Colors::forPalette(DesignPalette palette) {
    // One per palette for the process, like the Appearance they follow.
    static const std::array<Colors*, allDesignPalettes.size()> instances = [] {
        std::array<Colors*, allDesignPalettes.size()> made{};
        for (std::size_t i = 0; i < made.size(); ++i) {
            made[i] = new Colors(allDesignPalettes[i]);
            QJSEngine::setObjectOwnership(made[i], QJSEngine::CppOwnership);
        }
        return made;
    }();
    return instances[static_cast<std::size_t>(palette)];
}

QColor Colors::color(DesignColorToken token) const {
    return resolveColor(token, palette_, Appearance::shared()->designAppearance());
}

}  // namespace quillory
