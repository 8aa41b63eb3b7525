#pragma once
#include "Forms.h"

namespace vel {

// The about box: the product's name and credit.
class TAboutForm : public fw::TForm {
public:
    explicit TAboutForm(fw::TComponent* AOwner);
};

extern TAboutForm* AboutForm;

} // namespace vel
