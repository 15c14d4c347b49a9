#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "link/transport.h"

namespace corvina {

// Passes every call on to `inner` and notes in `*failed` when the link itself
// failed (an Open, Read or Write that reported failure), as opposed to the
// modem saying something unwelcome. Used by one thread at a time, like any
// transport; `*failed` may be read from any thread and must outlive this.
class WatchedTransport final : public ITransport {
  public:
    WatchedTransport(std::unique_ptr<ITransport> inner, std::atomic<bool>& failed)
        : inner_(std::move(inner)), failed_(failed) {}

    bool Open(std::string& error) override { return Note(inner_->Open(error)); }
    void Close() override { inner_->Close(); }
    bool Write(const std::uint8_t* data, std::size_t size, std::string& error) override {
        return Note(inner_->Write(data, size, error));
    }
    std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                      std::string& error) override {
        const std::int32_t count = inner_->Read(buffer, capacity, timeoutMs, error);
        Note(count >= 0);
        return count;
    }
    void Interrupt() override { inner_->Interrupt(); }
    std::string Description() const override { return inner_->Description(); }

  private:
    bool Note(bool ok) {
        if (!ok) {
            failed_ = true;
        }
        return ok;
    }

    std::unique_ptr<ITransport> inner_;
    std::atomic<bool>& failed_;
};

}  // namespace corvina
