#pragma once

#include <avahi-client/publish.h>

#include <optional>

#include "platform/net/avahi_connection.h"
#include "platform/net/dns_sd.h"

namespace quillory {

// Keeps one service registered with whichever Avahi daemon is running; a name taken by another
// host is replaced by Avahi's alternative name.
class AvahiAdvertiser final : public DnsSdAdvertiser {
  public:
    static Result<std::unique_ptr<AvahiAdvertiser>, std::string> create();
    ~AvahiAdvertiser() override;

    void advertise(DnsSdService service) override;
    void withdraw() override;

  private:
    AvahiAdvertiser() = default;
    static void groupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state, void* context);
    // Poll thread, lock held.
    void registerService(AvahiClient* client);
    void resetGroup();

    std::optional<DnsSdService> service_;
    std::string name_;  // the name in use, after any alternatives
    AvahiEntryGroup* group_ = nullptr;
    AvahiClient* client_ = nullptr;
    std::unique_ptr<AvahiConnection> connection_;  // last: its thread stops first
};

}  // namespace quillory
