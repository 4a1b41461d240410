#include "app/interface/application_icon.h"

#include <QPixmap>

#include "design/app_icon_image.h"

namespace quillory {

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : appIconSizes()) {
        icon.addPixmap(QPixmap::fromImage(renderAppIcon(appIconResource(size), size)));
    }
    return icon;
}

}  // namespace quillory
