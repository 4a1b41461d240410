#include "app/studio/system_studio.h"

#include <malloc.h>

#include <QStringList>
#include <cstring>

#include "app/session/desktop_application_icons.h"
#include "app/session/root_property_notifier.h"
#include "app/studio/source_preview.h"
#include "app/studio/studio_media_module.h"
#include "app/studio/studio_session_workers.h"
#include "platform/capture/x11_capture_stream.h"
#include "platform/dispatch/main_queue.h"

namespace quillory::SystemStudio {

std::optional<ApplicationImage> applicationImage(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    ApplicationImage result{.width = plain.width(), .height = plain.height(), .argb = {}};
    const auto width = static_cast<std::size_t>(plain.width());
    result.argb.resize(width * static_cast<std::size_t>(plain.height()));
    for (int y = 0; y < plain.height(); ++y) {
        std::memcpy(result.argb.data() + static_cast<std::size_t>(y) * width,
                    plain.constScanLine(y), width * 4);
    }
    return result;
}

ApplicationInfo applicationInfo(const ShareableWindow& window) {
    ApplicationInfo info;
    info.windowID = window.info.id;
    if (window.application) {
        info.processID = window.application->processID.value_or(0);
        info.identifier = window.application->identifier;
        info.name = window.application->name;
    }
    return info;
}

MacStudioSession::Environment environment(std::shared_ptr<Desktop> desktop,
                                          std::shared_ptr<ApplicationIcons> icons,
                                          std::int32_t ownProcessID) {
    auto clock = std::make_shared<SystemClock>();
    MacStudioSession::Environment e;
    e.desktop = desktop;
    e.main = MainQueue::executor();
    e.clock = clock;
    auto contentQueue = std::make_shared<SerialQueue>("app.quillory.studio.content");
    e.readContent = StudioSessionWorkers::contentReader(contentQueue, desktop);
    e.capturePreview = StudioSessionWorkers::previewGrabber(
        std::make_shared<SerialQueue>("app.quillory.studio.preview"), PreviewCapture::system());
    e.makeCapture =
        displayCaptureMaker(DisplayCapture::Environment{.desktop = desktop,
                                                        .makeStream = X11CaptureStream::factory(),
                                                        .clock = clock,
                                                        .timers = {}});
    // libavcodec and GStreamer are loaded with the first stream.
    e.peer = StudioPeer::Environment::standard(StudioMediaModuleLoader::transportFactory());
    e.openCodec = StudioMediaModuleLoader::codecOpener();
    e.artwork = StudioSessionWorkers::artwork(
        StudioApplicationArtwork::create([](const ApplicationImage& image, int side) {
            // Rows of plain ARGB pixels, as QImage's ARGB32.
            const QImage view(reinterpret_cast<const uchar*>(image.argb.data()), image.width,
                              image.height, image.width * 4, QImage::Format_ARGB32);
            return DesktopApplicationIcons::renderPNG(view, side);
        }));
    e.raise = [desktop](const StudioCaptureSource& source) { source.raise(*desktop); };
    if (icons) {
        // Icon lookups run on the main thread, where Qt's theme icons belong.
        e.applicationImage = [icons](const ShareableWindow& window) {
            return applicationImage(icons->image(applicationInfo(window)));
        };
    }
    e.observeSpace = [](std::function<void()> handler) -> std::shared_ptr<void> {
        auto notifier = std::make_shared<RootPropertyNotifier>(
            QStringList{QStringLiteral("_NET_CURRENT_DESKTOP")});
        QObject::connect(notifier.get(), &RootPropertyNotifier::changed, notifier.get(),
                         [handler = std::move(handler)](const QString&) { handler(); });
        return notifier;
    };
    e.ownProcessID = ownProcessID;
    // Off the main thread: trimming walks every arena.
    e.releaseMemory = [contentQueue] { contentQueue->async([] { malloc_trim(0); }); };
    return e;
}

StudioSessionControl* create(std::shared_ptr<Desktop> desktop,
                             std::shared_ptr<ApplicationIcons> icons, std::int32_t ownProcessID) {
    return new StudioSessionControl(
        MacStudioSession::create(environment(std::move(desktop), std::move(icons), ownProcessID)));
}

}  // namespace quillory::SystemStudio
