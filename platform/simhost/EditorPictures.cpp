#include "EditorPictures.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "Character.h"
#include "ComCtrls.h"
#include "Input.h"
#include "StdCtrls.h"
#include "WindowRows.h"

namespace simhost {

namespace {

using demo::CharacterJoints;
using demo::JointPath;

// The bone the demo shows: the left upper arm.
constexpr const char* kHead = "Shoulder.L";
constexpr const char* kTail = "Elbow.L";

CtsxVec3f Add(CtsxVec3f a, const CtsxVec3f& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
CtsxVec3f Scale(CtsxVec3f a, float k) {
    return {a.x * k, a.y * k, a.z * k};
}
float Gap(const CtsxVec3f& a, const CtsxVec3f& b) {
    return std::max({std::fabs(a.x - b.x), std::fabs(a.y - b.y), std::fabs(a.z - b.z)});
}
CtsxVec3f Rotate(const CtsxTxmx3f& m, const CtsxVec3f& v) {
    CtsxVec3f out{};
    tsxRotateVect3f(&v, &out, &m);
    return out;
}
CtsxVec3f JointLocation(const std::string& name) {
    return Location(tsxhost::FindByFullName(JointPath(name)));
}
std::string Picture(const std::string& dir, const char* name) {
    return (std::filesystem::path(dir) / name).string();
}
std::string NodeName(CtsxSobj node) {
    char buffer[256] = {};
    tsxGNodeGetName(node, buffer, sizeof buffer);
    return buffer;
}
std::string LabelOf(fw::TComponent* owner, const char* track) {
    const auto* label = PartNamed<fw::TLabel>(PartNamed<fw::TComponent>(owner, track), "Label");
    return label ? label->Caption() : std::string();
}

// The bone from kHead to kTail as it stands now, with its rotation.
CtsxSobj FindBone(const VelApi& api, CtsxTxmx3f& m) {
    const CtsxSobj skeleton = api.GetFirstSkeleton();
    const CtsxVec3f head = JointLocation(kHead), tail = JointLocation(kTail);
    for (CtsxSobj b = api.GetFirstBone(skeleton); b; b = api.GetNextBone(skeleton, b)) {
        float length = 0;
        api.GetBoneMatrix(b, &m, &length);
        if (Gap(Add(head, Rotate(m, CtsxVec3f{-length, 0, 0})), tail) < 1e-3f) return b;
    }
    return nullptr;
}

// The user drags a value track by dx pixels in steps, as on the screen.
void DragTrack(fw::TComponent* owner, const char* track, int steps, int dx) {
    auto* button = PartNamed<fw::TControl>(PartNamed<fw::TComponent>(owner, track), "Button");
    if (!button) return;
    fw::MouseDownAt(fw::ControlPoint(button, 4, 4));
    for (int i = 0; i < steps; ++i) {
        const fw::TPoint at = fw::GetCursorPos();
        fw::MouseMoveTo(fw::TPoint{at.X + dx, at.Y});
    }
    fw::MouseUpAt(fw::GetCursorPos());
    fw::ProcessMessages();
}

// ---- the skin area and its volume objects ----

// The volume objects' names start with their types' names.
std::vector<CtsxSobj> VolumeObjects(const std::string& prefix, bool cap) {
    std::vector<CtsxSobj> found;
    for (CtsxSobj node : tsxhost::SceneNodes()) {
        const std::string name = NodeName(node);
        if (name.rfind(prefix, 0) == 0 && (name.rfind("velVolumeCap", 0) == 0) == cap)
            found.push_back(node);
    }
    return found;
}

// The box's corners against the area the character was bound with: 0.12
// past both ends of the bone's rest length, 1.6 times the arm's radius wide.
void CheckVolumeBox(CtsxSobj box, const CtsxTxmx3f& boneFrame, Checks& checks) {
    const auto& joints = CharacterJoints();
    const auto& tail = joints[static_cast<std::size_t>(demo::CharacterJointIndex(kTail))];
    const auto& head = joints[static_cast<std::size_t>(tail.Parent)];
    const CtsxVec3f along = Add(tail.Position, Scale(head.Position, -1));
    const float length = std::sqrt(along.x * along.x + along.y * along.y + along.z * along.z);
    const float reach = 0.12f, half = 1.6f * tail.Radius;
    CtsxTxmx3f m;
    tsxGNodeGetTransform(box, &m);
    float worst = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const float sx = corner & 1 ? 1.f : -1.f, sy = corner & 2 ? 1.f : -1.f,
                    sz = corner & 4 ? 1.f : -1.f;
        const CtsxVec3f unit{sx, sy, sz};
        CtsxVec3f shown{};
        tsxTransformVect3f(&unit, &shown, &m);
        // The same corner of the area in bone space: +x is behind the head.
        const CtsxVec3f local{sx > 0 ? reach : -(length + reach), sy * half, sz * half};
        worst = std::max(worst, Gap(shown, Add(JointLocation(kHead), Rotate(boneFrame, local))));
    }
    std::printf("  volume box corners within %.2g of the area's\n", worst);
    checks.Expect(worst < 1e-3f, "the volume box spans the skin area's sizes around its bone");
}

CtsxSobj ShowSkinVolume(const VelApi& api, const std::string& outDir, Checks& checks) {
    std::printf("skin panel:\n");
    CtsxTxmx3f m{};
    const CtsxSobj bone = FindBone(api, m);
    fw::TCustomForm* tools = FormNamed("ToolsForm");
    auto* panel = PartNamed<fw::TCustomForm>(tools, "SkinPanelForm");
    auto* volume = PartNamed<fw::TToolButton>(panel, "VolumeButton");
    if (!checks.Expect(bone && panel && volume, "the skin panel and the upper arm's bone"))
        return nullptr;
    tsxhost::Select(bone); // the user clicks the bone in a view
    const auto* area = PartNamed<fw::TLabel>(panel, "AreaLabel");
    checks.Expect(area && area->Caption() == "Area: Body", "the skin panel shows the bone's area");
    checks.Expect(LabelOf(panel, "RootTrack") == "Root 0.12" &&
                      LabelOf(panel, "TipTrack") == "Tip 0.12",
                  "the skin panel's tracks show the area's reach (" + LabelOf(panel, "RootTrack") +
                      ", " + LabelOf(panel, "TipTrack") + ")");
    volume->Click();
    Redraw();
    const std::vector<CtsxSobj> boxes = VolumeObjects("velVolume", false);
    const std::vector<CtsxSobj> caps = VolumeObjects("velVolumeCap", true);
    checks.Expect(boxes.size() == 1 && caps.size() == 2, "one volume box and two caps shown");
    if (!boxes.empty()) CheckVolumeBox(boxes[0], m, checks);
    const std::string png = Picture(outDir, "skin-volume.png");
    checks.Expect(tsxhost::RenderViewPng(0, png, 640, 640), "picture " + png);
    std::printf("  %s\n", png.c_str());
    return bone;
}

// ---- the weight-painting window ----

// Where the window draws each vertex: the front view fitted to its picture
// with a margin of 12 pixels, as its documentation says.
std::vector<fw::TPoint> WeightPoints(const std::vector<CtsxVec3f>& world, int w, int h) {
    float x0 = world[0].x, x1 = x0, z0 = world[0].z, z1 = z0;
    for (const CtsxVec3f& p : world)
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), z0 = std::min(z0, p.z),
        z1 = std::max(z1, p.z);
    const double scale =
        std::min((w - 24.0) / std::max(x1 - x0, 1e-6f), (h - 24.0) / std::max(z1 - z0, 1e-6f));
    std::vector<fw::TPoint> points;
    for (const CtsxVec3f& p : world)
        points.push_back({static_cast<int>(std::lround(w / 2.0 + (p.x - (x0 + x1) / 2) * scale)),
                          static_cast<int>(std::lround(h / 2.0 - (p.z - (z0 + z1) / 2) * scale))});
    return points;
}

std::uint32_t WeightColour(float w) {
    w = std::clamp(w, 0.0f, 1.0f);
    if (w <= 0.5f) {
        const auto v = static_cast<std::uint32_t>(std::lround(w * 2 * 255));
        return 0xFF000000u | v << 16 | v << 8;
    }
    return 0xFFFF0000u | static_cast<std::uint32_t>(std::lround((1 - w) * 2 * 255)) << 8;
}

void PaintWeights(const VelApi& api, CtsxSobj bone, const std::string& outDir, Checks& checks) {
    std::printf("weight painting:\n");
    auto* paint = PartNamed<fw::TToolButton>(
        PartNamed<fw::TComponent>(FormNamed("ToolsForm"), "SkinPanelForm"), "PaintButton");
    if (!checks.Expect(paint != nullptr, "the skin panel's paint button")) return;
    paint->Click();
    fw::ProcessMessages();
    fw::TCustomForm* form = FormNamed("MeshRenderForm");
    auto* box = PartNamed<fw::TControl>(form, "PaintBox");
    if (!checks.Expect(form && box && form->Showing(), "the weight-painting window shown")) return;
    const std::string png = Picture(outDir, "weights.png");
    checks.Expect(fw::RenderControlToPng(form, png), "picture " + png);
    fw::TSurface shown;
    fw::PaintControlTo(box, shown);
    const CtsxSobj body = tsxhost::FindByFullName(demo::kBodyName);
    std::vector<CtsxVec3f> world(static_cast<std::size_t>(tsxPolyhGetNbrVxs(body)));
    const CtsxVec3f* vxs = tsxPolyhGetVxArray(body);
    CtsxTxmx3f v;
    tsxPolyhGetVxTxmx(body, &v);
    for (std::size_t i = 0; vxs && i < world.size(); ++i)
        tsxTransformVect3f(&vxs[i], &world[i], &v);
    std::vector<std::int32_t> indexes(
        static_cast<std::size_t>(std::max(api.GetChildSkinCount(bone, body), 0)));
    std::vector<float> weights(indexes.size());
    api.GetChildVertexWeights(bone, body, indexes.data(), weights.data());
    if (!checks.Expect(!world.empty() && !indexes.empty(),
                       "the body's vertices and the arm's weights"))
        return;
    const std::vector<fw::TPoint> at = WeightPoints(world, shown.Width, shown.Height);
    std::map<std::int32_t, float> weightOf;
    for (std::size_t k = 0; k < indexes.size(); ++k)
        weightOf[indexes[k]] = weights[k];
    // A listed vertex that no vertex nearer the viewer covers shows its colour.
    int checked = 0, wrong = 0;
    for (const auto& [i, w] : weightOf) {
        const auto u = static_cast<std::size_t>(i);
        if (u >= world.size()) continue;
        const bool covered = std::any_of(world.begin(), world.end(), [&](const CtsxVec3f& p) {
            const auto k = static_cast<std::size_t>(&p - world.data());
            return k != u && (p.y < world[u].y || (p.y == world[u].y && k > u)) &&
                   std::abs(at[k].X - at[u].X) <= 2 && std::abs(at[k].Y - at[u].Y) <= 2;
        });
        if (covered) continue;
        ++checked;
        wrong += shown.Pixel(at[u].X, at[u].Y) == WeightColour(w) ? 0 : 1;
    }
    std::printf("  %d of %zu weighted vertices in view, %d coloured wrong  %s\n", checked,
                weightOf.size(), wrong, png.c_str());
    checks.Expect(checked >= 10 && wrong == 0,
                  "each vertex in view coloured by its weight in the area");
}

// ---- the pose blender ----

// What blending the poses over the base gives joint by joint: unmoved
// joints keep the base, a joint one pose moved goes towards it by its
// weight, a joint several moved takes their weighted mean.
CtsxVec3f Blended(const CtsxVec3f& base, const std::vector<CtsxVec3f>& poses,
                  const std::vector<float>& weights) {
    CtsxVec3f sum{0, 0, 0};
    float total = 0;
    int moved = 0;
    float only = 0;
    for (std::size_t k = 0; k < poses.size(); ++k) {
        if (weights[k] <= 0 || Gap(poses[k], base) <= 0.01f) continue;
        ++moved;
        only = weights[k];
        sum = Add(sum, Scale(poses[k], weights[k]));
        total += weights[k];
    }
    if (moved == 0) return base;
    if (moved == 1) return Add(Scale(base, 1 - only), sum);
    return Scale(sum, 1 / total);
}

void BlendTwoPoses(const std::string& outDir, const std::vector<CtsxVec3f>& rest, Checks& checks) {
    std::printf("pose blender:\n");
    fw::TCustomForm* tools = FormNamed("ToolsForm");
    auto* open = PartNamed<fw::TToolButton>(tools, "BlenderButton");
    if (!checks.Expect(open != nullptr, "the tool window's blender button")) return;
    open->Click();
    fw::ProcessMessages();
    auto* blender = PartNamed<fw::TCustomForm>(tools, "BlenderForm");
    if (!checks.Expect(blender && blender->Showing(), "the pose blender shown")) return;
    const auto& poses = demo::CharacterPoses();
    checks.Expect(LabelOf(blender, "PoseSlider0") == "Rest 0.00" &&
                      LabelOf(blender, "PoseSlider1") == std::string(poses[0].Name) + " 0.00",
                  "a slider for each pose of the skeleton");
    std::vector<CtsxVec3f> base;
    for (const auto& j : CharacterJoints())
        base.push_back(JointLocation(j.Name));
    // 25 pixels a move are 5 steps of 0.01.
    DragTrack(blender, "PoseSlider1", 10, 25);
    DragTrack(blender, "PoseSlider2", 5, 25);
    const std::vector<float> weights = {0.5f, 0.25f};
    checks.Expect(LabelOf(blender, "PoseSlider1") == std::string(poses[0].Name) + " 0.50" &&
                      LabelOf(blender, "PoseSlider2") == std::string(poses[1].Name) + " 0.25",
                  "the sliders dragged to 0.5 and 0.25");
    float worst = 0;
    for (std::size_t i = 0; i < base.size(); ++i) {
        std::vector<CtsxVec3f> posed;
        for (const auto& p : poses)
            posed.push_back(Add(rest[i], p.Offset));
        worst = std::max(
            worst, Gap(JointLocation(CharacterJoints()[i].Name), Blended(base[i], posed, weights)));
    }
    const std::string png = Picture(outDir, "blender.png");
    checks.Expect(fw::RenderControlToPng(blender, png), "picture " + png);
    std::printf("  blended joints within %.2g of the blend of the poses  %s\n", worst, png.c_str());
    checks.Expect(worst < 1e-3f, "the blended pose is the poses' blend by the sliders' weights");
}

// ---- the onion overlay ----

// How many of the bones at a recorded frame show in the colour of their
// side over the overlay's picture.
int GhostBonesShown(const fw::TSurface& shown, const std::vector<CtsxVec3f>& joints, bool earlier) {
    int hits = 0;
    for (std::size_t i = 0; i < CharacterJoints().size(); ++i) {
        const int parent = CharacterJoints()[i].Parent;
        if (parent < 0) continue;
        const CtsxVec3f mid = Scale(Add(joints[i], joints[static_cast<std::size_t>(parent)]), 0.5f);
        float x = 0, y = 0;
        if (!tsxAViewProject(&mid, &x, &y)) continue;
        const int px = static_cast<int>(x), py = static_cast<int>(y);
        if (px < 0 || py < 0 || px >= shown.Width || py >= shown.Height) continue;
        const std::uint32_t c = shown.Pixel(px, py);
        const int red = static_cast<int>((c >> 16) & 0xFF), blue = static_cast<int>(c & 0xFF);
        hits += earlier ? red > blue + 40 : blue > red + 40;
    }
    return hits;
}

void OnionAtRecordedFrame(const std::string& outDir, const RecordedFrames& recorded,
                          Checks& checks) {
    std::printf("onion overlay:\n");
    const std::size_t at = 2; // frame 24: frames 12 and 0 before it, 36 after
    const float frame = recorded.Frames[at];
    tsxhost::SetTime(frame);
    Redraw();
    fw::TCustomForm* tools = FormNamed("ToolsForm");
    auto* open = PartNamed<fw::TToolButton>(tools, "OnionButton");
    auto* onion = PartNamed<fw::TCustomForm>(tools, "OnionForm");
    auto* on = PartNamed<fw::TToolButton>(onion, "OverlayButton");
    auto* box = PartNamed<fw::TControl>(onion, "PaintBox");
    if (!checks.Expect(open && onion && on && box, "the onion window and its switch")) return;
    std::vector<CtsxVec3f> before;
    for (const auto& j : CharacterJoints())
        before.push_back(JointLocation(j.Name));
    open->Click();
    on->Click();
    fw::ProcessMessages();
    const std::string png = Picture(outDir, "onion.png");
    checks.Expect(onion->Showing() && fw::RenderControlToPng(onion, png), "picture " + png);
    fw::TSurface shown;
    fw::PaintControlTo(box, shown);
    float moved = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        moved = std::max(moved, Gap(before[i], JointLocation(CharacterJoints()[i].Name)));
    checks.Expect(tsxAnimGetActiveTime() == frame && moved == 0,
                  "the overlay leaves the time and the pose as they were");
    const int bones = static_cast<int>(CharacterJoints().size()) - 1;
    const int earlier = GhostBonesShown(shown, recorded.Joints[at - 1], true);
    const int later = GhostBonesShown(shown, recorded.Joints[at + 1], false);
    std::printf("  at frame %d: %d of %d bones of frame %d and %d of frame %d over the view  %s\n",
                static_cast<int>(frame), earlier, bones, static_cast<int>(recorded.Frames[at - 1]),
                later, static_cast<int>(recorded.Frames[at + 1]), png.c_str());
    checks.Expect(2 * earlier > bones && 2 * later > bones,
                  "the neighbouring frames' bones drawn over the view where they stood");
}

} // namespace

void ShowEditorWindows(const VelApi& api, const std::string& outDir, const RecordedFrames& recorded,
                       Checks& checks) {
    // The save before took the host to frame 0 (the plug-in goes there on
    // the host's save event); the user goes back to the last recorded frame.
    tsxhost::SetTime(recorded.Frames.back());
    Redraw();
    const CtsxSobj bone = ShowSkinVolume(api, outDir, checks);
    if (bone) PaintWeights(api, bone, outDir, checks);
    BlendTwoPoses(outDir, recorded.Joints.front(), checks);
    OnionAtRecordedFrame(outDir, recorded, checks);
}

} // namespace simhost
