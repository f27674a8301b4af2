// Inflate throughput: our TInflater beside zlib's inflate and libdeflate on the
// same raw DEFLATE streams (each input compressed once by zlib at level 6), in one
// process, best of several rounds in which the three take turns.
//
//   inflate_bench [--runs=N] [FILE...]
//
// Without files it reads build/bench-corpus/big/*.bin (made by corpus-gen.sh of
// the shared bench folder). The engines are fed the way the archive engine uses
// them: ours pulls its input in 32 KiB pieces and hands out 32 KiB pieces; zlib
// streams into a 32 KiB output buffer; libdeflate decodes the whole buffer at once
// (the speed it is known for). Every engine's output is compared with the original
// on every run, inside the timing, so all three pay the same comparison and a fast
// wrong answer fails the run. The ratios are speeds: above 1, ours is faster.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "engine/vroInflate.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kPiece = 32768;

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Raw DEFLATE (no zlib header) at level 6, zlib's default.
Bytes CompressRaw(const Bytes& data) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Each engine decodes `packed` and returns true when the output equals `original`.
bool RunOurs(vro::TInflater& inflater, const Bytes& packed, const Bytes& original) {
    size_t inPos = 0;
    size_t outPos = 0;
    const auto input = [&](uint8_t* buffer, size_t capacity) {
        const size_t n = std::min({capacity, kPiece, packed.size() - inPos});
        std::memcpy(buffer, packed.data() + inPos, n);
        inPos += n;
        return n;
    };
    const auto output = [&](const uint8_t* data, size_t size) {
        if (size > original.size() - outPos ||
            std::memcmp(data, original.data() + outPos, size) != 0)
            return false;
        outPos += size;
        return true;
    };
    return inflater.Inflate(input, output) == vro::TInflateResult::Done &&
           outPos == original.size();
}

bool RunZlib(const Bytes& packed, const Bytes& original) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    uint8_t buffer[kPiece];
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    size_t outPos = 0;
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        const size_t got = sizeof buffer - z.avail_out;
        if (got > original.size() - outPos ||
            std::memcmp(buffer, original.data() + outPos, got) != 0)
            rc = Z_DATA_ERROR;
        outPos += got;
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END && outPos == original.size();
}

bool RunLibdeflate(libdeflate_decompressor* d, const Bytes& packed, const Bytes& original,
                   Bytes& scratch) {
    size_t got = 0;
    return libdeflate_deflate_decompress(d, packed.data(), packed.size(), scratch.data(),
                                         scratch.size(), &got) == LIBDEFLATE_SUCCESS &&
           got == original.size() && std::memcmp(scratch.data(), original.data(), got) == 0;
}

// One engine's runs: the best time in seconds, and whether every output matched.
struct Timing {
    double best = 1e30;
    bool ok = true;
};

// Runs the engines in turn, `runs` rounds, so that a busy moment on the machine
// slows all of them alike rather than one.
std::vector<Timing> TimeRounds(int runs, const std::vector<std::function<bool()>>& engines) {
    std::vector<Timing> timings(engines.size());
    for (int round = 0; round < runs; ++round)
        for (size_t i = 0; i < engines.size(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            const bool ok = engines[i]();
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            timings[i].ok = timings[i].ok && ok;
            timings[i].best = std::min(timings[i].best, took.count());
        }
    return timings;
}

std::vector<std::filesystem::path> DefaultFiles() {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path dir = BRINDLE_BENCH_CORPUS;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 10;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--runs=", 0) == 0)
            runs = std::max(1, std::atoi(arg.c_str() + 7));
        else
            files.emplace_back(arg);
    }
    if (files.empty()) files = DefaultFiles();
    if (files.empty()) {
        std::fprintf(stderr, "no input: pass files or run corpus-gen.sh into %s/..\n",
                     BRINDLE_BENCH_CORPUS);
        return 1;
    }

    vro::TInflater inflater;
    libdeflate_decompressor* ld = libdeflate_alloc_decompressor();
    std::printf("%-12s %10s %7s %12s %12s %12s %10s %10s\n", "file", "bytes", "packed", "ours MB/s",
                "zlib MB/s", "ldefl MB/s", "ours/zlib", "ours/ldefl");
    int failures = 0;
    for (const auto& path : files) {
        const Bytes original = ReadFile(path);
        const Bytes packed = CompressRaw(original);
        Bytes scratch(original.size());
        const std::vector<Timing> t =
            TimeRounds(runs, {[&] { return RunOurs(inflater, packed, original); },
                              [&] { return RunZlib(packed, original); },
                              [&] { return RunLibdeflate(ld, packed, original, scratch); }});
        if (!t[0].ok || !t[1].ok || !t[2].ok) {
            std::printf("%-12s output differs (ours %s, zlib %s, libdeflate %s)\n",
                        path.filename().c_str(), t[0].ok ? "ok" : "FAIL", t[1].ok ? "ok" : "FAIL",
                        t[2].ok ? "ok" : "FAIL");
            ++failures;
            continue;
        }
        const double ours = t[0].best, zlib = t[1].best, ldefl = t[2].best;
        const double mb = static_cast<double>(original.size()) / 1e6;
        std::printf("%-12s %10zu %6.1f%% %12.0f %12.0f %12.0f %10.2f %10.2f\n",
                    path.filename().c_str(), original.size(),
                    100.0 * static_cast<double>(packed.size()) /
                        static_cast<double>(std::max<size_t>(original.size(), 1)),
                    mb / ours, mb / zlib, mb / ldefl, zlib / ours, ldefl / ours);
    }
    libdeflate_free_decompressor(ld);
    return failures == 0 ? 0 : 1;
}
