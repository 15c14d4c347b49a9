#include "session/transcript_writer.h"

#include <fstream>

#include "session/utc_timestamp.h"

namespace corvina {

TranscriptWriter::TranscriptWriter(std::filesystem::path folder,
                                   std::chrono::milliseconds flushInterval, Now now)
    : folder_(std::move(folder)),
      flushInterval_(flushInterval),
      now_(std::move(now)),
      thread_([this] { Run(); }) {}

TranscriptWriter::~TranscriptWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    Flush();
}

void TranscriptWriter::Append(TranscriptKind kind, std::string_view text) {
    const auto time = now_();
    Pending pending{FormatUtcDate(time), FormatTranscriptLine(time, kind, text)};
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(std::move(pending));
}

void TranscriptWriter::Append(const UiEvent& event) {
    if (const std::optional<TranscriptEntry> entry = TranscriptEntryFor(event)) {
        Append(entry->kind, entry->text);
    }
}

void TranscriptWriter::Flush() {
    std::lock_guard<std::mutex> writing(writeMutex_);
    std::vector<Pending> lines;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines.swap(pending_);
    }
    Write(std::move(lines));
}

std::size_t TranscriptWriter::droppedLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

void TranscriptWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, flushInterval_, [this] { return stopping_; });
        if (pending_.empty()) {
            continue;
        }
        lock.unlock();
        Flush();
        lock.lock();
    }
}

void TranscriptWriter::Write(std::vector<Pending> lines) {
    if (lines.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    std::size_t dropped = 0;
    std::size_t begin = 0;
    while (begin < lines.size()) {
        // Lines arrive in time order, so each day's lines are one run.
        std::size_t end = begin;
        std::string text;
        while (end < lines.size() && lines[end].day == lines[begin].day) {
            text += lines[end].line;
            ++end;
        }
        std::ofstream file(folder_ / (lines[begin].day + ".txt"), std::ios::binary | std::ios::app);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.flush();
        if (!file) {
            dropped += end - begin;
        }
        begin = end;
    }
    if (dropped > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped_ += dropped;
    }
}

}  // namespace corvina
