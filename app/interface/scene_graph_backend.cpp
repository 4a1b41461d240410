#include "app/interface/scene_graph_backend.h"

#include <QQuickWindow>
#include <QtGlobal>

namespace quillory {

bool hasGraphicsDevice(const std::filesystem::path& devices) {
    std::error_code error;
    if (std::filesystem::exists(devices / "nvidia0", error)) {
        return true;
    }
    for (const auto& entry : std::filesystem::directory_iterator(devices / "dri", error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("renderD") || name.starts_with("card")) {
            return true;
        }
    }
    return false;
}

bool chooseSceneGraphBackend(const std::filesystem::path& devices) {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QSG_RHI_BACKEND") || hasGraphicsDevice(devices)) {
        return false;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return true;
}

}  // namespace quillory
