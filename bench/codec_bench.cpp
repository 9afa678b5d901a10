// The BER codec alone, per message: the GetRequest the query sends and a
// GetResponse of the kind it takes (Counter32 in its 5-byte form).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "snmp/ber.h"

using namespace vsnmp::ber;

namespace {

Message GetRequest()
{
    Message msg;
    msg.community = {'p', 'u', 'b', 'l', 'i', 'c'};
    msg.pduType = TAG_GET_REQUEST;
    msg.requestId = 1;
    VarBind vb;
    vb.name = {1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 2};  // ifInOctets.2
    msg.bindings.push_back(vb);
    return msg;
}

// The reply to it: Counter32 0xFFFFFFF0 in its 5-byte form.
std::vector<uint8_t> GetResponseBytes()
{
    return {0x30, 0x2D, 0x02, 0x01, 0x00, 0x04, 0x06, 'p',  'u',  'b',  'l',  'i',  'c',  0xA2, 0x20, 0x02,
            0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x15, 0x30, 0x13, 0x06, 0x0A, 0x2B, 0x06,
            0x01, 0x02, 0x01, 0x02, 0x02, 0x01, 0x0A, 0x02, 0x41, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xF0};
}

void EncodeGetRequest(benchmark::State &state)
{
    Message msg = GetRequest();
    uint8_t buf[1500];
    size_t len = 0;
    for (auto _ : state) {
        int rc = EncodeMessage(msg, buf, sizeof buf, &len);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(buf);
    }
    state.counters["bytes"] = static_cast<double>(len);
}
BENCHMARK(EncodeGetRequest);

void DecodeGetResponse(benchmark::State &state)
{
    std::vector<uint8_t> bytes = GetResponseBytes();
    for (auto _ : state) {
        Message msg;
        int rc = DecodeMessage(bytes.data(), bytes.size(), &msg);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(msg);
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(DecodeGetResponse);

}  // namespace

BENCHMARK_MAIN();
