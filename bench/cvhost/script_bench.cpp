#include <benchmark/benchmark.h>

#include <string>

#include "cvhost/command_script.h"

namespace {

// A script at the file-size limit of 64 KiB: settings and many commands.
std::string LargeScript() {
    std::string text =
        "\xEF\xBB\xBF[Modem]\r\nmodem=ktm-ii\r\nbaudrate=115200\r\n"
        "comport=COM7\r\ntelnet=\"Modem.Local\"\r\nautostart=on\r\n";
    int i = 0;
    while (text.size() < 65000) {
        text += (i % 2 == 0) ? "[Term]\r\n" : "[Host]\r\n";
        text += "  MYCALL AB1CD  " + std::to_string(i++) + "\r\n";
    }
    return text;
}

void BM_ParseCommandScript64KiB(benchmark::State& state) {
    const std::string text = LargeScript();
    for (auto _ : state) {
        cvhost::CommandScript script;
        const bool ok = cvhost::ParseCommandScript(
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), script);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(script);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseCommandScript64KiB);

}  // namespace
