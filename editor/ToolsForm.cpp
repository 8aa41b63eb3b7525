#include "ToolsForm.h"

#include "AboutForm.h"
#include "Forms.h"

namespace vel {

TToolsForm* ToolsForm = nullptr;

TToolsForm::TToolsForm(fw::TComponent* AOwner) : TTsOwnedForm(AOwner) {
    SetName("ToolsForm");
    SetCaption("Velmarch");
}

void TToolsForm::About1Click(fw::TObject* /*Sender*/) {
    if (!AboutForm) AboutForm = fw::Application()->CreateForm<TAboutForm>();
    AboutForm->Show();
}

} // namespace vel
