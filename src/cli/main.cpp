// corvina-cli: the headless station.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/interrupt_watch.h"
#include "cli/station_runs.h"
#include "session/transcript_writer.h"

int main(int argc, char** argv) {
    using namespace corvina::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    std::string error;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "corvina-cli: %s\n%s", error.c_str(),
                     HelpText(options.command).c_str());
        return kExitUsage;
    }
    if (options.command == Command::Help || options.help) {
        std::fputs(HelpText(options.command).c_str(), stdout);
        return kExitOk;
    }
    InterruptWatch::BlockSignals();  // before the transcript's thread starts
    const EventReport report(options.json);
    std::unique_ptr<corvina::TranscriptWriter> transcript;
    if (!options.log.empty()) {
        transcript = std::make_unique<corvina::TranscriptWriter>(options.log);
    }
    HeadlessStation station(options, report, transcript.get());
    int status = kExitOk;
    {
        InterruptWatch watch([&station] { station.Interrupt(); });
        switch (options.command) {
            case Command::Send:
                status = RunSend(station, options);
                break;
            case Command::Listen:
                status = RunListen(station, options);
                break;
            case Command::Chat:
                status = RunChat(station, options);
                break;
            case Command::Help:
                break;
        }
    }
    station.Emit(report.Exit(status, std::chrono::system_clock::now()));
    return status;
}
