#pragma once

// Network namespaces for the discovery tests: real interfaces joined by veth
// pairs, so broadcasts really travel. Needs root (as the tests run in CI); a
// setup step that fails makes ok() false, and the tests then fail.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

namespace corvina::testing {

// Runs a shell command; true when it exited with 0.
inline bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

class NetworkNamespace {
  public:
    // Creates the namespace `name` with its loopback up.
    explicit NetworkNamespace(std::string name) : name_(std::move(name)) {
        Shell("ip netns del " + name_);
        ok_ = Shell("ip netns add " + name_) && Exec("ip link set lo up");
    }
    ~NetworkNamespace() { Shell("ip netns del " + name_); }
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    bool ok() const { return ok_; }
    const std::string& name() const { return name_; }

    // Runs `command` inside the namespace.
    bool Exec(const std::string& command) const {
        return Shell("ip netns exec " + name_ + " " + command);
    }

    // Runs `work` on a thread that has entered the namespace, so every socket
    // it makes lives there. False when the namespace could not be entered.
    template <typename Work>
    bool RunInside(Work&& work) const {
        bool entered = false;
        std::thread inside([&] {
            const int fd = open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                return;
            }
            entered = setns(fd, CLONE_NEWNET) == 0;
            close(fd);
            if (entered) {
                work();
            }
        });
        inside.join();
        return entered;
    }

  private:
    std::string name_;
    bool ok_ = false;
};

// Joins `a` and `b` with a veth pair named `nameA`/`nameB` carrying the
// addresses (CIDR) given, both ends up.
inline bool JoinWithVeth(const NetworkNamespace& a, const std::string& nameA,
                         const std::string& addressA, const NetworkNamespace& b,
                         const std::string& nameB, const std::string& addressB) {
    return Shell("ip link add " + nameA + " netns " + a.name() + " type veth peer name " + nameB +
                 " netns " + b.name()) &&
           a.Exec("ip addr add " + addressA + " dev " + nameA) &&
           b.Exec("ip addr add " + addressB + " dev " + nameB) &&
           a.Exec("ip link set " + nameA + " up") && b.Exec("ip link set " + nameB + " up");
}

}  // namespace corvina::testing
