#pragma once
// The system code page of 8-bit text, as the platform reports it: its number
// and, for a double-byte (Far East) code page, which bytes lead a two-byte
// character. The platform runs code page 1252 (no lead bytes) until a program,
// a test, chooses another; GetSystemMetrics(SM_DBCSENABLED) follows it.
#include <cstdint>

namespace fw {

// The system's code page number.
unsigned GetACP();
// Makes Number the system's code page; false (nothing changes) for a code page
// the platform does not know: 437, 850, 874, 1250-1258 (single-byte) and 932,
// 936, 949, 950 (double-byte).
bool SetSystemCodePage(unsigned Number);
// The code page has lead bytes.
bool IsDBCSCodePage(unsigned Number);
// Byte may lead a two-byte character in the system's code page (in Number's).
bool IsDBCSLeadByte(std::uint8_t Byte);
bool IsDBCSLeadByteEx(unsigned Number, std::uint8_t Byte);

// The system code page is Number while the scope lasts (a test's choice), and
// the one before it afterwards. An unknown number changes nothing.
class TCodePageScope {
public:
    explicit TCodePageScope(unsigned Number) : FOld(GetACP()) { SetSystemCodePage(Number); }
    ~TCodePageScope() { SetSystemCodePage(FOld); }
    TCodePageScope(const TCodePageScope&) = delete;
    TCodePageScope& operator=(const TCodePageScope&) = delete;

private:
    unsigned FOld;
};

} // namespace fw
