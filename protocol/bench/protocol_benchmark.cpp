// The hot path of the link: one "input" payload of 8 pen samples, decoded and validated from its
// JSON text, and encoded.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "protocol/packet_decoder.h"
#include "protocol/session_payload.h"

namespace quillory {
namespace {

SessionPayload inputPayload() {
    SessionPayload payload{.kind = SessionPayload::Kind::input,
                           .counter = 123'456,
                           .samples = std::vector<PenSample>{}};
    const Uuid studio = Uuid::random();
    for (std::uint64_t index = 0; index < 8; ++index) {
        const double step = static_cast<double>(index);
        payload.samples->push_back(
            {.sequence = 9'000 + index,
             .phase = index == 0 ? PenSample::Phase::began : PenSample::Phase::moved,
             .x = 0.412345678 + step * 0.0013,
             .y = 0.587654321 - step * 0.0021,
             .pressure = 0.3333 + step * 0.01,
             .altitude = 1.0471975511965976,
             .azimuth = 2.356194490192345,
             .timestamp = 73'512.004166666 + step * 0.004166666,
             .studioID = studio});
    }
    return payload;
}

void decodeAndValidateInput(benchmark::State& state) {
    const std::string text = inputPayload().encode();
    for (auto _ : state) {
        auto payload = SessionPayload::decode(text);
        if (!payload || !payload->isValid()) {
            std::abort();
        }
        benchmark::DoNotOptimize(payload);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(decodeAndValidateInput);

void encodeInput(benchmark::State& state) {
    const SessionPayload payload = inputPayload();
    for (auto _ : state) {
        std::string text = payload.encode();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(encodeInput);

void decodePacketLine(benchmark::State& state) {
    const std::string text = inputPayload().encode();
    const std::string line =
        SessionPacket{SessionPacket::Kind::sealed, Bytes(text.begin(), text.end())}.encodeLine();
    PacketDecoder decoder;
    for (auto _ : state) {
        auto result = decoder.append(asBytes(line));
        if (result.packets.size() != 1) {
            std::abort();
        }
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(decodePacketLine);

}  // namespace
}  // namespace quillory
