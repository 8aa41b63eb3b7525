#include "MainForm.h"

#include "Forms.h"
#include "Input.h"
#include "ToolsForm.h"

namespace vel {

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(fw::TComponent* AOwner) : TTsOwnedForm(AOwner) {
    SetName("MainForm");
    SetCaption("MainForm");
    LoadComponents([this] {
        Tsx1 = fw::Create<TTsx>(this);
        Tsx1->SetName("Tsx1");
        Tsx1->SetTitle("Velmarch Pro");
        Tsx1->SetAuthor("Orrendale");
        Tsx1->SetResBmpId(101);
        Tsx1->SetResStringId(1);
        Tsx1->SetApiVersionNeeded(430);
        Tsx1->OnPlugInit = [this] { Tsx1PlugInit(); };
        Tsx1->OnLeftClick = [this] { Tsx1LeftClick(); };
        Tsx1->OnRightClick = [this] { Tsx1RightClick(); };
        Tsx1->OnDeactivate = [this] { Tsx1Deactivate(); };
    });
}

void TMainForm::Tsx1PlugInit() {}

void TMainForm::Tsx1LeftClick() {
    if (!ToolsForm) ToolsForm = fw::Application()->CreateForm<TToolsForm>();
    ToolsForm->Show();
    KeepFormOnScreen(ToolsForm);
}

void TMainForm::Tsx1RightClick() {
    if (!ToolsForm) ToolsForm = fw::Application()->CreateForm<TToolsForm>();
    ToolsForm->About1Click(nullptr);
}

void TMainForm::Tsx1Deactivate() {
    if (ToolsForm && ToolsForm->Visible()) ToolsForm->Hide();
}

void KeepFormOnScreen(fw::TForm* form) {
    if (form->Left() < 0 || form->Left() > fw::ScreenWidth()) form->SetLeft(0);
    if (form->Top() < 0 || form->Top() > fw::ScreenHeight()) form->SetTop(0);
}

} // namespace vel
