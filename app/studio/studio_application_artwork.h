#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/studio/application_image.h"
#include "platform/crypto/crypto.h"
#include "platform/dispatch/serial_queue.h"
#include "protocol/studio_source.h"
#include "protocol/uuid.h"

namespace quillory {

// Set by the caller to end a pass early; checked before each side and each source.
class CancelToken {
  public:
    void cancel() { cancelled_.store(true); }
    bool isCancelled() const { return cancelled_.load(); }

  private:
    std::atomic<bool> cancelled_{false};
};

// The icons of a "sources" list: renders each application's image as a square PNG, keeps the
// PNGs per application and side, and picks the largest side of 64, 48, 32, 24 and 16 at which the
// whole signal still passes validation. Its cache lives on its own queue.
class StudioApplicationArtwork : public std::enable_shared_from_this<StudioApplicationArtwork> {
  public:
    // pngData(of:side:): the image stretched into a side × side square; nothing on failure.
    using Renderer = std::function<std::optional<Bytes>(const ApplicationImage&, int side)>;
    // Source ids to application keys; application keys to images.
    using SourceKeys = std::map<Uuid, std::string>;
    using Images = std::map<std::string, ApplicationImage>;
    // On the main queue: the list to send, or nothing when the pass was cancelled.
    using Completion = std::function<void(std::optional<std::vector<StudioSource>>)>;

    static constexpr int sides[] = {64, 48, 32, 24, 16};

    static std::shared_ptr<StudioApplicationArtwork> create(Renderer render);

    void artwork(std::vector<StudioSource> sources, Uuid signalID, SourceKeys keys, Images images,
                 std::shared_ptr<const CancelToken> cancel, Completion completion);

  private:
    explicit StudioApplicationArtwork(Renderer render);
    std::optional<std::vector<StudioSource>> pass(const std::vector<StudioSource>& sources,
                                                  const Uuid& signalID, const SourceKeys& keys,
                                                  const Images& images, const CancelToken& cancel);

    const Renderer render_;
    SerialQueue queue_;
    std::map<std::string, std::map<int, Bytes>> cache_;  // only on queue_
};

}  // namespace quillory
