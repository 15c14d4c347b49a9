#include "transfer/incoming_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cvfile/transfer_data.h"
#include "transfer/transfer_id.h"

namespace corvina {
namespace {

cvfile::TransferRecord StartNamed(const std::string& name, std::uint32_t mode = 0,
                                  std::uint64_t size = 10) {
    return {cvfile::RecordType::Start, 7, mode, size, 0, {name.begin(), name.end()}};
}

TEST(IncomingName, AcceptsOrdinaryNamesUpTo1024BytesAndRefusesUnsafeOnes) {
    for (const std::string& name : std::vector<std::string>{
             "a.txt", ".profile", "archive.tar.gz", "Grüße ünd €.bin", "consul.txt", "com10",
             "lpt0.dat", "CONOUT", "CONS", "COM0", "LPT", "auxiliary.dat", "xnul", "COM1x",
             std::string(1024, 'n')}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsWindowsDeviceName(name));
        EXPECT_EQ(AcceptedIncomingName(StartNamed(name)), name);
    }
    const struct {
        const char* why;
        std::vector<std::string> names;
    } refused[] = {
        {"empty, dots and trailing spaces", {"", ".", "..", "name.", "name "}},
        {"separators and reserved characters",
         {"a/b", "a\\b", "c:x", "a\"b", "a*b", "a<b", "a>b", "a?b", "a|b"}},
        {"control characters", {"tab\there", "bell\x07", "nul\x7f\x01"}},
        {"broken UTF-8", {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "ok\xFF"}},
        {"overlong UTF-8", {"\xE0\x80\x80", "\xF0\x80\x80\x80", "\xE4\xB8\x41"}},
        {"over 1,024 bytes", {std::string(1025, 'n')}},
    };
    for (const auto& group : refused) {
        for (const std::string& name : group.names) {
            SCOPED_TRACE(group.why + (": " + ::testing::PrintToString(name)));
            EXPECT_FALSE(AcceptedIncomingName(StartNamed(name)));
        }
    }
    // Windows device names in any case, with extensions and superscript digits.
    for (const std::string name :
         {"CON", "prn", "Aux", "nul", "COM1", "com9", "LPT1", "lpt9", "CONIN$", "conout$",
          "aux.dat", "NUL.tar.gz", "nul .txt", "COM\xC2\xB9", "lpt\xC2\xB3.log"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsWindowsDeviceName(name));
        EXPECT_FALSE(AcceptedIncomingName(StartNamed(name)));
    }
}

TEST(IncomingName, RefusesUnknownModesAndCompressedEmptyFiles) {
    EXPECT_TRUE(AcceptedIncomingName(StartNamed("a", 0, 0)));
    EXPECT_TRUE(AcceptedIncomingName(StartNamed("a", 2, 1)));
    EXPECT_FALSE(AcceptedIncomingName(StartNamed("a", 2, 0)));
    EXPECT_FALSE(AcceptedIncomingName(StartNamed("a", 1, 5)));
    EXPECT_FALSE(AcceptedIncomingName(StartNamed("a", 3, 5)));
}

TEST(TransferId, DiffersWithinOneClockTickAndIsNeverZero) {
    EXPECT_NE(MixTransferId(1000, 42, 1), MixTransferId(1000, 42, 2));
    EXPECT_EQ(MixTransferId(5, 0, 5), 1u);
    const std::uint64_t first = NewTransferId();
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, NewTransferId());
}

}  // namespace
}  // namespace corvina
