// Cost of building request frames and parsing replies, per framing.
#include "VProtocol_Client.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {
struct Codec : VProtocol_Client
{
    uint8_t out[500] = {};
    explicit Codec(int mode) : VProtocol_Client(out, mode) {}
};

void BuildJogRequest(benchmark::State& state)
{
    Codec codec(int(state.range(0)));
    int32_t feed = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.CmdJogMotionV_Run(1, 2, ++feed, 0, 0));
}
BENCHMARK(BuildJogRequest)->Arg(0)->Arg(1)->Arg(2);

void BuildPollOf62Variables(benchmark::State& state)
{
    Codec codec(0);
    std::vector<int32_t> addresses(62);
    for (int i = 0; i < 62; ++i)
        addresses[i] = 1000000 + i;
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.CmdReadVars(addresses.data(), 62));
}
BENCHMARK(BuildPollOf62Variables);

void ParseReplyOf62Values(benchmark::State& state)
{
    const int n = 7 + 2 + 62 * 4;
    uint8_t frame[500] = {};
    frame[4] = uint8_t(n - 6);
    frame[7] = 'B';
    frame[8] = 62;
    for (auto _ : state)
        benchmark::DoNotOptimize(CommandCodec::decode(frame, n, 0).values.size());
}
BENCHMARK(ParseReplyOf62Values);
}
