#include "Streams.h"

#include <algorithm>
#include <cstring>

#include <unistd.h>

namespace fw {

// ---------------------------------------------------------------- TStream

std::int64_t TStream::Remaining() const {
    return std::max<std::int64_t>(0, Size() - Position());
}

void TStream::ReadBuffer(void* Buffer, std::size_t Count) {
    if (Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

std::uint8_t TStream::ReadU8() {
    std::uint8_t B = 0;
    ReadBuffer(&B, 1);
    return B;
}

std::uint16_t TStream::ReadU16() {
    std::uint8_t B[2];
    ReadBuffer(B, 2);
    return static_cast<std::uint16_t>(B[0] | B[1] << 8);
}

std::uint32_t TStream::ReadU32() {
    std::uint8_t B[4];
    ReadBuffer(B, 4);
    return static_cast<std::uint32_t>(B[0]) | static_cast<std::uint32_t>(B[1]) << 8 |
           static_cast<std::uint32_t>(B[2]) << 16 | static_cast<std::uint32_t>(B[3]) << 24;
}

double TStream::ReadF64() {
    std::uint8_t B[8];
    ReadBuffer(B, 8);
    std::uint64_t U = 0;
    for (int I = 0; I < 8; ++I)
        U |= static_cast<std::uint64_t>(B[I]) << (8 * I);
    double V = 0;
    std::memcpy(&V, &U, 8);
    return V;
}

void TStream::WriteU16(std::uint16_t Value) {
    const std::uint8_t B[2] = {static_cast<std::uint8_t>(Value),
                               static_cast<std::uint8_t>(Value >> 8)};
    Write(B, 2);
}

void TStream::WriteU32(std::uint32_t Value) {
    const std::uint8_t B[4] = {
        static_cast<std::uint8_t>(Value), static_cast<std::uint8_t>(Value >> 8),
        static_cast<std::uint8_t>(Value >> 16), static_cast<std::uint8_t>(Value >> 24)};
    Write(B, 4);
}

void TStream::WriteF64(double Value) {
    static_assert(sizeof(double) == 8);
    std::uint64_t U = 0;
    std::memcpy(&U, &Value, 8);
    std::uint8_t B[8];
    for (int I = 0; I < 8; ++I)
        B[I] = static_cast<std::uint8_t>(U >> (8 * I));
    Write(B, 8);
}

std::size_t TStream::ReadCount(std::size_t Unit) {
    const std::int32_t N = ReadI32();
    if (N < 0 || static_cast<std::uint64_t>(N) > static_cast<std::uint64_t>(Remaining()) / Unit)
        throw EReadError("Stored text length out of range");
    return static_cast<std::size_t>(N);
}

std::string TStream::ReadText() {
    std::string Text(ReadCount(1), '\0');
    ReadBuffer(Text.data(), Text.size());
    return Text;
}

void TStream::WriteText(std::string_view Text) {
    WriteI32(static_cast<std::int32_t>(Text.size()));
    Write(Text.data(), Text.size());
}

std::u16string TStream::ReadWideText() {
    std::u16string Text(ReadCount(2), u'\0');
    for (char16_t& C : Text)
        C = static_cast<char16_t>(ReadU16());
    return Text;
}

void TStream::WriteWideText(std::u16string_view Text) {
    WriteI32(static_cast<std::int32_t>(Text.size()));
    for (char16_t C : Text)
        WriteU16(static_cast<std::uint16_t>(C));
}

std::vector<std::uint8_t> TStream::ReadBlock(std::size_t Count) {
    if (Count > static_cast<std::uint64_t>(Remaining())) throw EReadError("Stream read error");
    std::vector<std::uint8_t> Block(Count);
    ReadBuffer(Block.data(), Count);
    return Block;
}

// ---------------------------------------------------------- TMemoryStream

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count) {
    const auto N = static_cast<std::size_t>(
        std::min<std::int64_t>(Remaining(), static_cast<std::int64_t>(Count)));
    if (N > 0) std::memcpy(Buffer, FData.data() + FPos, N);
    FPos += static_cast<std::int64_t>(N);
    return N;
}

void TMemoryStream::Write(const void* Buffer, std::size_t Count) {
    if (FReadOnly) throw EStreamError("Stream write error: the stream is read-only");
    if (Count == 0) return;
    const std::size_t End = static_cast<std::size_t>(FPos) + Count;
    if (End > FData.size()) FData.resize(End);
    std::memcpy(FData.data() + FPos, Buffer, Count);
    FPos = static_cast<std::int64_t>(End);
}

void TMemoryStream::SetPosition(std::int64_t Value) {
    FPos = std::max<std::int64_t>(0, Value);
}

void TMemoryStream::SetSize(std::int64_t Value) {
    if (FReadOnly) throw EStreamError("Stream write error: the stream is read-only");
    FData.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, Value)));
    FPos = std::min(FPos, Size());
}

// ------------------------------------------------------------ TFileStream

TFileStream::TFileStream(const std::string& FileName, TMode Mode) : FName(FileName) {
    FFile = std::fopen(FileName.c_str(), Mode == TMode::fmOpenRead ? "rb" : "w+b");
    if (!FFile) throw EStreamError("Cannot open file \"" + FileName + "\"");
}

TFileStream::~TFileStream() {
    if (FFile) std::fclose(FFile);
}

std::size_t TFileStream::Read(void* Buffer, std::size_t Count) {
    return std::fread(Buffer, 1, Count, FFile);
}

void TFileStream::Write(const void* Buffer, std::size_t Count) {
    if (std::fwrite(Buffer, 1, Count, FFile) != Count)
        throw EStreamError("Stream write error: " + FName);
}

std::int64_t TFileStream::Position() const {
    return static_cast<std::int64_t>(std::ftell(FFile));
}

void TFileStream::SetPosition(std::int64_t Value) {
    std::fseek(FFile, static_cast<long>(std::max<std::int64_t>(0, Value)), SEEK_SET);
}

std::int64_t TFileStream::Size() const {
    const long Here = std::ftell(FFile);
    std::fseek(FFile, 0, SEEK_END);
    const long End = std::ftell(FFile);
    std::fseek(FFile, Here, SEEK_SET);
    return End;
}

void TFileStream::SetSize(std::int64_t Value) {
    const std::int64_t Here = Position();
    std::fflush(FFile);
    if (::ftruncate(::fileno(FFile), static_cast<off_t>(std::max<std::int64_t>(0, Value))) != 0)
        throw EStreamError("Cannot resize file \"" + FName + "\"");
    SetPosition(std::min(Here, Value));
}

} // namespace fw
