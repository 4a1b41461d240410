#include "platform/net/avahi_advertiser.h"

#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& log() {
    static const Logger logger("app.quillory.connection", "dns-sd");
    return logger;
}

AvahiStringList* txtList(const DnsSdService& service) {
    AvahiStringList* list = nullptr;
    for (auto it = service.txt.rbegin(); it != service.txt.rend(); ++it) {
        list = avahi_string_list_add_pair(list, it->first.c_str(), it->second.c_str());
    }
    return list;
}

}  // namespace

Result<std::unique_ptr<DnsSdAdvertiser>, std::string> makeAvahiAdvertiser() {
    auto made = AvahiAdvertiser::create();
    if (!made) {
        return Failure(made.error());
    }
    return std::unique_ptr<DnsSdAdvertiser>(std::move(made).value());
}

Result<std::unique_ptr<AvahiAdvertiser>, std::string> AvahiAdvertiser::create() {
    std::unique_ptr<AvahiAdvertiser> advertiser(new AvahiAdvertiser());
    AvahiAdvertiser* self = advertiser.get();
    auto connection = AvahiConnection::open(
        "advertising", AvahiConnection::Handlers{
                           [self](AvahiClient* client) { self->registerService(client); },
                           [self] { self->resetGroup(); },
                           [self] {
                               // Freed with the client.
                               self->group_ = nullptr;
                               self->client_ = nullptr;
                           },
                       });
    if (!connection) {
        return Failure(connection.error());
    }
    advertiser->connection_ = std::move(connection).value();
    return advertiser;
}

AvahiAdvertiser::~AvahiAdvertiser() {
    connection_.reset();
}

void AvahiAdvertiser::advertise(DnsSdService service) {
    service.name = dnsSdInstanceName(service.name);
    connection_->withClient([&](AvahiClient* client) {
        name_ = service.name;
        service_ = std::move(service);
        resetGroup();
        if (client) {
            registerService(client);
        }
    });
}

void AvahiAdvertiser::withdraw() {
    connection_->withClient([&](AvahiClient*) {
        service_.reset();
        resetGroup();
    });
}

void AvahiAdvertiser::resetGroup() {
    if (group_) {
        avahi_entry_group_reset(group_);
    }
}

void AvahiAdvertiser::registerService(AvahiClient* client) {
    client_ = client;
    if (!service_) {
        return;
    }
    if (!group_) {
        group_ = avahi_entry_group_new(client, &AvahiAdvertiser::groupChanged, this);
        if (!group_) {
            log().error("Cannot create a DNS-SD entry group: %s",
                        avahi_strerror(avahi_client_errno(client)));
            return;
        }
    }
    if (!avahi_entry_group_is_empty(group_)) {
        return;
    }
    AvahiStringList* txt = txtList(*service_);
    for (;;) {
        const int status = avahi_entry_group_add_service_strlst(
            group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), name_.c_str(),
            service_->type.c_str(), nullptr, nullptr, service_->port, txt);
        if (status == AVAHI_ERR_COLLISION) {
            char* alternative = avahi_alternative_service_name(name_.c_str());
            name_ = dnsSdInstanceName(alternative);
            avahi_free(alternative);
            continue;
        }
        if (status < 0) {
            log().error("Cannot advertise “%s”: %s", name_.c_str(), avahi_strerror(status));
        } else if (const int committed = avahi_entry_group_commit(group_); committed < 0) {
            log().error("Cannot advertise “%s”: %s", name_.c_str(), avahi_strerror(committed));
        }
        break;
    }
    avahi_string_list_free(txt);
}

void AvahiAdvertiser::groupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state,
                                   void* context) {
    auto* self = static_cast<AvahiAdvertiser*>(context);
    switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            log().info("Advertising “%s”", self->name_.c_str());
            break;
        case AVAHI_ENTRY_GROUP_COLLISION: {
            // Another host holds the name on the network: take Avahi's alternative.
            char* alternative = avahi_alternative_service_name(self->name_.c_str());
            self->name_ = dnsSdInstanceName(alternative);
            avahi_free(alternative);
            avahi_entry_group_reset(group);
            if (self->client_) {
                self->registerService(self->client_);
            }
            break;
        }
        case AVAHI_ENTRY_GROUP_FAILURE:
            log().error("Advertising failed: %s",
                        avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(group))));
            break;
        case AVAHI_ENTRY_GROUP_UNCOMMITED:
        case AVAHI_ENTRY_GROUP_REGISTERING:
            break;
    }
}

}  // namespace quillory
