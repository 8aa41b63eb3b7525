#include "Streams.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace fw {
namespace {

using TBytes = std::vector<std::uint8_t>;

TEST(Streams, ValuesAndTextsAreLittleEndian) {
    TMemoryStream S;
    S.WriteU8(0x01);
    S.WriteU16(0x0302);
    S.WriteU32(0x07060504);
    S.WriteI32(-2);
    S.WriteF64(1.5);
    S.WriteText("ab");
    S.WriteWideText(u"\u0416");
    EXPECT_EQ(S.Data(), (TBytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xFE, 0xFF, 0xFF, 0xFF,
                                0,    0,    0,    0,    0,    0,    0xF8, 0x3F, 2,    0,    0,
                                0,    'a',  'b',  1,    0,    0,    0,    0x16, 0x04}));
    S.SetPosition(0);
    EXPECT_EQ(S.ReadU8(), 0x01);
    EXPECT_EQ(S.ReadU16(), 0x0302);
    EXPECT_EQ(S.ReadU32(), 0x07060504u);
    EXPECT_EQ(S.ReadI32(), -2);
    EXPECT_EQ(S.ReadF64(), 1.5);
    EXPECT_EQ(S.ReadText(), "ab");
    EXPECT_EQ(S.ReadWideText(), u"\u0416");
    EXPECT_EQ(S.Remaining(), 0);
}

TEST(Streams, ReadsTrustNoStoredLength) {
    // Past the end: a read error, which is a stream error.
    TMemoryStream S(TBytes{1, 2, 3});
    EXPECT_THROW(S.ReadU32(), EReadError);
    S.SetPosition(0);
    EXPECT_THROW(S.ReadBlock(4), EReadError);
    EXPECT_EQ(S.ReadBlock(3), (TBytes{1, 2, 3}));
    EXPECT_THROW(S.ReadU8(), EStreamError);
    // Lengths that the rest cannot hold are refused before anything is allocated.
    for (std::int32_t Bad : {-1, std::numeric_limits<std::int32_t>::max(), 7}) {
        TMemoryStream T;
        T.WriteI32(Bad);
        T.WriteText("xy");
        T.SetPosition(0);
        EXPECT_THROW(T.ReadText(), EReadError) << Bad;
        T.SetPosition(0);
        EXPECT_THROW(T.ReadWideText(), EReadError) << Bad;
    }
}

TEST(Streams, MemoryStreamPositionsAndReadOnly) {
    TMemoryStream S;
    S.SetPosition(3); // past the end: nothing to read, a write fills the gap
    std::uint8_t B = 9;
    EXPECT_EQ(S.Read(&B, 1), 0u);
    EXPECT_EQ(S.Remaining(), 0);
    S.WriteU8(7);
    EXPECT_EQ(S.Data(), (TBytes{0, 0, 0, 7}));
    S.SetPosition(1);
    S.WriteU16(0x0605); // overwrites in place
    EXPECT_EQ(S.Data(), (TBytes{0, 5, 6, 7}));
    S.SetSize(2);
    EXPECT_EQ(S.Position(), 2);
    S.SetPosition(-4);
    EXPECT_EQ(S.Position(), 0);

    TMemoryStream R(TBytes{1, 2}, true);
    EXPECT_THROW(R.WriteU8(0), EStreamError);
    EXPECT_THROW(R.SetSize(0), EStreamError);
    EXPECT_EQ(R.ReadU16(), 0x0201);
}

TEST(Streams, FileStreamWritesReadsAndResizes) {
    const std::filesystem::path Path = TestPath("stream.bin");
    {
        TFileStream F(Path.string(), TFileStream::TMode::fmCreate);
        F.WriteText("hello");
        F.WriteU32(42);
        EXPECT_EQ(F.Size(), 13);
        F.SetSize(9);
        EXPECT_EQ(F.Position(), 9);
    }
    {
        TFileStream F(Path.string(), TFileStream::TMode::fmOpenRead);
        EXPECT_EQ(F.ReadText(), "hello");
        EXPECT_EQ(F.Remaining(), 0);
        EXPECT_THROW(F.ReadU32(), EReadError);
    }
    std::filesystem::remove(Path);
    EXPECT_THROW(TFileStream(Path.string(), TFileStream::TMode::fmOpenRead), EStreamError);
}

} // namespace
} // namespace fw
