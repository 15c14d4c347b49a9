#include "transfer/incoming_name.h"

#include <gtest/gtest.h>

#include <string>

#include "cvfile/transfer_data.h"
#include "transfer/format_crc.h"
#include "transfer/transfer_id.h"

namespace corvina {
namespace {

cvfile::TransferRecord StartNamed(const std::string& name, std::uint32_t mode = 0,
                                  std::uint64_t size = 10) {
    cvfile::TransferRecord start;
    start.type = cvfile::RecordType::Start;
    start.transferId = 7;
    start.sequence = mode;
    start.offset = size;
    start.payload.assign(name.begin(), name.end());
    return start;
}

TEST(IncomingName, AcceptsOrdinaryNamesUpTo1024Bytes) {
    const std::string longest(1024, 'n');
    for (const std::string& name :
         {std::string("a.txt"), std::string(".profile"), std::string("archive.tar.gz"),
          std::string("Grüße ünd €.bin"), std::string("consul.txt"), std::string("com10"),
          std::string("lpt0.dat"), std::string("CONOUT"), longest}) {
        SCOPED_TRACE(name.substr(0, 40));
        const auto accepted = AcceptedIncomingName(StartNamed(name));
        ASSERT_TRUE(accepted.has_value());
        EXPECT_EQ(*accepted, name);
    }
}

TEST(IncomingName, RefusesUnsafeOrMalformedNames) {
    const std::string tooLong(1025, 'n');
    const std::string cases[] = {
        "",
        ".",
        "..",
        "name.",
        "name ",
        "a/b",
        "a\\b",
        "c:x",
        "a\"b",
        "a*b",
        "a<b",
        "a>b",
        "a?b",
        "a|b",
        "tab\there",
        "bell\x07",
        "nul\x7f\x01",
        tooLong,
        "\xC3",
        "\xC0\xAF",
        "\xED\xA0\x80",
        "\xF4\x90\x80\x80",
        "ok\xFF",
    };
    for (const std::string& name : cases) {
        SCOPED_TRACE(::testing::PrintToString(name.substr(0, 40)));
        EXPECT_FALSE(AcceptedIncomingName(StartNamed(name)).has_value());
    }
}

TEST(IncomingName, RefusesWindowsDeviceNamesInAnyCaseAndWithExtensions) {
    for (const std::string name :
         {"CON", "prn", "Aux", "nul", "COM1", "com9", "LPT1", "lpt9", "CONIN$", "conout$",
          "aux.dat", "NUL.tar.gz", "nul .txt", "COM\xC2\xB9", "lpt\xC2\xB3.log"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsWindowsDeviceName(name));
        EXPECT_FALSE(AcceptedIncomingName(StartNamed(name)).has_value());
    }
    for (const std::string name : {"CONS", "COM0", "LPT", "auxiliary.dat", "xnul", "COM1x"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsWindowsDeviceName(name));
    }
}

TEST(IncomingName, RefusesUnknownModesAndCompressedEmptyFiles) {
    EXPECT_TRUE(AcceptedIncomingName(StartNamed("a", 0, 0)).has_value());
    EXPECT_TRUE(AcceptedIncomingName(StartNamed("a", 2, 1)).has_value());
    EXPECT_FALSE(AcceptedIncomingName(StartNamed("a", 2, 0)).has_value());
    EXPECT_FALSE(AcceptedIncomingName(StartNamed("a", 1, 5)).has_value());
    EXPECT_FALSE(AcceptedIncomingName(StartNamed("a", 3, 5)).has_value());
}

TEST(FormatCrc32, GivesEightUpperCaseDigits) {
    EXPECT_EQ(FormatCrc32(0xCBF43926u), "CBF43926");
    EXPECT_EQ(FormatCrc32(0xABCu), "00000ABC");
    EXPECT_EQ(FormatCrc32(0), "00000000");
    EXPECT_EQ(FormatCrc32(0xFFFFFFFFu), "FFFFFFFF");
}

TEST(TransferId, DiffersWithinOneClockTickAndIsNeverZero) {
    EXPECT_NE(MixTransferId(1000, 42, 1), MixTransferId(1000, 42, 2));
    EXPECT_EQ(MixTransferId(5, 0, 5), 1u);
    EXPECT_EQ(MixTransferId(0x10, 1, 3), (0x10ull ^ (1ull << 32)) ^ 3u);
    const std::uint64_t first = NewTransferId();
    const std::uint64_t second = NewTransferId();
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
}

}  // namespace
}  // namespace corvina
