// CRC-32 throughput: Crc32Update (the path the engine picks), our portable
// slice-by-8 and, where the CPU has it, the carry-less-multiply path, each beside
// zlib's crc32 on the same buffer. Every engine is first checked against zlib, so
// a fast wrong answer cannot be timed. Compare bytes_per_second between rows of
// the same size.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "engine/vroCrc.h"

namespace {

using Crc32Engine = uint32_t (*)(const uint8_t* data, size_t len);

const std::vector<uint8_t>& SharedBuffer() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> b(1 << 20);
        uint32_t x = 0x9E3779B9;
        for (uint8_t& v : b) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            v = static_cast<uint8_t>(x);
        }
        return b;
    }();
    return bytes;
}

uint32_t Ours(const uint8_t* data, size_t len) {
    return ~vro::Crc32Update(0xFFFFFFFF, data, len);
}
uint32_t OursPortable(const uint8_t* data, size_t len) {
    return ~vro::Crc32UpdatePortable(0xFFFFFFFF, data, len);
}
uint32_t OursClmul(const uint8_t* data, size_t len) {
    return ~vro::Crc32UpdateClmul(0xFFFFFFFF, data, len);
}
uint32_t Zlib(const uint8_t* data, size_t len) {
    return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(len)));
}

void RunCrc32(benchmark::State& state, Crc32Engine engine) {
    const size_t len = static_cast<size_t>(state.range(0));
    const uint8_t* data = SharedBuffer().data();
    if (engine(data, len) != Zlib(data, len)) {
        state.SkipWithError("result differs from zlib");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(engine(data, len));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(len));
}

void RegisterAll() {
    struct Entry {
        const char* name;
        Crc32Engine engine;
    };
    std::vector<Entry> engines = {
        {"crc32/zlib", Zlib}, {"crc32/brindle", Ours}, {"crc32/brindle_portable", OursPortable}};
    if (vro::Crc32ClmulSupported()) engines.push_back({"crc32/brindle_clmul", OursClmul});
    for (const Entry& e : engines)
        benchmark::RegisterBenchmark(e.name, RunCrc32, e.engine)->Arg(4 << 10)->Arg(1 << 20);
}

} // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
