#pragma once
// The system clipboard: numbered formats (the standard ones and names
// registered at run time), memory blocks, and a data source that renders
// its formats on demand, as the platform's delayed rendering does.
#include "Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fw {

// Standard formats, at the platform's numbers.
constexpr UINT CF_TEXT = 1;
constexpr UINT CF_UNICODETEXT = 13;
// Numbers given to registered names start here.
constexpr UINT CF_REGISTERED_FIRST = 0xC000;

// A global memory block: shared between whoever holds it.
using THGlobal = std::shared_ptr<std::vector<std::uint8_t>>;
THGlobal GlobalAlloc(std::size_t Size);

// Answers the format number of a name; the same name (in any case) always
// answers the same number, 0 for an empty name.
UINT RegisterClipboardFormat(const std::string& Name);
// The registered name of a number ("" for standard and unknown numbers).
std::string GetClipboardFormatName(UINT Format);

// Someone who renders formats when they are asked for. The clipboard keeps
// the source until it is emptied or flushed.
class TClipboardDataSource {
public:
    virtual ~TClipboardDataSource() = default;
    virtual std::vector<UINT> Formats() = 0;
    // Null when the format cannot be rendered.
    virtual THGlobal Render(UINT Format) = 0;
    // The clipboard lets go of the source (emptied, replaced or flushed).
    virtual void Released() {}
};

// Opening fails while another window holds the clipboard open (or while a
// test says the clipboard is busy). Every other call but the source's works
// only between OpenClipboard and CloseClipboard.
bool OpenClipboard(HWND Owner);
bool CloseClipboard();
bool ClipboardOpen();
// Drops every block and the source; the opener becomes the owner.
bool EmptyClipboard();
HWND ClipboardOwner();
bool SetClipboardData(UINT Format, THGlobal Data);
// The block of a format: stored, or rendered by the source (and then kept).
THGlobal GetClipboardData(UINT Format);
bool IsClipboardFormatAvailable(UINT Format);
// Every format on the clipboard in the order they were put there.
std::vector<UINT> ClipboardFormats();

// The data-object side: the source replaces the clipboard's content (the
// clipboard is opened and closed for it; false when it is busy).
bool SetClipboardSource(std::shared_ptr<TClipboardDataSource> Source);
std::shared_ptr<TClipboardDataSource> ClipboardSource();
// Renders every format of the source into blocks and lets the source go.
void FlushClipboard();

// Text as CF_TEXT (8-bit, zero-terminated in its block).
std::string ClipboardText();
void SetClipboardText(const std::string& Text);
// Text as CF_UNICODETEXT (UTF-16, zero-terminated); falls back to CF_TEXT.
std::u16string ClipboardWideText();
void SetClipboardWideText(const std::u16string& Text);

// Tests: another program holds the clipboard open while Busy is set.
void SetClipboardBusy(bool Busy);
// Empties the clipboard and forgets owner and busy state (tests).
void ResetClipboard();

} // namespace fw
