#pragma once

#include <optional>
#include <vector>

#include "platform/net/dns_sd.h"

namespace quillory::testing {

// Each call in order: a service advertised, or nothing for a withdrawal.
using Advertised = std::vector<std::optional<DnsSdService>>;

// An advertiser that records its calls instead of advertising.
class RecordingAdvertiser final : public DnsSdAdvertiser {
  public:
    explicit RecordingAdvertiser(Advertised& calls) : calls_(calls) {}
    void advertise(DnsSdService service) override { calls_.emplace_back(std::move(service)); }
    void withdraw() override { calls_.emplace_back(std::nullopt); }

  private:
    Advertised& calls_;
};

}  // namespace quillory::testing
