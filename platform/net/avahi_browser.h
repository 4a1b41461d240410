#pragma once

#include <avahi-client/lookup.h>

#include "platform/net/avahi_connection.h"
#include "platform/net/dns_sd.h"

namespace quillory {

// Browses one service type with whichever Avahi daemon is running and resolves every instance
// it finds; events run on the poll thread.
class AvahiBrowser final : public DnsSdBrowser {
  public:
    static Result<std::unique_ptr<AvahiBrowser>, std::string> create(std::string type,
                                                                     DnsSdEventHandler handler);
    ~AvahiBrowser() override;

  private:
    AvahiBrowser(std::string type, DnsSdEventHandler handler);
    static void browsed(AvahiServiceBrowser* browser, AvahiIfIndex interface,
                        AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                        const char* type, const char* domain, AvahiLookupResultFlags flags,
                        void* context);
    static void resolved(AvahiServiceResolver* resolver, AvahiIfIndex interface,
                         AvahiProtocol protocol, AvahiResolverEvent event, const char* name,
                         const char* type, const char* domain, const char* hostName,
                         const AvahiAddress* address, std::uint16_t port, AvahiStringList* txt,
                         AvahiLookupResultFlags flags, void* context);
    // Poll thread, lock held.
    void begin(AvahiClient* client);

    const std::string type_;
    const DnsSdEventHandler handler_;
    AvahiClient* client_ = nullptr;
    AvahiServiceBrowser* browser_ = nullptr;
    std::unique_ptr<AvahiConnection> connection_;  // last: its thread stops first
};

}  // namespace quillory
