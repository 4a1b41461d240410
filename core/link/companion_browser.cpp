#include "core/link/companion_browser.h"

#include <sys/socket.h>

#include <algorithm>

#include "core/link/companion_listener.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {

namespace {

std::string txtValue(const DnsSdInstance& instance, const std::string& key) {
    const auto found = instance.txt.find(key);
    return found == instance.txt.end() ? std::string() : found->second;
}

}  // namespace

std::shared_ptr<CompanionBrowser> CompanionBrowser::create(BrowserFactory browser) {
    if (!browser) {
        browser = makeAvahiBrowser;
    }
    return std::shared_ptr<CompanionBrowser>(new CompanionBrowser(std::move(browser)));
}

CompanionBrowser::CompanionBrowser(BrowserFactory browser) : makeBrowser_(std::move(browser)) {}

Result<void, std::string> CompanionBrowser::start() {
    QUILLORY_CHECK_MAIN_THREAD();
    stop();
    const auto generation = ++generation_;
    std::weak_ptr<CompanionBrowser> weak = weak_from_this();
    auto made =
        makeBrowser_(CompanionListener::serviceType, [weak, generation](const DnsSdEvent& event) {
            MainQueue::post([weak, generation, event] {
                if (auto self = weak.lock(); self && self->generation_ == generation) {
                    self->handle(event);
                }
            });
        });
    if (!made) {
        return Failure(made.error());
    }
    browser_ = std::move(made).value();
    return {};
}

void CompanionBrowser::stop() {
    QUILLORY_CHECK_MAIN_THREAD();
    ++generation_;
    browser_.reset();
    instances_.clear();
}

void CompanionBrowser::handle(const DnsSdEvent& event) {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto before = hosts();
    const auto& instance = event.instance;
    switch (event.kind) {
        case DnsSdEvent::Kind::resolved:
            instances_[{instance.name, instance.interfaceIndex, instance.family}] = instance;
            break;
        case DnsSdEvent::Kind::removed:
            instances_.erase({instance.name, instance.interfaceIndex, instance.family});
            break;
        case DnsSdEvent::Kind::reset:
            instances_.clear();
            break;
        case DnsSdEvent::Kind::allForNow:
            if (onAllForNow) {
                onAllForNow();
            }
            return;
    }
    if (auto after = hosts(); after != before && onHostsChanged) {
        onHostsChanged(after);
    }
}

std::vector<CompanionHost> CompanionBrowser::hosts() const {
    QUILLORY_CHECK_MAIN_THREAD();
    std::map<std::string, const DnsSdInstance*> chosen;
    for (const auto& [key, instance] : instances_) {
        auto& slot = chosen[instance.name];
        if (!slot || (slot->family != AF_INET && instance.family == AF_INET)) {
            slot = &instance;
        }
    }
    std::vector<CompanionHost> hosts;
    for (const auto& [name, instance] : chosen) {
        hosts.push_back(
            CompanionHost{name, txtValue(*instance, "id"), txtValue(*instance, "version"),
                          txtValue(*instance, "platform"), instance->address, instance->port});
    }
    return hosts;
}

}  // namespace quillory
