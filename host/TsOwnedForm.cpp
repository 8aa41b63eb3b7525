#include "TsOwnedForm.h"

#include "TsxPlug.h"

namespace vel {

TTsOwnedForm::TTsOwnedForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    EnsureHostEntryPoints();
}

void TTsOwnedForm::CreateParams(fw::TCreateParams& Params) {
    fw::TForm::CreateParams(Params);
    Params.WndParent = static_cast<fw::HWND>(MainViewHwnd());
}

} // namespace vel
