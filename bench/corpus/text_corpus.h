#pragma once

// Files of the kinds operators send, built from what a Debian machine already
// holds (licence texts, manual pages, package lists, changelogs), so the
// numbers are about real text without fetching anything. A source the machine
// lacks is skipped, and its absence shows in the benchmark's file list.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace corvina::bench {

struct CorpusFile {
    std::string label;
    std::vector<std::uint8_t> bytes;
    bool text = true;
};

// The whole file, inflated when it is gzip-compressed; empty when unreadable.
inline std::vector<std::uint8_t> ReadMaybeGzip(const std::filesystem::path& path) {
    std::vector<std::uint8_t> out;
    gzFile in = gzopen(path.string().c_str(), "rb");
    if (in == nullptr) {
        return out;
    }
    std::uint8_t block[65536];
    int got = 0;
    while ((got = gzread(in, block, sizeof block)) > 0) {
        out.insert(out.end(), block, block + got);
    }
    gzclose(in);
    return out;
}

// Concatenates the sources that exist until `size` bytes are reached, then
// cuts there; empty when the machine does not hold enough of them.
inline std::vector<std::uint8_t> Assemble(const std::vector<std::filesystem::path>& sources,
                                          std::size_t size) {
    std::vector<std::uint8_t> out;
    for (const auto& source : sources) {
        if (out.size() >= size) {
            break;
        }
        const std::vector<std::uint8_t> part = ReadMaybeGzip(source);
        out.insert(out.end(), part.begin(), part.end());
    }
    if (out.size() < size) {
        return {};
    }
    out.resize(size);
    return out;
}

inline std::vector<std::uint8_t> RandomFile(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> out(size);
    std::mt19937 generator(seed);
    for (auto& byte : out) {
        byte = static_cast<std::uint8_t>(generator());
    }
    return out;
}

// 64 KiB of licence text: the text file of the goodput benchmark.
inline std::vector<std::uint8_t> LicenceText64K() {
    const std::filesystem::path dir = "/usr/share/common-licenses";
    return Assemble({dir / "GPL-3", dir / "GPL-2", dir / "LGPL-2.1", dir / "Apache-2.0"}, 65536);
}

// Files under `dir` (one level of subfolders) whose name is `name`, in name
// order, so two runs on one machine read the same bytes.
inline std::vector<std::filesystem::path> NamedFiles(const std::filesystem::path& dir,
                                                     const std::string& name) {
    std::vector<std::filesystem::path> out;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const auto candidate = entry.path() / name;
        if (std::filesystem::is_regular_file(candidate, error)) {
            out.push_back(candidate);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline std::vector<CorpusFile> BuildCorpus() {
    const std::filesystem::path licences = "/usr/share/common-licenses";
    const std::filesystem::path man1 = "/usr/share/man/man1";
    const std::filesystem::path doc = "/usr/share/doc";
    std::vector<CorpusFile> corpus;
    auto add = [&](std::string label, std::vector<std::uint8_t> bytes, bool text = true) {
        if (!bytes.empty()) {
            corpus.push_back({std::move(label), std::move(bytes), text});
        }
    };
    constexpr std::size_t kKiB = 1024;
    add("licence 1 KiB", Assemble({licences / "Apache-2.0"}, kKiB));
    add("licence 8 KiB", Assemble({licences / "BSD", licences / "MPL-2.0"}, 8 * kKiB));
    add("licence 34 KiB", Assemble({licences / "GPL-3"}, 34 * kKiB));
    add("manual page 128 KiB",
        Assemble({man1 / "bash.1.gz", man1 / "git-config.1.gz", man1 / "gpg.1.gz"}, 128 * kKiB));
    add("package list 512 KiB", Assemble({"/var/lib/dpkg/status"}, 512 * kKiB));
    add("changelogs 1 MiB", Assemble(NamedFiles(doc, "changelog.Debian.gz"), 1024 * kKiB));
    add("changelogs 4 MiB", Assemble(NamedFiles(doc, "changelog.gz"), 4096 * kKiB));
    add("random 64 KiB", RandomFile(64 * kKiB, 7), false);
    add("random 1 MiB", RandomFile(1024 * kKiB, 8), false);
    return corpus;
}

}  // namespace corvina::bench
