// Makes the demo's character scene: a host with the plug-in built in, driven
// the way a user builds a rig. The tool window's buttons make the joints and
// bones, the host's drags place them in setup mode, and the host's save asks
// the plug-in for its records. Binding the body to the bones has no window
// yet, so that one step calls the rig as its window will.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Bone.h"
#include "Character.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "Switchboard.h"
#include "ToolsForm.h"
#include "TsxHost.h"
#include "TsxPlug.h"
#include "VelLib.h"

namespace {

using demo::CharacterJoints;

struct Options {
    std::string Out = "character.scene";
    bool Small = false;
};

CtsxVec3f Location(CtsxSobj node) {
    CtsxVec3f v{};
    tsxGNodeGetLocation(node, &v);
    return v;
}

// The user drags the selected object until it sits at target.
void DragTo(CtsxSobj node, const CtsxVec3f& target) {
    tsxhost::Select(node);
    const CtsxVec3f at = Location(node);
    tsxhost::Drag(
        CtsxTxmx3f{{1, 0, 0, target.x - at.x, 0, 1, 0, target.y - at.y, 0, 0, 1, target.z - at.z}});
}

// Joint and bone by the tool window's "Bone" button, starting at the joint
// selected in the host; answers the new joint's object.
CtsxSobj NewBoneFrom(CtsxSobj from) {
    tsxhost::Select(from);
    vel::ToolsForm->NewBoneButton->Click();
    return tsxGetCurrentSelection();
}

bool Build(const Options& o) {
    tsxhost::AttachPlugin(
        {tsxGetVersion, tsxGetData, tsxOnLeftClick, tsxOnRightClick, tsxDeactivate});
    CtsxPluginData data;
    tsxhost::LoadSequence(1, &data);
    tsxhost::ClickLeft(); // the tool window opens on its setup page
    if (!vel::ToolsForm || !vel::SetupMode) {
        std::fprintf(stderr, "simcharacter: the tool window did not open in setup mode\n");
        return false;
    }
    velNewSkeleton();
    vel::TSkeleton* skeleton = vel::CurrentSkeleton;
    if (!skeleton) return false;

    const auto& joints = CharacterJoints();
    std::vector<CtsxSobj> nodes(joints.size(), nullptr);
    for (std::size_t i = 1; i < joints.size(); ++i) {
        const int parent = joints[i].Parent;
        CtsxSobj made = NewBoneFrom(nodes[static_cast<std::size_t>(parent)]);
        if (!nodes[0]) {
            // The first bone starts at a joint of its own at the origin.
            nodes[0] = skeleton->Joints.Items(0)->Node;
            tsxGNodeSetName(nodes[0], joints[0].Name.c_str());
            DragTo(nodes[0], joints[0].Position);
        }
        nodes[i] = made;
        tsxGNodeSetName(made, joints[i].Name.c_str());
        DragTo(made, joints[i].Position);
    }

    const demo::CharacterMesh body =
        o.Small ? demo::MakeCharacterMesh(4, 8) : demo::MakeCharacterMesh(12, 16);
    CtsxPolyh mesh = tsxhost::AddPolyhedron(demo::kBodyName, body.Vertices, body.Faces);
    for (auto& bone : skeleton->Bones.List) {
        if (!bone->AttachChild(mesh)) return false;
        skeleton->EnableSkin(mesh, bone.get());
        vel::TSkinArea* area = bone->SkinAreas(bone->ChildCount() - 1);
        if (!area) return false;
        // Each tube, and a little past both ends so that the skin blends
        // over the joints.
        const auto tail = std::find(nodes.begin(), nodes.end(), bone->Tail->Node);
        if (tail == nodes.end()) return false;
        const float reach = 1.6f * joints[static_cast<std::size_t>(tail - nodes.begin())].Radius;
        area->VolumeY = area->VolumeZ = reach;
        area->Root = area->Tip = 0.12f;
        area->RootRamp = area->TipRamp = 0.25f;
        bone->RecollectSkinArea(mesh);
    }
    skeleton->Update();
    skeleton->DeformRootSkins();
    // The pose library keeps the rest pose.
    skeleton->PoseList.push_back(skeleton->CaptureState("Rest", false, false));

    // The user's click on the animate tab.
    vel::ToolsForm->PageControl->SelectPage(vel::ToolsForm->AnimateSheet);

    std::string error;
    if (!tsxhost::SaveScene(o.Out, &error)) {
        std::fprintf(stderr, "simcharacter: %s\n", error.c_str());
        return false;
    }
    std::printf("character: %zu joints, %d bones, %zu vertices -> %s\n", joints.size(),
                skeleton->Bones.Count(), body.Vertices.size(), o.Out.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            o.Out = argv[++i];
        else if (std::strcmp(argv[i], "--small") == 0)
            o.Small = true;
        else {
            std::fprintf(stderr, "usage: simcharacter [--out FILE] [--small]\n");
            return 2;
        }
    }
    // The plug-in's units went up as this program started and come down at
    // its exit, as in a host that never unloads its plug-ins.
    return Build(o) ? 0 : 1;
}
