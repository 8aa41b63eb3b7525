// Text renderings of a string tree: the node walk, the level fillers and the quoting.
#include "LazyTreeClipboard.h"

#include "Bitmap.h"
#include "Clipbrd.h"
#include "NoDestroy.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace vel {

namespace {

PLazyNode FirstOf(TBaseLazyTree& T, TLSTTextSourceKind K) {
    switch (K) {
    case tskAll:
        return T.GetFirst();
    case tskInitialized:
        return T.GetFirstInitialized();
    case tskSelected:
        return T.GetFirstSelected();
    case tskCutCopySet:
        return T.GetFirstCutCopy();
    default:
        return T.GetFirstVisible();
    }
}

PLazyNode NextOf(TBaseLazyTree& T, TLSTTextSourceKind K, PLazyNode N) {
    switch (K) {
    case tskAll:
        return T.GetNext(N);
    case tskInitialized:
        return T.GetNextInitialized(N);
    case tskSelected:
        return T.GetNextSelected(N);
    case tskCutCopySet:
        return T.GetNextCutCopy(N);
    default:
        return T.GetNextVisible(N);
    }
}

// Visible header columns in display order; one pass with -1 without columns.
std::vector<int> ExportColumns(TBaseLazyTree& T) {
    std::vector<int> Result;
    if (T.HeaderUseColumns())
        for (TLazyTreeColumn* C : T.Header()->Columns().GetVisibleColumns())
            Result.push_back(C->Index());
    return Result;
}

int MaxLevelOf(TBaseLazyTree& T, TLSTTextSourceKind K) {
    int Max = 0;
    for (PLazyNode N = FirstOf(T, K); N; N = NextOf(T, K, N))
        Max = std::max(Max, static_cast<int>(T.GetNodeLevel(N)));
    return Max;
}

// The system code page here is Latin-1: other characters become '?'.
std::string WideToAnsi(const std::u16string& S) {
    std::string R;
    R.reserve(S.size());
    for (char16_t C : S)
        R.push_back(C <= 0xFF ? static_cast<char>(C) : '?');
    return R;
}

template <class S, class Ch> S QuoteIfNeeded(const S& Text, Ch Separator, bool DoubleQuotes) {
    const bool HasQuote = Text.find(Ch('"')) != S::npos;
    const bool HasSep = Text.find(Separator) != S::npos;
    if (DoubleQuotes ? !(HasQuote || HasSep) : !HasSep) return Text;
    S R;
    R.push_back(Ch('"'));
    for (Ch C : Text) {
        R.push_back(C);
        if (DoubleQuotes && C == Ch('"')) R.push_back(Ch('"'));
    }
    R.push_back(Ch('"'));
    return R;
}

template <class S, class Ch>
S RenderLines(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source, Ch Separator, bool Ansi) {
    auto Convert = [&](const std::u16string& W) {
        if constexpr (std::is_same_v<S, std::string>) {
            (void)Ansi;
            return WideToAnsi(W);
        } else {
            return W;
        }
    };
    const int MaxLevel = MaxLevelOf(Tree, Source);
    const S Filler(static_cast<std::size_t>(MaxLevel), Separator);
    const std::vector<int> Columns = ExportColumns(Tree);
    const int Main = Tree.HeaderMainColumn();
    S Out;
    const S NewLine{Ch('\r'), Ch('\n')};
    if (!Columns.empty()) {
        for (std::size_t I = 0; I < Columns.size(); ++I) {
            Out += QuoteIfNeeded(Convert(Tree.Header()->Columns()[Columns[I]].Text()), Separator,
                                 Ansi);
            if (I + 1 < Columns.size()) {
                if (Columns[I] == Main) Out += Filler;
                Out.push_back(Separator);
            }
        }
        Out += NewLine;
    }
    for (PLazyNode N = FirstOf(Tree, Source); N; N = NextOf(Tree, Source, N)) {
        const auto Level = static_cast<std::size_t>(Tree.GetNodeLevel(N));
        if (Columns.empty()) {
            Out += Filler.substr(0, Level);
            Out += Convert(Tree.GetText(N, NoColumn));
            Out += NewLine;
            continue;
        }
        for (std::size_t I = 0; I < Columns.size(); ++I) {
            const S Text = QuoteIfNeeded(Convert(Tree.GetText(N, Columns[I])), Separator, Ansi);
            if (Columns[I] == Main) {
                Out += Filler.substr(0, Level);
                Out += Text;
                Out += Filler.substr(0, static_cast<std::size_t>(MaxLevel) - Level);
            } else {
                Out += Text;
            }
            if (I + 1 < Columns.size()) Out.push_back(Separator);
        }
        Out += NewLine;
    }
    return Out;
}

// Characters that would end a text or an attribute in HTML.
std::string HtmlEscaped(const std::string& Utf8) {
    std::string R;
    R.reserve(Utf8.size());
    for (char C : Utf8) {
        switch (C) {
        case '&':
            R += "&amp;";
            break;
        case '<':
            R += "&lt;";
            break;
        case '>':
            R += "&gt;";
            break;
        case '"':
            R += "&quot;";
            break;
        default:
            R.push_back(C);
        }
    }
    return R;
}

std::string HtmlText(const std::u16string& Text) {
    return HtmlEscaped(WideToUtf8(Text));
}

std::string HtmlColor(fw::TColor C) {
    const fw::TColor RGB = fw::ColorToRGB(C);
    char Buf[8];
    std::snprintf(Buf, sizeof Buf, "#%02X%02X%02X", RGB & 0xFF, (RGB >> 8) & 0xFF,
                  (RGB >> 16) & 0xFF);
    return Buf;
}

std::string FontStyle(const std::string& Name, const fw::TFont& F) {
    std::string S = "." + Name + "{font:";
    if (F.Style() & fw::fsUnderline) S += " underline";
    if (F.Style() & fw::fsItalic) S += " italic";
    if (F.Style() & fw::fsBold) S += " bold";
    S += " " + std::to_string(F.Size()) + "pt \"" + HtmlEscaped(F.Name()) + "\";";
    S += "color:" + HtmlColor(F.Color()) + ";}";
    return S;
}

std::string AlignAttribute(TAlignment A, TBiDiMode B) {
    std::string S;
    if (B != bdLeftToRight) {
        S += " dir=\"rtl\"";
        if (A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
    }
    S += A == taRightJustify ? " align=right" : A == taCenter ? " align=center" : " align=left";
    return S;
}

} // namespace

std::string WideToUtf8(const std::u16string& Text) {
    std::string Out;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        char32_t C = Text[I];
        if (C >= 0xD800 && C <= 0xDBFF) {
            if (I + 1 < Text.size() && Text[I + 1] >= 0xDC00 && Text[I + 1] <= 0xDFFF) {
                C = (C - 0xD800) * 1024 + (Text[I + 1] - 0xDC00) + 0x10000;
                ++I;
            } else {
                continue;
            }
        } else if (C >= 0xDC00 && C <= 0xDFFF) {
            continue;
        }
        if (C < 0x80) {
            Out.push_back(static_cast<char>(C));
        } else if (C < 0x800) {
            Out.push_back(static_cast<char>(0xC0 | (C >> 6)));
            Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
        } else if (C < 0x10000) {
            Out.push_back(static_cast<char>(0xE0 | (C >> 12)));
            Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
            Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
        } else {
            Out.push_back(static_cast<char>(0xF0 | (C >> 18)));
            Out.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
            Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
            Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
        }
    }
    return Out;
}

std::string RenderText(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source, char Separator) {
    return RenderLines<std::string, char>(Tree, Source, Separator, true);
}

std::u16string RenderUnicodeText(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source,
                                 char16_t Separator) {
    return RenderLines<std::u16string, char16_t>(Tree, Source, Separator, false);
}

std::string WrapHTMLFragment(const std::string& Fragment) {
    const std::size_t StartFragment = 269;
    const std::size_t EndFragment = Fragment.size() + StartFragment;
    const std::size_t EndHTML = EndFragment + 32;
    char Desc[128];
    std::snprintf(Desc, sizeof Desc,
                  "Version:1.0\r\nStartHTML:%.8zu\r\nEndHTML:%.8zu\r\nStartFragment:%.8zu\r\n"
                  "EndFragment:%.8zu\r\n",
                  std::size_t{97}, EndHTML, StartFragment, EndFragment);
    return std::string(Desc) +
           "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">"
           "<html><head><META http-equiv=Content-Type content=\"text/html; charset=utf-8\">"
           "</head><body><!--StartFragment-->" +
           Fragment + "<!--EndFragment--></body></html>";
}

std::string RenderHTML(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source,
                       const std::u16string& Caption) {
    const std::string CRLF = "\r\n";
    const std::string Padding = "padding-left:" + std::to_string(Tree.Margin()) +
                                "px;padding-right:" + std::to_string(Tree.Margin()) + "px;";
    const std::string IndentWidth = std::to_string(Tree.Indent());
    std::string Attributes = " ";
    if (!Caption.empty()) Attributes += "caption=\"" + HtmlText(Caption) + "\"";
    const TLTPaintOptions PO = Tree.PaintOptions();
    const std::string Word = "dotted;";
    std::string Out = "<style type=\"text/css\">" + CRLF + FontStyle("default", Tree.Font()) +
                      CRLF + FontStyle("header", Tree.Header()->Font()) + CRLF;
    if (PO & toShowHorzGridLines)
        Out += ".noborder{border-style:" + Word +
               " border-bottom:1;border-left:0;border-right:0; border-top:0;";
    else
        Out += ".noborder{border-style:none;";
    Out += Padding + "}" + CRLF;
    Out += ".normalborder {border-top:none; border-left:none; ";
    Out +=
        (PO & toShowVertGridLines) ? "border-right:1 " + Word : std::string("border-right:none;");
    Out +=
        (PO & toShowHorzGridLines) ? "border-bottom:1 " + Word : std::string("border-bottom:none;");
    Out += Padding + "}" + "</style>" + CRLF;
    Out += "<table class=\"default\" bgcolor=" + HtmlColor(Tree.Color()) + Attributes +
           " cellspacing=\"0\" cellpadding=" + std::to_string(Tree.Margin()) + ">" + CRLF;
    const int MaxLevel = MaxLevelOf(Tree, Source);
    const std::vector<int> Columns = ExportColumns(Tree);
    const int Main = Tree.HeaderMainColumn();
    if (!Columns.empty()) {
        Out += "<tr class=\"header\" style=\"" + Padding + "\">" + CRLF;
        for (int I : Columns) {
            const TLazyTreeColumn& C = Tree.Header()->Columns()[I];
            Out += "<th height=\"" + std::to_string(Tree.Header()->Height()) + "px\"";
            Out += AlignAttribute(C.Alignment(), C.BiDiMode());
            if (I == Main && MaxLevel > 0)
                Out += " colspan=\"" + std::to_string(MaxLevel + 1) + "\"";
            Out += " bgcolor=" + HtmlColor(fw::clBtnFace);
            Out += " width=\"" + std::to_string(C.Width()) + "px\">";
            Out += HtmlText(C.Text()) + "</th>";
        }
        Out += "</tr>" + CRLF;
    }
    std::vector<int> Cells = Columns;
    if (Cells.empty()) Cells.push_back(NoColumn);
    for (PLazyNode N = FirstOf(Tree, Source); N; N = NextOf(Tree, Source, N)) {
        const int Level = static_cast<int>(Tree.GetNodeLevel(N));
        const std::string Height = std::to_string(Tree.GetNodeHeight(N));
        Out += " <tr class=\"default\">" + CRLF;
        for (int I : Cells) {
            const TLazyTreeColumn* C = I >= 0 ? &Tree.Header()->Columns()[I] : nullptr;
            const bool ParentColor = !C || (C->Options() & coParentColor);
            if (I == Main) {
                for (int L = 0; L < Level; ++L) {
                    if (!ParentColor)
                        Out += "<td class=\"noborder\" width=\"" + IndentWidth + "\" height=\"" +
                               Height + "px\" bgcolor=" + HtmlColor(C->Color()) + ">&nbsp;</td>";
                    else if (L == 0)
                        Out += " <td height=\"" + Height + "px\">&nbsp;</td>";
                    else
                        Out += " <td>&nbsp;</td>";
                }
            }
            Out += " <td class=\"normalborder\"  height=\"" + Height + "px\"";
            Out += C ? AlignAttribute(C->Alignment(), C->BiDiMode())
                     : AlignAttribute(taLeftJustify, Tree.BiDiMode());
            if (I == Main && Level < MaxLevel)
                Out += " colspan=\"" + std::to_string(MaxLevel - Level + 1) + "\"";
            if (!ParentColor) Out += " bgcolor=" + HtmlColor(C->Color());
            Out += '>';
            Out += HtmlText(Tree.GetText(N, I));
            Out += "</td>";
        }
        Out += " </tr>" + CRLF;
    }
    Out += "</table>";
    return Out;
}

} // namespace vel

namespace vel {

namespace {

bool SameText(const std::string& A, const std::string& B) {
    if (A.size() != B.size()) return false;
    for (std::size_t I = 0; I < A.size(); ++I)
        if (std::tolower(static_cast<unsigned char>(A[I])) !=
            std::tolower(static_cast<unsigned char>(B[I])))
            return false;
    return true;
}

const char* const StandardFormatNames[] = {"Plain text",
                                           "Windows bitmap",
                                           "Windows metafile",
                                           "Symbolic link",
                                           "Data interchange format",
                                           "Tiff image",
                                           "OEM text",
                                           "DIB image",
                                           "Palette data",
                                           "Pen data",
                                           "Riff audio data",
                                           "Wav audio data",
                                           "Unicode text",
                                           "Enhanced metafile image",
                                           "File name(s)",
                                           "Locale descriptor"};

// The formats trees render and the names registered in this process with their numbers.
struct TRegistry {
    TClipboardFormatList List;
    std::map<std::string, std::uint16_t> Names;
    bool Initialized = false; // the unit's own formats are in the list
};

TRegistry& Registry() {
    static fw::TNoDestroy<TRegistry> R;
    return *R;
}

std::map<std::string, std::uint16_t>& RegisteredNames() {
    return Registry().Names;
}

} // namespace

TLTTreeClass TreeClassOf(const TBaseLazyTree& Tree) {
    return dynamic_cast<const TCustomLazyStringTree*>(&Tree) ? tcStringTree : tcBaseTree;
}

bool InheritsFrom(TLTTreeClass Class, TLTTreeClass Ancestor) {
    return Class == Ancestor || Ancestor == tcBaseTree;
}

void TClipboardFormatList::Add(TClipboardFormatListEntry Entry) {
    // Stable: equal priorities keep their registration order.
    auto It = std::upper_bound(
        FEntries.begin(), FEntries.end(), Entry.Priority,
        [](std::uint32_t P, const TClipboardFormatListEntry& E) { return P < E.Priority; });
    FEntries.insert(It, std::move(Entry));
}

std::vector<TFormatEtc>
TClipboardFormatList::ListFormats(TLTTreeClass Class,
                                  const std::vector<std::string>* Allowed) const {
    std::vector<TFormatEtc> Result;
    for (const auto& E : FEntries) {
        if (!InheritsFrom(Class, E.TreeClass)) continue;
        if (Allowed && std::none_of(Allowed->begin(), Allowed->end(), [&](const std::string& N) {
                return SameText(N, E.Description);
            }))
            continue;
        Result.push_back(E.FormatEtc);
    }
    return Result;
}

const TClipboardFormatListEntry*
TClipboardFormatList::LookUpFormat(const std::string& Description) const {
    for (auto It = FEntries.rbegin(); It != FEntries.rend(); ++It)
        if (SameText(It->Description, Description)) return &*It;
    return nullptr;
}

namespace {

TClipboardFormatList& RawRegistry() {
    return Registry().List;
}

} // namespace

void FreeClipboardFormatRegistry() {
    Registry() = TRegistry{};
}

TClipboardFormatList& ClipboardFormatRegistry() {
    // The tree unit's own formats are there from the first use on.
    if (!Registry().Initialized) {
        Registry().Initialized = true;
        RegisteredNames()["Lazy Tree Reference"] =
            static_cast<std::uint16_t>(fw::RegisterClipboardFormat("Lazy Tree Reference"));
        RegisterTreeClipboardFormat("Lazy Tree Data", tcBaseTree, 50);
        RegisterTreeClipboardFormat("HTML Format", tcStringTree, 80);
        RegisterTreeClipboardFormat("Rich Text Format Without Objects", tcStringTree, 84);
        RegisterTreeClipboardFormat("Rich Text Format", tcStringTree, 85);
        RegisterTreeClipboardFormat("CSV", tcStringTree, 90);
        RegisterTreeClipboardFormat(std::uint16_t{1}, tcStringTree, 100);
        RegisterTreeClipboardFormat(std::uint16_t{13}, tcStringTree, 95);
    }
    return RawRegistry();
}

std::uint16_t RegisterTreeClipboardFormat(const std::string& Description, TLTTreeClass Class,
                                          std::uint32_t Priority) {
    const auto Number = static_cast<std::uint16_t>(fw::RegisterClipboardFormat(Description));
    RegisteredNames()[Description] = Number;
    TClipboardFormatListEntry E;
    E.Description = Description;
    E.TreeClass = Class;
    E.Priority = Priority;
    E.FormatEtc.cfFormat = Number;
    RawRegistry().Add(std::move(E));
    return Number;
}

void RegisterTreeClipboardFormat(std::uint16_t cfFormat, TLTTreeClass Class,
                                 std::uint32_t Priority) {
    if (cfFormat == 0) return;
    TClipboardFormatListEntry E;
    if (cfFormat >= 1 && cfFormat <= 16)
        E.Description = StandardFormatNames[cfFormat - 1];
    else
        E.Description = fw::GetClipboardFormatName(cfFormat).substr(0, 2048);
    E.TreeClass = Class;
    E.Priority = Priority;
    E.FormatEtc.cfFormat = cfFormat;
    RawRegistry().Add(std::move(E));
}

std::uint16_t ClipboardFormatNumber(const std::string& Description) {
    ClipboardFormatRegistry(); // the unit's own names are known from the first question on
    for (const auto& [Name, N] : RegisteredNames())
        if (SameText(Name, Description)) return N;
    return 0;
}

int TClipboardFormats::Add(const std::string& Name) {
    const TClipboardFormatListEntry* E = ClipboardFormatRegistry().LookUpFormat(Name);
    if (!E || !FOwner || !InheritsFrom(TreeClassOf(*FOwner), E->TreeClass)) return -1;
    auto It = std::lower_bound(FNames.begin(), FNames.end(), Name);
    if (It != FNames.end() && *It == Name) return static_cast<int>(It - FNames.begin());
    It = FNames.insert(It, Name);
    return static_cast<int>(It - FNames.begin());
}

void TClipboardFormats::Insert(int, const std::string& Name) {
    // A sorted list places the name by its order, whatever the index.
    Add(Name);
}

namespace {

// A font name inside the font table: control characters of RTF and the
// table's own ";" escaped, other 8-bit characters as hexadecimal escapes.
std::string RtfEscaped(const std::string& Name) {
    std::string R;
    for (char C : Name) {
        const auto U = static_cast<unsigned char>(C);
        if (C == '\\' || C == '{' || C == '}') {
            R.push_back('\\');
            R.push_back(C);
        } else if (C == ';' || U < 0x20 || U >= 0x80) {
            char Buf[8];
            std::snprintf(Buf, sizeof Buf, "\\'%02x", U);
            R += Buf;
        } else {
            R.push_back(C);
        }
    }
    return R;
}

} // namespace

namespace {

std::string AlignCode(TAlignment A, TBiDiMode B) {
    if (B != bdLeftToRight && A != taCenter)
        A = A == taLeftJustify ? taRightJustify : taLeftJustify;
    return A == taRightJustify ? "\\qr" : A == taCenter ? "\\qc" : "";
}

long long Twips(int Pixels) {
    return static_cast<long long>(std::nearbyint(Pixels * 1440.0 / fw::ScreenPixelsPerInch));
}

// The RTF table of a tree: the font and colour tables grow as the cells use them.
class TRtfWriter {
public:
    TRtfWriter(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source)
        : FTree(Tree), FSource(Source), FColumns(ExportColumns(Tree)) {}

    std::string Render() {
        std::string Body = "\\uc1\\trowd\\trgaph70" + HeaderRow() + NodeRows() + "\\pard\\par";
        std::string Out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl";
        for (std::size_t I = 0; I < FFonts.size(); ++I)
            Out += "{\\f" + std::to_string(I) + " " + RtfEscaped(FFonts[I]) + ";}";
        Out += "}{\\colortbl;";
        for (fw::TColor C : FColors)
            Out += "\\red" + std::to_string(C & 0xFF) + "\\green" +
                   std::to_string((C >> 8) & 0xFF) + "\\blue" + std::to_string((C >> 16) & 0xFF) +
                   ";";
        return Out + "}" + Body + "}";
    }

private:
    // The cell boundaries, and with columns a row of their captions.
    std::string HeaderRow() {
        if (FColumns.empty()) return "\\cellx" + std::to_string(Twips(FTree.ClientWidth()));
        std::string S;
        int Sum = 0;
        for (int I : FColumns) {
            Sum += FTree.Header()->Columns()[I].Width();
            S += "\\cellx" + std::to_string(Twips(Sum));
        }
        S += "\\pard\\intbl";
        for (int I : FColumns) {
            const TLazyTreeColumn& C = FTree.Header()->Columns()[I];
            S += AlignCode(C.Alignment(), C.BiDiMode());
            S += TextWithFont(C.Text(), FTree.Header()->Font());
            S += "\\cell";
        }
        return S + "\\row";
    }

    std::string NodeRows() {
        std::vector<int> Cells = FColumns;
        if (Cells.empty()) Cells.push_back(NoColumn);
        const int Main = FTree.HeaderMainColumn();
        fw::TBitmap Scratch(1, 1);
        fw::TCanvas& C = Scratch.Canvas();
        std::string S;
        for (PLazyNode N = FirstOf(FTree, FSource); N; N = NextOf(FTree, FSource, N)) {
            const int Level = static_cast<int>(FTree.GetNodeLevel(N));
            for (int I : Cells) {
                S += "\\pard\\intbl";
                S += I >= 0 ? AlignCode(FTree.Header()->Columns()[I].Alignment(),
                                        FTree.Header()->Columns()[I].BiDiMode())
                            : AlignCode(taLeftJustify, FTree.BiDiMode());
                C.Font().Assign(FTree.Font());
                FTree.DoPaintText(N, &C, I, ttNormal);
                if (I == Main && Level > 0) S += Tabs(Level) + " ";
                S += TextWithFont(FTree.GetText(N, I), C.Font());
                S += "\\cell";
            }
            S += "\\row";
        }
        return S;
    }

    static std::string Tabs(int Count) {
        std::string S;
        for (int L = 0; L < Count; ++L)
            S += "\\tab";
        return S;
    }

    // Index of a value in a table that grows with it.
    template <class T> static int IndexIn(std::vector<T>& Table, const T& Value) {
        auto It = std::find(Table.begin(), Table.end(), Value);
        if (It != Table.end()) return static_cast<int>(It - Table.begin());
        Table.push_back(Value);
        return static_cast<int>(Table.size()) - 1;
    }

    std::string TextWithFont(const std::u16string& Text, const fw::TFont& F) {
        std::string S;
        if (Text.empty()) return S;
        const fw::TFontStyles St = F.Style();
        if (St & fw::fsUnderline) S += "\\ul";
        if (St & fw::fsItalic) S += "\\i";
        if (St & fw::fsBold) S += "\\b";
        const int FontIndex = IndexIn(FFonts, F.Name());
        if (FontIndex != FCurrentFont) S += "\\f" + std::to_string(FCurrentFont = FontIndex);
        const int ColorIndex = IndexIn(FColors, fw::ColorToRGB(F.Color()));
        if (ColorIndex != FCurrentColor)
            S += "\\cf" + std::to_string((FCurrentColor = ColorIndex) + 1);
        if (F.Size() != FCurrentSize) S += "\\fs" + std::to_string(2 * (FCurrentSize = F.Size()));
        S += " ";
        // RTF reads \u as a signed 16-bit number.
        for (char16_t U : Text)
            S += "\\u" + std::to_string(static_cast<std::int16_t>(U)) + "\\'3f";
        if (St & fw::fsUnderline) S += "\\ul0";
        if (St & fw::fsItalic) S += "\\i0";
        if (St & fw::fsBold) S += "\\b0";
        return S;
    }

    TCustomLazyStringTree& FTree;
    TLSTTextSourceKind FSource;
    std::vector<int> FColumns;
    std::vector<std::string> FFonts;
    std::vector<fw::TColor> FColors;
    int FCurrentFont = -1, FCurrentColor = -1, FCurrentSize = -1;
};

} // namespace

std::string RenderRTF(TCustomLazyStringTree& Tree, TLSTTextSourceKind Source) {
    return TRtfWriter(Tree, Source).Render();
}

} // namespace vel
