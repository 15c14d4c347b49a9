#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "session/transcript_entry.h"

namespace corvina {

// Keeps the session transcript: one UTF-8 file per UTC day in `folder`,
// named "YYYY-MM-DD.txt", to which lines are only ever appended. Append never
// waits for the disk: lines are buffered and written by a thread of this
// object every `flushInterval`, on Flush and when the object goes. Lines
// that cannot be written (folder not creatable, disk full) are dropped and
// counted, never retried for ever.
//
// Append and Flush may be called from any thread. The destructor writes what
// is left and joins its thread. `now` gives each line's time (tests pass a
// fixed clock).
class TranscriptWriter {
  public:
    using Now = std::function<std::chrono::system_clock::time_point()>;

    explicit TranscriptWriter(
        std::filesystem::path folder,
        std::chrono::milliseconds flushInterval = std::chrono::seconds(5),
        Now now = [] { return std::chrono::system_clock::now(); });
    ~TranscriptWriter();

    TranscriptWriter(const TranscriptWriter&) = delete;
    TranscriptWriter& operator=(const TranscriptWriter&) = delete;

    void Append(TranscriptKind kind, std::string_view text);
    // The entry of a session event, if it has one.
    void Append(const UiEvent& event);

    // Writes every line appended so far before it returns.
    void Flush();

    const std::filesystem::path& folder() const { return folder_; }
    // Lines dropped because they could not be written.
    std::size_t droppedLines() const;

  private:
    struct Pending {
        std::string day;
        std::string line;
    };
    void Run();
    void Write(std::vector<Pending> lines);

    const std::filesystem::path folder_;
    const std::chrono::milliseconds flushInterval_;
    const Now now_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Pending> pending_;
    bool stopping_ = false;
    std::size_t dropped_ = 0;

    std::mutex writeMutex_;  // one writer at a time; never held with mutex_
    std::thread thread_;
};

}  // namespace corvina
