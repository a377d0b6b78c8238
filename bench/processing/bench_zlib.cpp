// The zlib framing of a 4 KiB text memo (script lines of a profile), encode and decode, and
// the whole stored-image path with the database's cipher.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/processing/Compress_Zlib.h"
#include "store/processing/StoreProcessing.h"

namespace {

using namespace quorv::store;

constexpr size_t kMemoSize = 4096;

std::vector<uint8_t> Memo() {
    static const char* const kWords[] = {
        "netsh",          "interface", "ip",      "set",     "address", "dns",
        "static",         "dhcp",      "gateway", "primary", "Local",   "Area",
        "Network",        "ping",      "-n",      "3",       "route",   "add",
        "mask",           "metric",    "echo",    "net",     "use",     "\\\\server\\share",
        "/persistent:no", "ipconfig",  "/renew"};
    std::string text;
    uint32_t x = 0x2545F491;
    while (text.size() < kMemoSize) {
        x = x * 1664525 + 1013904223;
        const uint32_t pick = x >> 24;
        if (pick % 9 == 0) {
            text += std::to_string(10 + pick % 190) + "." + std::to_string(pick % 255) + ".1." +
                    std::to_string(1 + (x >> 8) % 254);
        } else {
            text += kWords[pick % (sizeof(kWords) / sizeof(kWords[0]))];
        }
        text += (pick % 7 == 0) ? "\r\n" : " ";
    }
    text.resize(kMemoSize);
    return {text.begin(), text.end()};
}

void BM_ZlibEncode(benchmark::State& state) {
    TCompAlgo_Zlib algo(nullptr);
    TMemoryStream src(Memo()), dst;
    for (auto _ : state) {
        algo.EncodeData(&src, &dst, 0);
        benchmark::DoNotOptimize(dst.Memory());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMemoSize);
    state.counters["image"] = static_cast<double>(dst.Size());
}
BENCHMARK(BM_ZlibEncode);

void BM_ZlibDecode(benchmark::State& state) {
    TCompAlgo_Zlib algo(nullptr);
    TMemoryStream src(Memo()), image, dst;
    algo.EncodeData(&src, &image, 0);
    for (auto _ : state) {
        algo.DecodeData(&image, &dst, 0);
        benchmark::DoNotOptimize(dst.Memory());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMemoSize);
}
BENCHMARK(BM_ZlibDecode);

// Peer: zlib's one-call compress2 at the same level, without the framing and the adapter.
void BM_ZlibCompress2Peer(benchmark::State& state) {
    const std::vector<uint8_t> memo = Memo();
    std::vector<uint8_t> out(compressBound(kMemoSize));
    for (auto _ : state) {
        uLongf len = out.size();
        compress2(out.data(), &len, memo.data(), kMemoSize, Z_DEFAULT_COMPRESSION);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMemoSize);
}
BENCHMARK(BM_ZlibCompress2Peer);

// Compressed, then enciphered with GOST: what a memo write of the program's database costs.
void BM_StoredImageGost(benchmark::State& state) {
    TStoreProcessing p;
    p.CompressMgr().SetAlgoName("ZLIB");
    p.EncryptMgr().SetAlgoName("Gost");
    p.EncryptMgr().InitKey("8074");
    TMemoryStream src(Memo()), image, back;
    for (auto _ : state) {
        p.EncodeStream(src, image, true, true);
        p.DecodeStream(image, back, true, true);
        benchmark::DoNotOptimize(back.Memory());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMemoSize);
}
BENCHMARK(BM_StoredImageGost);

}  // namespace
