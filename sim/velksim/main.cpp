// velksim: simulated Velk modems on one simulated radio channel.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/simulator.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    velksim::CommandLine commandLine;
    std::string error;
    if (!velksim::ParseCommandLine(args, commandLine, error)) {
        std::cerr << "velksim: " << error << "\n\n" << velksim::UsageText();
        return 2;
    }
    if (commandLine.help) {
        std::cout << velksim::UsageText();
        return 0;
    }
    if (commandLine.logFrames) {
        commandLine.options.log = [](const std::string& line) {
            std::fprintf(stderr, "%s\n", line.c_str());
        };
    }

    // Block the stop signals in every thread but the waiting one.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    velksim::Simulator simulator(commandLine.options);
    if (!simulator.Start(error)) {
        std::cerr << "velksim: " << error << "\n";
        return 1;
    }
    for (std::size_t i = 0; i < simulator.modemCount(); ++i) {
        velksim::Modem& modem = simulator.modem(i);
        std::cout << modem.name() << " (call " << modem.call() << ")";
        if (modem.tcpPort() != 0) {
            std::cout << " tcp " << modem.options().tcpAddress << ":" << modem.tcpPort();
        }
        if (!modem.ptyLink().empty()) {
            std::cout << " pty " << modem.ptyLink().string() << " -> " << modem.ptyDevice();
        }
        std::cout << "\n";
    }
    if (simulator.discoveryPort() != 0) {
        std::cout << "discovery on udp port " << simulator.discoveryPort() << "\n";
    }
    std::cout << "time scale " << commandLine.options.channel.timeScale << "; stop with Ctrl+C"
              << std::endl;

    int signal = 0;
    sigwait(&signals, &signal);
    std::cout << "velksim: stopping" << std::endl;
    simulator.Stop();
    return 0;
}
