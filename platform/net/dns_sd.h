#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/result/result.h"

namespace quillory {

// The longest DNS-SD instance name: one DNS label.
constexpr std::size_t dnsSdNameLimit = 63;

// The name cut to dnsSdNameLimit bytes without splitting a UTF-8 character.
std::string dnsSdInstanceName(std::string_view name);

struct DnsSdService {
    std::string type;  // "_service._tcp"
    std::string name;
    std::uint16_t port = 0;
    std::vector<std::pair<std::string, std::string>> txt;

    friend bool operator==(const DnsSdService&, const DnsSdService&) = default;
};

// Advertises at most one service, best effort: it registers whenever a daemon is there.
// Thread-safe.
class DnsSdAdvertiser {
  public:
    virtual ~DnsSdAdvertiser() = default;
    virtual void advertise(DnsSdService service) = 0;
    virtual void withdraw() = 0;
};

// One resolved instance of a browsed service type.
struct DnsSdInstance {
    std::string name;
    std::string hostName;
    std::string address;  // numeric; an IPv6 link-local address carries "%interface"
    std::uint16_t port = 0;
    std::map<std::string, std::string> txt;
    int interfaceIndex = -1;
    int family = 0;  // AF_INET or AF_INET6: the protocol the instance was seen on

    friend bool operator==(const DnsSdInstance&, const DnsSdInstance&) = default;
};

struct DnsSdEvent {
    enum class Kind {
        resolved,   // instance complete
        removed,    // instance.name, interfaceIndex and family set
        allForNow,  // the first answers are in
        reset,      // the daemon went away: forget every instance
    };
    Kind kind = Kind::resolved;
    DnsSdInstance instance;
};

// Browses one service type and resolves what it finds; events arrive on the browser's own
// thread. Browsing stops when the object is destroyed.
class DnsSdBrowser {
  public:
    virtual ~DnsSdBrowser() = default;
};

using DnsSdEventHandler = std::function<void(const DnsSdEvent&)>;

// The error says why no Avahi poll could run.
Result<std::unique_ptr<DnsSdAdvertiser>, std::string> makeAvahiAdvertiser();
Result<std::unique_ptr<DnsSdBrowser>, std::string> makeAvahiBrowser(std::string type,
                                                                    DnsSdEventHandler handler);

}  // namespace quillory
