#pragma once
// A text edit window over UTF-16 text: one line (scrolled to keep the caret
// in view) or, with ES_MULTILINE and without ES_AUTOHSCROLL, many lines
// wrapped at the formatting rectangle. Like the platform's edit it tells its
// parent of changes with WM_COMMAND (EN_UPDATE before the repaint, EN_CHANGE
// after it; LParam = the edit's window) and takes EM_SETRECTNP / EM_GETRECT
// for the rectangle the text is laid out in.
#include "Controls.h"

#include <string>
#include <vector>

namespace fw {

constexpr std::uint32_t ES_AUTOVSCROLL = 0x0040;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080;

constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_GETRECT = 0x00B2;
constexpr UINT EM_SETRECTNP = 0x00B4;
constexpr WPARAM EN_CHANGE = 0x0300;
constexpr WPARAM EN_UPDATE = 0x0400;

class TWideEdit : public TWinControl {
public:
    explicit TWideEdit(TComponent* AOwner);
    ~TWideEdit() override;

    const std::u16string& WideText() const { return FText; }
    void SetWideText(const std::u16string& Value);
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    // The window style decides: ES_MULTILINE without ES_AUTOHSCROLL wraps.
    bool Multiline() const;
    bool WordWrap() const;

    int SelStart() const;
    int SelLength() const;
    std::u16string SelText() const;
    void SetSel(int Start, int End);
    void SelectAll() { SetSel(0, static_cast<int>(FText.size())); }
    int CaretPos() const { return FCaret; }
    void SetCaretPos(int Value, bool Extend = false);
    void ReplaceSelection(const std::u16string& With);
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();

    // The formatting rectangle (client coordinates); the client less 2 px by default.
    TRect FormatRect() const;
    void SetFormatRect(const TRect& R);
    // The lines as laid out: start and length in units (line breaks not counted).
    struct TLine {
        int Start = 0;
        int Length = 0;
    };
    std::vector<TLine> Lines() const;
    // The text index nearest a client point.
    int IndexAt(TPoint P) const;
    // Width in pixels of a piece of text in the edit's font.
    int TextWidth(const std::u16string& S) const;
    int LineHeight() const;

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    void CreateParams(TCreateParams& Params) override;
    void DefaultHandler(TMessage& Message) override;
    void PaintWindow(const TPaintTarget& Target) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void DoEnter() override;
    // Keys the edit acts on itself; false leaves the key alone.
    virtual bool EditKey(std::uint16_t Key, TShiftState Shift);
    virtual void EditChar(char16_t Ch);

private:
    void Notify(WPARAM Code);
    int LineOf(int Index) const;
    void MoveVertically(int Lines, bool Extend);
    void ScrollCaretIntoView();
    int Clamp(int Pos) const;

    std::u16string FText;
    bool FModified = false;
    bool FReadOnly = false;
    int FAnchor = 0;
    int FCaret = 0;
    bool FHasFormatRect = false;
    TRect FFormatRect;
    int FScrollX = 0;
    int FScrollY = 0;
};

} // namespace fw
