#pragma once
// The masked edit box: an edit box whose text follows a picture mask. Mask
// characters: 9 or 0 a digit, # a digit, a sign or a space, L a letter, A a
// letter or a digit, ? any character; a backslash makes the next character
// a literal; any other character stands for itself. Typing a character the
// mask refuses beeps and changes nothing; literals the mask asks for before
// a typed character come by themselves.
#include "StdCtrls.h"

#include <string>
#include <string_view>

namespace fw {

// Whether the text fits the start of the mask, character by character.
bool MaskAccepts(std::string_view Mask, std::string_view Text);
// The literal at a text position of the mask; false where the mask takes input
// (or has ended).
bool MaskLiteralAt(std::string_view Mask, int Pos, char& Literal);
// The number of text positions the mask has.
int MaskLength(std::string_view Mask);

class TMaskEdit : public TEdit {
public:
    explicit TMaskEdit(TComponent* AOwner);
    const std::string& EditMask() const { return FEditMask; }
    void SetEditMask(const std::string& Value) { FEditMask = Value; }
    // Whether text may replace the selection; false beeps.
    bool ValidEdit(const std::string& Value);

protected:
    void KeyPress(char& Key) override;
    void DefaultHandler(TMessage& Message) override;

private:
    std::string FEditMask;
};

} // namespace fw
