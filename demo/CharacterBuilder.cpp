#include "CharacterBuilder.h"

#include <algorithm>
#include <vector>

#include "Bone.h"
#include "Character.h"
#include "Joint.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "Switchboard.h"
#include "ToolsForm.h"
#include "TsxHost.h"
#include "TsxPlug.h"
#include "VelLib.h"

namespace demo {

namespace {

bool Fail(std::string* error, const char* what) {
    if (error) *error = what;
    return false;
}

// The user drags the selected object until it sits at target.
void DragTo(CtsxSobj node, const CtsxVec3f& target) {
    tsxhost::Select(node);
    CtsxVec3f at{};
    tsxGNodeGetLocation(node, &at);
    tsxhost::Drag(
        CtsxTxmx3f{{1, 0, 0, target.x - at.x, 0, 1, 0, target.y - at.y, 0, 0, 1, target.z - at.z}});
}

// Joint and bone by the tool window's "Bone" button, starting at the joint
// selected in the host; answers the new joint's object.
CtsxSobj NewBoneFrom(CtsxSobj from) {
    tsxhost::Select(from);
    vel::ToolsForm->NewBoneButton->Click();
    CtsxSobj made = tsxhost::Selection();
    return made != from ? made : nullptr;
}

// The joints' objects, in the order of CharacterJoints().
bool MakeJoints(vel::TSkeleton& skeleton, std::vector<CtsxSobj>& nodes, std::string* error) {
    const auto& joints = CharacterJoints();
    nodes.assign(joints.size(), nullptr);
    for (std::size_t i = 1; i < joints.size(); ++i) {
        const int parent = joints[i].Parent;
        CtsxSobj made = NewBoneFrom(nodes[static_cast<std::size_t>(parent)]);
        if (!made) return Fail(error, "no bone made");
        if (!nodes[0]) {
            // The first bone starts at a joint of its own at the origin.
            const vel::TJoint* first = skeleton.Joints.Items(0);
            if (!first || !first->Node) return Fail(error, "no first joint");
            nodes[0] = first->Node;
            tsxGNodeSetName(nodes[0], joints[0].Name.c_str());
            DragTo(nodes[0], joints[0].Position);
        }
        nodes[i] = made;
        tsxGNodeSetName(made, joints[i].Name.c_str());
        DragTo(made, joints[i].Position);
    }
    return true;
}

// Each bone's skin area covers its tube and a little past both ends, so that
// the skin blends over the joints.
bool BindBody(vel::TSkeleton& skeleton, const std::vector<CtsxSobj>& nodes, CtsxPolyh mesh,
              std::string* error) {
    const auto& joints = CharacterJoints();
    for (auto& bone : skeleton.Bones.List) {
        if (!bone->AttachChild(mesh)) return Fail(error, "the body was not bound to a bone");
        skeleton.EnableSkin(mesh, bone.get());
        vel::TSkinArea* area = bone->SkinAreas(bone->ChildCount() - 1);
        if (!area || !bone->Tail) return Fail(error, "a bone has no skin area");
        const auto tail = std::find(nodes.begin(), nodes.end(), bone->Tail->Node);
        if (tail == nodes.end()) return Fail(error, "a bone ends at no joint of the character");
        const float reach = 1.6f * joints[static_cast<std::size_t>(tail - nodes.begin())].Radius;
        area->VolumeY = area->VolumeZ = reach;
        area->Root = area->Tip = 0.12f;
        area->RootRamp = area->TipRamp = 0.25f;
        bone->RecollectSkinArea(mesh);
    }
    return true;
}

} // namespace

bool BuildCharacter(const BuildOptions& o, BuiltCharacter& built, std::string* error) {
    tsxhost::AttachPlugin(
        {tsxGetVersion, tsxGetData, tsxOnLeftClick, tsxOnRightClick, tsxDeactivate});
    CtsxPluginData data;
    tsxhost::LoadSequence(1, &data);
    tsxhost::ClickLeft();
    velSetupMode(); // the user picks the setup page
    if (!vel::ToolsForm || !vel::SetupMode)
        return Fail(error, "the tool window did not open in setup mode");
    velNewSkeleton();
    vel::TSkeleton* skeleton = vel::CurrentSkeleton;
    if (!skeleton) return Fail(error, "no skeleton made");
    std::vector<CtsxSobj> nodes;
    if (!MakeJoints(*skeleton, nodes, error)) return false;

    const CharacterMesh body = o.Small ? MakeCharacterMesh(4, 8) : MakeCharacterMesh(12, 16);
    CtsxPolyh mesh = tsxhost::AddPolyhedron(kBodyName, body.Vertices, body.Faces);
    if (!BindBody(*skeleton, nodes, mesh, error)) return false;
    skeleton->Update();
    skeleton->DeformRootSkins();
    // The pose library keeps the rest pose, and the rest pose moved whole.
    skeleton->PoseList.push_back(skeleton->CaptureState("Rest", false, false));
    for (const CharacterPose& p : CharacterPoses()) {
        auto pose = skeleton->CaptureState(p.Name, false, false);
        for (vel::TJointRecord& r : pose->JointsState->Records)
            tsxAddToVec3f(&r.Position, &p.Offset);
        skeleton->PoseList.push_back(std::move(pose));
    }

    // The user's click on the animate tab.
    vel::ToolsForm->PageControl->SelectPage(vel::ToolsForm->AnimateSheet);
    built.Joints = nodes.size();
    built.Bones = static_cast<std::size_t>(skeleton->Bones.Count());
    built.Vertices = body.Vertices.size();
    return true;
}

} // namespace demo
