// Entry point of every test program: sockets are started before the first
// test, since many tests open links or serve them.

#include <gtest/gtest.h>

#include <cstdio>

#include "link/socket_startup.h"

int main(int argc, char** argv) {
    const corvina::SocketStartup sockets;
    if (!sockets.Started()) {
        std::fprintf(stderr, "%s\n", sockets.Error().c_str());
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
