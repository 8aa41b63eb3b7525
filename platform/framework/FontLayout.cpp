#include "Font.h"

namespace fw {

namespace {

struct TChar {
    char32_t C;
    bool Underlined;
};
using TChars = std::vector<TChar>;

constexpr int TabColumns = 8;

TChars ApplyPrefixes(std::u32string_view text, bool prefixes) {
    TChars out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (prefixes && text[i] == U'&') {
            if (i + 1 >= text.size()) break; // a lone trailing '&' shows nothing
            ++i;
            out.push_back({text[i], text[i] != U'&'});
            continue;
        }
        out.push_back({text[i], false});
    }
    return out;
}

TChars ExpandTabs(const TChars& line) {
    TChars out;
    for (const TChar& ch : line) {
        if (ch.C != U'\t') {
            out.push_back(ch);
            continue;
        }
        do {
            out.push_back({U' ', false});
        } while (out.size() % TabColumns != 0);
    }
    return out;
}

std::vector<TChars> SplitParagraphs(const TChars& text) {
    std::vector<TChars> paragraphs(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i].C;
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1].C == U'\n') ++i;
            paragraphs.emplace_back();
            continue;
        }
        paragraphs.back().push_back(text[i]);
    }
    return paragraphs;
}

// Greedy word wrap at spaces. A word wider than the line stays whole unless
// `splitWords`, when it is cut between characters (at least one per line).
void WrapParagraph(const TFontFace& face, const TChars& p, int width, bool splitWords,
                   std::vector<TChars>& lines) {
    const int advance = face.CharWidth(U'x');
    const std::size_t n = p.size();
    std::size_t start = 0;
    bool first = true;
    while (first || start < n) {
        first = false;
        std::size_t j = start;
        std::size_t breakEnd = start, breakNext = start;
        bool haveBreak = false;
        int w = 0;
        std::size_t lineEnd = n, next = n;
        while (j < n) {
            if (p[j].C == U' ') {
                std::size_t k = j;
                while (k < n && p[k].C == U' ')
                    ++k;
                if (j > start) {
                    haveBreak = true;
                    breakEnd = j;
                    breakNext = k;
                }
                if (k == n) { // trailing spaces are not shown
                    lineEnd = j > start ? j : start;
                    next = n;
                    break;
                }
                w += static_cast<int>(k - j) * advance;
                j = k;
                continue;
            }
            if (w + advance > width) {
                if (haveBreak) {
                    lineEnd = breakEnd;
                    next = breakNext;
                } else if (splitWords) {
                    lineEnd = j > start ? j : start + 1;
                    next = lineEnd;
                } else {
                    while (j < n && p[j].C != U' ')
                        ++j;
                    lineEnd = j;
                    while (j < n && p[j].C == U' ')
                        ++j;
                    next = j;
                }
                break;
            }
            w += advance;
            ++j;
        }
        lines.emplace_back(p.begin() + static_cast<std::ptrdiff_t>(start),
                           p.begin() + static_cast<std::ptrdiff_t>(lineEnd));
        start = next;
    }
}

void AddEllipsis(const TFontFace& face, TChars& line, int width) {
    const int advance = face.CharWidth(U'x');
    if (static_cast<long long>(line.size()) * advance <= width) return;
    const int room = width - 3 * advance;
    const std::size_t keep = room > 0 ? static_cast<std::size_t>(room / advance) : 0;
    line.resize(std::min(keep, line.size()));
    for (int i = 0; i < 3; ++i)
        line.push_back({U'.', false});
}

} // namespace

std::vector<TTextLine> LayoutText(const TFontFace& face, std::u32string_view text, int width,
                                  unsigned format) {
    const TChars chars = ApplyPrefixes(text, !(format & DT_NOPREFIX));
    std::vector<TChars> paragraphs;
    if (format & DT_SINGLELINE)
        paragraphs.push_back(chars);
    else
        paragraphs = SplitParagraphs(chars);

    std::vector<TChars> lines;
    const bool wrap = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
    for (TChars& p : paragraphs) {
        if (format & DT_EXPANDTABS) p = ExpandTabs(p);
        if (wrap)
            WrapParagraph(face, p, width, (format & DT_EDITCONTROL) != 0, lines);
        else
            lines.push_back(std::move(p));
    }
    if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
        for (TChars& line : lines)
            AddEllipsis(face, line, width);

    std::vector<TTextLine> out;
    out.reserve(lines.size());
    for (const TChars& line : lines) {
        TTextLine l;
        l.Text.reserve(line.size());
        for (std::size_t i = 0; i < line.size(); ++i) {
            l.Text.push_back(line[i].C);
            if (line[i].Underlined) l.Underlined.push_back(static_cast<int>(i));
        }
        l.Width = face.TextWidth(l.Text);
        out.push_back(std::move(l));
    }
    return out;
}

} // namespace fw
