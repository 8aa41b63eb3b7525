// Text renderings of a string tree for the clipboard: plain and Unicode text,
// CSV, HTML and its clipboard envelope.
#pragma once

#include "LazyStringTree.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vel {

// Lines of cell texts; the main column carries the level as leading separators.
std::string RenderText(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source, char Separator);
std::u16string RenderUnicodeText(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source,
                                 char16_t Separator);
// An HTML table of the exported rows (UTF-8).
std::string RenderHTML(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source,
                       const std::u16string& Caption = u"");
// The clipboard's HTML envelope around a fragment.
std::string WrapHTMLFragment(const std::string& Fragment);
// UTF-16 to UTF-8; a lone surrogate is dropped.
std::string WideToUtf8(const std::u16string& Text);

} // namespace vel

namespace vel {

// Tree classes a clipboard format can be rendered by; a string tree is also a base tree.
enum class TLTTreeClass : std::uint8_t { tcBaseTree, tcStringTree };
using enum TLTTreeClass;
TLTTreeClass TreeClassOf(const TBaseLazyTree& Tree);
bool InheritsFrom(TLTTreeClass Class, TLTTreeClass Ancestor);

struct TFormatEtc {
    std::uint16_t cfFormat = 0;
    void* ptd = nullptr;
    std::uint32_t dwAspect = 1;
    std::int32_t lindex = -1;
    std::uint32_t tymed = 1;
};

struct TClipboardFormatListEntry {
    std::string Description;
    TLTTreeClass TreeClass = tcBaseTree;
    std::uint32_t Priority = 0;
    TFormatEtc FormatEtc;
};

// The process-wide list of formats trees can render, by ascending priority.
class TClipboardFormatList {
public:
    void Add(TClipboardFormatListEntry Entry);
    void Clear() { FEntries.clear(); }
    // Formats of Class and its ancestors, restricted to Allowed names when given.
    std::vector<TFormatEtc> ListFormats(TLTTreeClass Class,
                                        const std::vector<std::string>* Allowed = nullptr) const;
    // Case-insensitive; the last (lowest priority) match wins, as the search runs backwards.
    const TClipboardFormatListEntry* LookUpFormat(const std::string& Description) const;
    const std::vector<TClipboardFormatListEntry>& Entries() const { return FEntries; }

private:
    std::vector<TClipboardFormatListEntry> FEntries;
};

TClipboardFormatList& ClipboardFormatRegistry();
// The unit's end: the registry gives back its memory.
void FreeClipboardFormatRegistry();
// The unit's end: a tree's data object on the clipboard goes (its code goes with the module).
void ReleaseTreeClipboardData();
// Registers a named format (numbered in-process from 0xC000) and answers its number.
std::uint16_t RegisterTreeClipboardFormat(const std::string& Description, TLTTreeClass Class,
                                          std::uint32_t Priority);
// Registers a standard format by number (1 .. 16 named from the fixed table).
void RegisterTreeClipboardFormat(std::uint16_t cfFormat, TLTTreeClass Class,
                                 std::uint32_t Priority);
// The number of a registered format name (0 when unknown).
std::uint16_t ClipboardFormatNumber(const std::string& Description);

// The string tree's RTF rendering (8-bit).
std::string RenderRTF(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source);

} // namespace vel
