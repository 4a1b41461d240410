#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/studio/studio_media_module.h"
#include "platform/log/logger.h"

namespace quillory::StudioMediaModuleLoader {
namespace {

const Logger& logger() {
    static const Logger instance("app.quillory.studio", "media-module");
    return instance;
}

// Beside the executable in the build tree; installed, where `cmake --install` puts it relative to
// the executable's folder. Both are found from the executable itself, wherever it was started.
std::vector<std::string> candidates() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    const std::filesystem::path folder = executable.parent_path();
    return {folder / QUILLORY_MEDIA_MODULE_NAME,
            folder / QUILLORY_MEDIA_MODULE_FROM_BINARY / QUILLORY_MEDIA_MODULE_NAME};
}

std::unique_ptr<const StudioMediaModule> load() {
    const std::vector<std::string> paths = candidates();
    std::string failures = paths.empty() ? "the executable's folder is unknown" : "";
    for (const std::string& path : paths) {
        // Never unloaded: GStreamer cannot be started again once it was.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (handle == nullptr) {
            failures += std::string(failures.empty() ? "" : "; ") + dlerror();
            continue;
        }
        const auto entry =
            reinterpret_cast<StudioMediaModuleEntry>(dlsym(handle, studioMediaModuleEntry));
        if (entry == nullptr) {
            failures += (failures.empty() ? "" : "; ") + path + " has no entry point";
            continue;
        }
        auto module = std::make_unique<StudioMediaModule>();
        entry(module.get());
        logger().debug("Loaded %s", path.c_str());
        return module;
    }
    logger().error("The media module did not load: %s", failures.c_str());
    return nullptr;
}

const StudioMediaModule* module() {
    // A function-local static: built once, under the language's guard, whichever thread asks first.
    static const std::unique_ptr<const StudioMediaModule> loaded = load();
    return loaded.get();
}

class LoadingTransportFactory final : public PeerTransportFactory {
  public:
    void setUp(const std::map<std::string, std::string>& fieldTrials) override {
        if (const auto* media = module()) {
            media->transportFactory->setUp(fieldTrials);
        }
    }

    std::shared_ptr<PeerTransport> createTransport(
        const PeerTransportConfiguration& configuration,
        std::shared_ptr<VideoEncoderFactory> encoderFactory,
        std::shared_ptr<PeerTransportDelegate> delegate) override {
        const auto* media = module();
        if (media == nullptr) {
            return nullptr;
        }
        return media->transportFactory->createTransport(configuration, std::move(encoderFactory),
                                                        std::move(delegate));
    }
};

}  // namespace

std::shared_ptr<PeerTransportFactory> transportFactory() {
    return std::make_shared<LoadingTransportFactory>();
}

StudioVideoCodecOpener codecOpener() {
    return [](const H264CodecConfig& config) {
        if (const auto* media = module()) {
            return media->openCodec(config);
        }
        return StudioCodecOpened{nullptr, VideoError{0, "The media module did not load."}};
    };
}

}  // namespace quillory::StudioMediaModuleLoader
