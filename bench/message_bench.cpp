// Message format costs: tag-path lookup in a device-list reply of realistic
// size, and escaping of free text.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "gen-str.h"
#include "message-protocol.h"

namespace {

// A LIST_DEVICES_AND_TESTS reply: 100 devices, each with one component of
// ten tests.
std::string DeviceListReply() {
    std::string data;
    for (int device = 0; device < 100; ++device) {
        data += "<DEVICE><HWLOCATOR>/dev/sd" + std::to_string(device) +
                "</HWLOCATOR><DEVTYPE>HD</DEVTYPE><COMPONENT><ID>VeLkHardDrive</ID><DID>" +
                std::to_string(device) + "</DID>";
        for (int test = 0; test < 10; ++test) {
            data += "<TEST><NAME><NLS mod=VeLkHardDrive id=" + std::to_string(100 + test) +
                    "/></NAME><ID>" + std::to_string(test) +
                    "</ID><DESCRIPTION><NLS mod=VeLkHardDrive id=" + std::to_string(200 + test) +
                    "/></DESCRIPTION><FLAGS>32</FLAGS><TIMEOUT>600</TIMEOUT></TEST>";
        }
        data += "</COMPONENT></DEVICE>";
    }
    CGenStr message;
    CGenStrInit(&message);
    VelkClientCreateEngineCommand(VELK_MSG_TO_DIAGENGINE, nullptr, VELK_MSG_TYPE_DE_COMMAND,
                                  data.c_str(), &message);
    std::string text = CGenStrC_Str(&message);
    CGenStrDelete(&message);
    return text;
}

void BM_LookupKthDevice(benchmark::State& state) {
    const std::string reply = DeviceListReply();
    const int k = static_cast<int>(state.range(0));
    CGenStr device;
    CGenStrInit(&device);
    for (auto _ : state) {
        int result = VelkXmlGetFieldStr(reply.c_str(), "MSG/DATA/DEVICE", k, &device);
        benchmark::DoNotOptimize(result);
        if (result != 0) {
            state.SkipWithError("device not found");
            break;
        }
    }
    CGenStrDelete(&device);
    state.counters["reply_bytes"] = static_cast<double>(reply.size());
}
BENCHMARK(BM_LookupKthDevice)->Arg(0)->Arg(50)->Arg(99);

// 4 KiB of text: either everything passes unescaped, or roughly one byte in
// eight needs an escape (markup, line feeds, "@", non-ASCII).
std::string FourKiBText(bool mixed) {
    const std::string passing = "Device sda passed the surface scan (sector 4711) ";
    const std::string escaping = "<ERR>: 50% @line\n\xc3\xa9";
    std::string text;
    while (text.size() < 4096) {
        text += mixed && text.size() % 3 == 0 ? escaping : passing;
    }
    text.resize(4096);
    return text;
}

void BM_Escape(benchmark::State& state, bool mixed) {
    const std::string text = FourKiBText(mixed);
    for (auto _ : state) {
        char* escaped = VelkXmlAllocStringAndConvertToXml(text.c_str());
        benchmark::DoNotOptimize(escaped);
        if (escaped != text.c_str()) {
            free(escaped);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4096);
}
BENCHMARK_CAPTURE(BM_Escape, mixed, true);
BENCHMARK_CAPTURE(BM_Escape, all_passing, false);

}  // namespace
