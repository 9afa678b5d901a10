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

std::vector<uint8_t> GetResponseBytes()
{
    Message msg = GetRequest();
    msg.pduType = TAG_GET_RESPONSE;
    msg.bindings[0].value.tag = TAG_COUNTER32;
    msg.bindings[0].value.number = 0xFFFFFFF0u;
    uint8_t buf[512];
    size_t len = 0;
    EncodeMessage(msg, buf, sizeof buf, &len);
    return std::vector<uint8_t>(buf + sizeof buf - len, buf + sizeof buf);
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
