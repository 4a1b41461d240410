#include <condition_variable>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>

#include "app/studio/bench/glass_bench_senders.h"
#include "app/studio/bench/glass_to_glass_measures.h"
#include "app/studio/mac_studio_session.h"
#include "app/studio/system_studio.h"
#include "media/studio_default_transport.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/serial_queue.h"
#include "protocol/json_codec.h"

namespace quillory::bench {

namespace {

Json report(const StudioPerformanceTrace& trace, double from, double to) {
    std::vector<EncodedOutput> outputs;
    double bytes = 0;
    for (const auto& event : trace.snapshot().recentEvents) {
        if (event.stage != StudioPerformanceTrace::Stage::encodedOutput ||
            !event.captureTimestampNs) {
            continue;
        }
        const double uptime = trace.origin() + event.elapsedSeconds;
        if (uptime >= from && uptime < to) {
            bytes += event.value.value_or(0);
        }
        outputs.push_back({uptime, *event.captureTimestampNs});
    }
    const auto delays = hostShareMilliseconds(outputs, from, to);
    Json handedOn = Json::array();
    for (const auto& output : outputs) {
        // A little before the window too: the first frames of the window were captured then.
        if (output.uptimeSeconds >= from - 1 && output.uptimeSeconds < to) {
            handedOn.push_back(Json::array({output.uptimeSeconds, output.captureNanoseconds}));
        }
    }
    return Json{{"report",
                 {{"hostShare", delays},
                  {"bytes", bytes},
                  {"frames", delays.size()},
                  {"outputs", handedOn}}}};
}

// The application's Studio, with the media stack linked in rather than loaded beside the
// application, and the encoder's events in `trace`.
MacStudioSession::Environment environment(const std::shared_ptr<X11Desktop>& desktop,
                                          const std::shared_ptr<StudioPerformanceTrace>& trace) {
    auto e = SystemStudio::environment(desktop, nullptr, 0);
    e.peer = StudioPeer::Environment::standard(studioDefaultTransportFactory());
    e.makeEncoderFactory = [clock = e.peer.clock, trace](auto onFailure) {
        auto factory = std::make_shared<StudioHardwareEncoderFactory>(std::move(onFailure), clock);
        factory->setTrace(trace);
        return factory;
    };
    return e;
}

}  // namespace

int runOurSender() {
    auto main = std::make_shared<SerialQueue>("main");
    MainQueue::install(main);
    const auto connected = X11Desktop::connect(nullptr);
    if (!connected) {
        emitLine({{"failure", "no X server: " + connected.error()}});
        return 1;
    }
    const auto& desktop = connected.value();
    const auto trace = std::make_shared<StudioPerformanceTrace>(
        StudioPerformanceTrace::maximumCapacity, StudioPerformanceTrace::maximumStartupCapacity,
        uptimeSeconds());
    auto studio = environment(desktop, trace);
    const std::shared_ptr<Executor> control = studio.peer.controlQueue;
    auto session = MacStudioSession::create(std::move(studio));
    const std::weak_ptr<MacStudioSession> weak = session;
    main->post([weak] {
        const auto self = weak.lock();
        if (!self) {
            return;
        }
        self->localAddress = [] { return std::optional<std::string>("127.0.0.1"); };
        self->send = [](const StudioSignal& signal) { emitLine({{"signal", signal.toJSON()}}); };
        self->onChange = [weak](MacStudioSession::Published published) {
            const auto current = weak.lock();
            if (!current) {
                return;
            }
            if (published == MacStudioSession::Published::status && current->status()) {
                emitLine({{"status", *current->status()}});
            } else if (published == MacStudioSession::Published::failure && current->failure()) {
                emitLine({{"failure", *current->failure()}});
            }
        };
    });

    std::string line;
    while (std::getline(std::cin, line)) {
        const Json command = Json::parse(line, nullptr, false);
        if (command.is_discarded() || !command.is_object()) {
            continue;
        }
        if (command.contains("signal")) {
            if (const auto signal = StudioSignal::fromJSON(command["signal"])) {
                main->post([weak, received = *signal] {
                    if (const auto self = weak.lock()) {
                        self->handle(received);
                    }
                });
            }
        } else if (command.contains("report")) {
            const double from = command["report"].value("from", 0.0);
            const double to = command["report"].value("to", 0.0);
            emitLine(report(*trace, from, to));
        } else if (command.contains("policy")) {
            // The adaptation's latest assessment, read where the policy lives.
            {
                main->post([weak, control] {
                    const auto self = weak.lock();
                    const auto peer = self ? self->peer() : nullptr;
                    if (!peer) {
                        return;
                    }
                    control->post([weakPeer = std::weak_ptr<StudioPeer>(peer)] {
                        const auto current = weakPeer.lock();
                        if (current && current->operatingPolicy() &&
                            current->operatingPolicy()->assessment()) {
                            emitLine({{"policy",
                                       nlohmann::json(
                                           current->operatingPolicy()->assessment()->toJSON())}});
                        }
                    });
                });
            }
        } else if (command.contains("trace") && command["trace"].is_string()) {
            std::ofstream(command["trace"].get<std::string>())
                << trace->snapshot().toJSON().dump(1);
        }
    }

    std::mutex doneLock;
    std::condition_variable doneChanged;
    bool done = false;
    main->post([&] {
        session->tearDown();
        session.reset();
        std::lock_guard lock(doneLock);
        done = true;
        doneChanged.notify_all();
    });
    std::unique_lock lock(doneLock);
    doneChanged.wait(lock, [&] { return done; });
    return 0;
}

}  // namespace quillory::bench
