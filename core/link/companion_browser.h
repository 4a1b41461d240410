#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/net/dns_sd.h"
#include "platform/result/result.h"

namespace quillory {

// A host found on the network, with what its advertisement says about it.
struct CompanionHost {
    std::string name;
    std::string id;        // TXT "id": the host's fingerprint
    std::string version;   // TXT "version"
    std::string platform;  // TXT "platform"
    std::string address;   // numeric, ready to connect to
    std::uint16_t port = 0;

    friend bool operator==(const CompanionHost&, const CompanionHost&) = default;
};

// The tablet's view of the hosts advertised on the network: browses the host service type,
// resolves each instance and keeps one entry per advertised name. Main thread only; changes are
// delivered on the main queue.
class CompanionBrowser : public std::enable_shared_from_this<CompanionBrowser> {
  public:
    using BrowserFactory = std::function<Result<std::unique_ptr<DnsSdBrowser>, std::string>(
        std::string type, DnsSdEventHandler)>;

    // Tests pass a browser they drive.
    static std::shared_ptr<CompanionBrowser> create(BrowserFactory browser = nullptr);
    CompanionBrowser(const CompanionBrowser&) = delete;
    CompanionBrowser& operator=(const CompanionBrowser&) = delete;

    // Fails when browsing cannot run at all.
    Result<void, std::string> start();
    // Forgets every host; no callback follows.
    void stop();
    // Sorted by name; an instance seen over IPv4 and IPv6 is listed once, IPv4 preferred.
    std::vector<CompanionHost> hosts() const;

    std::function<void(const std::vector<CompanionHost>&)> onHostsChanged;
    // The network's first answers are in.
    std::function<void()> onAllForNow;

  private:
    explicit CompanionBrowser(BrowserFactory browser);
    void handle(const DnsSdEvent& event);

    using InstanceKey = std::tuple<std::string, int, int>;  // name, interface, family
    const BrowserFactory makeBrowser_;
    std::unique_ptr<DnsSdBrowser> browser_;
    std::map<InstanceKey, DnsSdInstance> instances_;
    std::uint64_t generation_ = 0;
};

}  // namespace quillory
