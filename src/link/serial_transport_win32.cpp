#include <windows.h>

#include <algorithm>

#include "link/serial_limits.h"
#include "link/serial_transport.h"
#include "link/system_error.h"
#include "text/conversions.h"

namespace corvina {
namespace {

constexpr const char* kNotConnected = "COM port is not connected";

// The device namespace prefix lets COM10 and above open like COM1.
constexpr char16_t kDevicePrefix[] = u"\\\\.\\";

class SerialTransport final : public ITransport {
  public:
    SerialTransport(std::u16string portName, std::uint32_t baudRate)
        : portName_(std::move(portName)), baudRate_(baudRate) {}
    ~SerialTransport() override { Close(); }

    bool Open(std::string& error) override;
    void Close() override;
    bool Write(const std::uint8_t* data, std::size_t size, std::string& error) override;
    std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                      std::string& error) override;
    std::string Description() const override { return WideToUtf8(portName_); }

  private:
    bool SetTimeouts(std::uint32_t readTimeoutMs);

    std::u16string portName_;
    std::uint32_t baudRate_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

bool SerialTransport::Open(std::string& error) {
    Close();
    const std::string name = WideToUtf8(portName_);
    const std::u16string path = kDevicePrefix + portName_;
    handle_ = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()),
                          GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        error = "Cannot open " + name + ": " + SystemErrorText(GetLastError());
        return false;
    }

    DCB settings{};
    settings.DCBlength = sizeof(DCB);
    if (!GetCommState(handle_, &settings)) {
        error = "Cannot read " + name + " settings: " + SystemErrorText(GetLastError());
        Close();
        return false;
    }
    if (baudRate_ != 0) {
        settings.BaudRate = baudRate_;
    }
    settings.fBinary = 1;
    settings.fParity = 0;
    settings.fOutxCtsFlow = 0;
    settings.fOutxDsrFlow = 0;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fDsrSensitivity = 0;
    settings.fTXContinueOnXoff = 1;
    settings.fOutX = 0;
    settings.fInX = 0;
    settings.fErrorChar = 0;
    settings.fNull = 0;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.fAbortOnError = 0;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    if (!SetCommState(handle_, &settings)) {
        error = "Cannot configure " + name +
                " for binary communication: " + SystemErrorText(GetLastError());
        Close();
        return false;
    }
    SetupComm(handle_, static_cast<DWORD>(kSerialDriverQueueBytes),
              static_cast<DWORD>(kSerialDriverQueueBytes));
    PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    // Writes before the first read get their stall limit too; Read sets the
    // time-outs again and reports a failure there.
    SetTimeouts(0);
    return true;
}

bool SerialTransport::SetTimeouts(std::uint32_t readTimeoutMs) {
    // MAXDWORD interval with a MAXDWORD multiplier makes ReadFile return as soon
    // as one byte is there, or after the constant when none comes.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = readTimeoutMs != 0 ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutConstant = readTimeoutMs;
    // Each WriteFile ends after the stall limit with what it got through; a
    // call that got nothing through is a stalled port (see Write).
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kSerialWriteStallLimitMs;
    return SetCommTimeouts(handle_, &timeouts) != 0;
}

void SerialTransport::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool SerialTransport::Write(const std::uint8_t* data, std::size_t size, std::string& error) {
    if (handle_ == INVALID_HANDLE_VALUE) {
        error = kNotConnected;
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min(size - done, kSerialChunkBytes));
        DWORD written = 0;
        if (!WriteFile(handle_, data + done, chunk, &written, nullptr)) {
            error = "COM write failed: " + SystemErrorText(GetLastError());
            return false;
        }
        if (written == 0) {
            error = "COM write failed: " + SystemErrorText(ERROR_TIMEOUT);
            return false;
        }
        done += written;
    }
    return true;
}

std::int32_t SerialTransport::Read(std::uint8_t* buffer, std::size_t capacity,
                                   std::uint32_t timeoutMs, std::string& error) {
    if (handle_ == INVALID_HANDLE_VALUE) {
        error = kNotConnected;
        return -1;
    }
    if (!SetTimeouts(timeoutMs)) {
        error = "Cannot set COM timeout: " + SystemErrorText(GetLastError());
        return -1;
    }
    const DWORD wanted = static_cast<DWORD>(std::min(capacity, kSerialChunkBytes));
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) {
        error = "COM read failed: " + SystemErrorText(GetLastError());
        return -1;
    }
    return static_cast<std::int32_t>(got);
}

}  // namespace

std::unique_ptr<ITransport> CreateSerialTransport(const std::u16string& portName) {
    return std::make_unique<SerialTransport>(portName, 0);
}

std::unique_ptr<ITransport> CreateSerialTransport(const std::u16string& portName,
                                                  std::uint32_t baudRate) {
    return std::make_unique<SerialTransport>(portName, baudRate);
}

}  // namespace corvina
