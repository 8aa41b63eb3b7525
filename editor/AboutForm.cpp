#include "AboutForm.h"

namespace vel {

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("AboutForm");
    SetCaption("About Velmarch Pro");
}

} // namespace vel
