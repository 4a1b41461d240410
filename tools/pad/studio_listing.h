#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "protocol/studio_signal.h"

namespace quillory::pad {

// Follows the answer to one "listSources": the list, then at most one thumbnail per listed
// source. Signals of other requests and thumbnails of unlisted sources are not taken.
class StudioListing {
  public:
    enum class Step { ignored, sources, thumbnail, failure };

    explicit StudioListing(Uuid request) : request_(request) {}

    Step take(const StudioSignal& signal);
    // The list has come and every source in it has its thumbnail.
    bool complete() const;
    bool hasSources() const { return sources_.has_value(); }
    const std::vector<StudioSource>& sources() const;
    std::size_t thumbnails() const { return thumbnails_.size(); }
    const Uuid& request() const { return request_; }

  private:
    Uuid request_;
    std::optional<std::vector<StudioSource>> sources_;
    std::map<Uuid, std::size_t> thumbnails_;  // source id to JPEG size
};

struct ImageSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const ImageSize&, const ImageSize&) = default;
};

// The size a PNG's header states; none when the bytes are no PNG.
std::optional<ImageSize> pngSize(const Bytes& png);
// The size a JPEG's first frame header states; none when there is none.
std::optional<ImageSize> jpegSize(const Bytes& jpeg);

// The source a share names: by id, or the window titled `window`. The computer shortens long
// titles in its list, so a listed window whose title begins `window` matches too when it is the
// only one. A message for the user when none or several match.
std::variant<StudioSource, std::string> chooseSource(const std::vector<StudioSource>& sources,
                                                     const std::optional<Uuid>& id,
                                                     const std::optional<std::string>& window);

// "display  Main display", "window  Notes — Text Editor  icon 64×64".
std::string sourceText(const StudioSource& source);

}  // namespace quillory::pad
