#pragma once
// Test fixture for the tree windows: the editor's windows installed, the
// tool window opened by a click on the plug-in's icon (which makes the tree
// windows), and the rows of a tree window as text.
#include <string>
#include <vector>

#include "EditorWindowsTestEnv.h"
#include "Input.h"
#include "Timers.h"
#include "TreeForm.h"

namespace vel {

class TreeFormTest : public EditorWindowsTest {
protected:
    static TToolsForm* OpenTools() {
        tsxhost::ClickLeft();
        fw::ProcessMessages();
        return ToolsForm;
    }
    // Every row in order, two blanks of indent for each level, its static
    // text (when any) after " | ".
    static std::vector<std::string> Rows(TTreeForm* form) {
        std::vector<std::string> rows;
        TLazyStringTree* tree = form->Tree();
        for (PLazyNode node = tree->GetFirst(); node; node = tree->GetNext(node)) {
            std::string row(2 * tree->GetNodeLevel(node), ' ');
            row += form->RowText(node);
            std::u16string extra;
            tree->DoGetText(node, NoColumn, ttStatic, extra);
            if (!extra.empty()) row += " | " + std::string(extra.begin(), extra.end());
            rows.push_back(row);
        }
        return rows;
    }
    // The user's click on a row, with the tool window shown on the tree's page.
    static void ClickRow(TTreeForm* form, PLazyNode node) {
        ToolsForm->Show();
        ToolsForm->TreePages->SelectPage(static_cast<fw::TTabSheet*>(form->Parent()));
        fw::ProcessMessages();
        form->Tree()->ScrollIntoView(node, false);
        const fw::TRect r = form->Tree()->GetDisplayRect(node, NoColumn, true);
        fw::AdvanceClock(fw::DoubleClickTime() + 1); // a click of its own
        fw::ClickAt(fw::ControlPoint(form->Tree(), r.Left + 2, (r.Top + r.Bottom) / 2));
    }
};

} // namespace vel
