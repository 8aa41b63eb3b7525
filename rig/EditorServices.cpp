#include "EditorServices.h"

namespace vel {

namespace {

class TNoEditor final : public TEditorServices {};

constinit TNoEditor NoEditor;
constinit TEditorServices* Installed = nullptr;

} // namespace

TEditorServices& EditorServices() {
    return Installed ? *Installed : NoEditor;
}

void InstallEditorServices(TEditorServices* Services) {
    Installed = Services;
}

} // namespace vel
