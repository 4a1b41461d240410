#include "app/interface/application_icon.h"

#include <QPixmap>

#include "tools/icon-render/icon_render.h"

namespace quillory {

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : appIconSizes()) {
        icon.addPixmap(QPixmap::fromImage(renderAppIcon(appIconResource(size), size)));
    }
    return icon;
}

}  // namespace quillory
