#pragma once
// Byte streams: a seekable stream with little-endian read and write helpers,
// a memory stream and a file stream, and the stream errors. Every control
// library reads and writes its stored records through these.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// A stream that cannot do what was asked (file missing, write refused...).
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read past the end of a stream, or a stored value that cannot be right.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// A seekable byte stream. Read answers how many bytes it delivered; every
// other read takes exactly what it asks for or throws EReadError. Values are
// little-endian; lengths read from a stream are checked against what is left
// before anything is allocated.
class TStream {
public:
    virtual ~TStream() = default;
    virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
    virtual void Write(const void* Buffer, std::size_t Count) = 0;
    virtual std::int64_t Position() const = 0;
    // A position past the end reads nothing; a write there fills the gap with zeros.
    virtual void SetPosition(std::int64_t Value) = 0;
    virtual std::int64_t Size() const = 0;
    virtual void SetSize(std::int64_t Value) = 0;

    // Bytes between the position and the end (0 past the end).
    std::int64_t Remaining() const;

    void ReadBuffer(void* Buffer, std::size_t Count);
    void WriteBuffer(const void* Buffer, std::size_t Count) { Write(Buffer, Count); }
    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();
    std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
    double ReadF64();
    void WriteU8(std::uint8_t Value) { Write(&Value, 1); }
    void WriteU16(std::uint16_t Value);
    void WriteU32(std::uint32_t Value);
    void WriteI32(std::int32_t Value) { WriteU32(static_cast<std::uint32_t>(Value)); }
    void WriteF64(double Value);

    // Texts: a signed 32-bit count, then 8-bit characters or UTF-16 units.
    std::string ReadText();
    void WriteText(std::string_view Text);
    std::u16string ReadWideText();
    void WriteWideText(std::u16string_view Text);
    // Count bytes as a block.
    std::vector<std::uint8_t> ReadBlock(std::size_t Count);

private:
    // A stored count of Unit-sized items, refused when the rest cannot hold them.
    std::size_t ReadCount(std::size_t Unit);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    // A read-only stream refuses writes and resizing (EStreamError).
    explicit TMemoryStream(std::vector<std::uint8_t> AData, bool ReadOnly = false)
        : FData(std::move(AData)), FReadOnly(ReadOnly) {}

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

// A file opened for reading, or created (emptied) for reading and writing.
// Failing to open, write or resize throws EStreamError.
class TFileStream : public TStream {
public:
    enum class TMode { fmOpenRead, fmCreate };
    TFileStream(const std::string& FileName, TMode Mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

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

} // namespace fw
