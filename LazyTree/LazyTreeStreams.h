// Byte streams for tree files, memory blocks and the native clipboard format,
// plus the tree stream's fixed records.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {

// A stream that cannot do what was asked (file missing, write refused...).
class ELTStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A seekable byte stream; Read answers how many bytes it delivered.
class TLTStream {
public:
    virtual ~TLTStream() = default;
    virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
    virtual void Write(const void* Buffer, std::size_t Count) = 0;
    virtual std::int64_t Position() const = 0;
    virtual void SetPosition(std::int64_t Value) = 0;
    virtual std::int64_t Size() const = 0;
    virtual void SetSize(std::int64_t Value) = 0;

    // Reads exactly Count bytes or throws ELTStreamError.
    void ReadBuffer(void* Buffer, std::size_t Count);
    void WriteBuffer(const void* Buffer, std::size_t Count) { Write(Buffer, Count); }
    std::uint32_t ReadU32();
    void WriteU32(std::uint32_t Value);
    std::int64_t Remaining() const { return Size() - Position(); }
};

class TLTMemoryStream : public TLTStream {
public:
    TLTMemoryStream() = default;
    explicit TLTMemoryStream(std::vector<std::uint8_t> Data, bool ReadOnly = false)
        : FData(std::move(Data)), FReadOnly(ReadOnly) {}

    std::size_t Read(void* Buffer, std::size_t Count) override;
    void Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override { return FPos; }
    void SetPosition(std::int64_t Value) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t Value) override;

    const std::vector<std::uint8_t>& Data() const { return FData; }

private:
    std::vector<std::uint8_t> FData;
    std::int64_t FPos = 0;
    bool FReadOnly = false;
};

class TLTFileStream : public TLTStream {
public:
    enum class TMode { fmOpenRead, fmCreate };
    TLTFileStream(const std::string& FileName, TMode Mode);
    ~TLTFileStream() override;
    TLTFileStream(const TLTFileStream&) = delete;
    TLTFileStream& operator=(const TLTFileStream&) = delete;

    std::size_t Read(void* Buffer, std::size_t Count) override;
    void Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override;
    void SetPosition(std::int64_t Value) override;
    std::int64_t Size() const override;
    void SetSize(std::int64_t Value) override;

private:
    std::FILE* FFile = nullptr;
    std::string FName;
};

// Tree stream records.
#pragma pack(push, 1)
struct TChunkHeader {
    std::uint32_t ChunkType;
    std::int32_t ChunkSize;
};
struct TChunkBaseV2 {
    std::uint32_t ChildCount;
    std::uint32_t NodeHeight;
    std::uint16_t States;
    std::uint8_t Align;
    std::uint8_t CheckState;
    std::uint8_t CheckType;
    std::uint32_t Reserved;
};
struct TChunkBaseV1 {
    std::uint32_t ChildCount;
    std::uint32_t NodeHeight;
    std::uint8_t States;
    std::uint8_t Align;
    std::uint8_t CheckState;
    std::uint8_t CheckType;
};
#pragma pack(pop)
static_assert(sizeof(TChunkHeader) == 8);
static_assert(sizeof(TChunkBaseV2) == 17);
static_assert(sizeof(TChunkBaseV1) == 12);

constexpr std::uint32_t NodeChunk = 1;
constexpr std::uint32_t BaseChunk = 2;
constexpr std::uint32_t CaptionChunk = 3;
constexpr std::uint32_t UserChunk = 4;
// States that a stream keeps (no checking, cut/copy, deleting, initial data, measured).
constexpr std::uint16_t StoredStatesMask = 0xDDE9;
constexpr std::uint16_t TreeStreamVersion = 2;
constexpr std::size_t MagicSize = 12;

} // namespace vel
