#include "platform/net/avahi_browser.h"

#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <net/if.h>

#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& log() {
    static const Logger logger("app.quillory.connection", "dns-sd");
    return logger;
}

std::string numericAddress(const AvahiAddress& address, AvahiIfIndex interface) {
    char text[AVAHI_ADDRESS_STR_MAX] = {};
    avahi_address_snprint(text, sizeof text, &address);
    std::string result = text;
    // A link-local IPv6 address means nothing without its interface.
    if (address.proto == AVAHI_PROTO_INET6 && result.rfind("fe80:", 0) == 0) {
        char name[IF_NAMESIZE] = {};
        if (::if_indextoname(static_cast<unsigned>(interface), name)) {
            result += "%";
            result += name;
        }
    }
    return result;
}

std::map<std::string, std::string> txtRecords(AvahiStringList* list) {
    std::map<std::string, std::string> records;
    for (; list; list = avahi_string_list_get_next(list)) {
        char* key = nullptr;
        char* value = nullptr;
        if (avahi_string_list_get_pair(list, &key, &value, nullptr) == 0) {
            records.emplace(key, value ? value : "");
            avahi_free(key);
            avahi_free(value);
        }
    }
    return records;
}

}  // namespace

Result<std::unique_ptr<DnsSdBrowser>, std::string> makeAvahiBrowser(std::string type,
                                                                    DnsSdEventHandler handler) {
    auto made = AvahiBrowser::create(std::move(type), std::move(handler));
    if (!made) {
        return Failure(made.error());
    }
    return std::unique_ptr<DnsSdBrowser>(std::move(made).value());
}

AvahiBrowser::AvahiBrowser(std::string type, DnsSdEventHandler handler)
    : type_(std::move(type)), handler_(std::move(handler)) {}

Result<std::unique_ptr<AvahiBrowser>, std::string> AvahiBrowser::create(std::string type,
                                                                        DnsSdEventHandler handler) {
    std::unique_ptr<AvahiBrowser> browser(new AvahiBrowser(std::move(type), std::move(handler)));
    AvahiBrowser* self = browser.get();
    auto connection = AvahiConnection::open(
        "browsing", AvahiConnection::Handlers{
                        [self](AvahiClient* client) { self->begin(client); },
                        nullptr,
                        [self] {
                            // Freed with the client, resolvers included.
                            self->browser_ = nullptr;
                            self->client_ = nullptr;
                            self->handler_(DnsSdEvent{DnsSdEvent::Kind::reset, {}});
                        },
                    });
    if (!connection) {
        return Failure(connection.error());
    }
    browser->connection_ = std::move(connection).value();
    return browser;
}

AvahiBrowser::~AvahiBrowser() {
    connection_.reset();
}

void AvahiBrowser::begin(AvahiClient* client) {
    client_ = client;
    if (browser_) {
        return;
    }
    browser_ =
        avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type_.c_str(),
                                  nullptr, AvahiLookupFlags(0), &AvahiBrowser::browsed, this);
    if (!browser_) {
        log().error("Cannot browse %s: %s", type_.c_str(),
                    avahi_strerror(avahi_client_errno(client)));
    }
}

void AvahiBrowser::browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
                           AvahiBrowserEvent event, const char* name, const char* type,
                           const char* domain, AvahiLookupResultFlags, void* context) {
    auto* self = static_cast<AvahiBrowser*>(context);
    switch (event) {
        case AVAHI_BROWSER_NEW:
            // The resolver frees itself in its callback, or with the client.
            if (!avahi_service_resolver_new(self->client_, interface, protocol, name, type, domain,
                                            protocol, AvahiLookupFlags(0), &AvahiBrowser::resolved,
                                            self)) {
                log().error("Cannot resolve “%s”: %s", name,
                            avahi_strerror(avahi_client_errno(self->client_)));
            }
            break;
        case AVAHI_BROWSER_REMOVE: {
            DnsSdEvent removed{DnsSdEvent::Kind::removed, {}};
            removed.instance.name = name;
            removed.instance.interfaceIndex = interface;
            removed.instance.family = avahi_proto_to_af(protocol);
            self->handler_(removed);
            break;
        }
        case AVAHI_BROWSER_ALL_FOR_NOW:
            self->handler_(DnsSdEvent{DnsSdEvent::Kind::allForNow, {}});
            break;
        case AVAHI_BROWSER_FAILURE:
            log().error("Browsing %s failed: %s", self->type_.c_str(),
                        avahi_strerror(avahi_client_errno(self->client_)));
            break;
        case AVAHI_BROWSER_CACHE_EXHAUSTED:
            break;
    }
}

void AvahiBrowser::resolved(AvahiServiceResolver* resolver, AvahiIfIndex interface,
                            AvahiProtocol protocol, AvahiResolverEvent event, const char* name,
                            const char*, const char*, const char* hostName,
                            const AvahiAddress* address, std::uint16_t port, AvahiStringList* txt,
                            AvahiLookupResultFlags, void* context) {
    auto* self = static_cast<AvahiBrowser*>(context);
    if (event == AVAHI_RESOLVER_FOUND && address) {
        DnsSdEvent found{DnsSdEvent::Kind::resolved, {}};
        found.instance.name = name;
        found.instance.hostName = hostName ? hostName : "";
        found.instance.address = numericAddress(*address, interface);
        found.instance.port = port;
        found.instance.txt = txtRecords(txt);
        found.instance.interfaceIndex = interface;
        found.instance.family = avahi_proto_to_af(protocol);
        self->handler_(found);
    } else {
        log().info("Cannot resolve “%s”", name);
    }
    avahi_service_resolver_free(resolver);
}

}  // namespace quillory
