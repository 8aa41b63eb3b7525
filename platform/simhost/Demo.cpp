#include "Demo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <set>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <type_traits>
#include <vector>

#include "Character.h"
#include "DemoSupport.h"
#include "EditorPictures.h"
#include "ComCtrls.h"
#include "Forms.h"
#include "SceneRecords.h"
#include "Input.h"
#include "Messages.h"
#include "Timers.h"
#include "TsxHost.h"
#include "WindowRows.h"
#include "tsxapi.h"

extern char** environ;

namespace simhost {

namespace {

using demo::CharacterJoint;
using demo::CharacterJoints;
using demo::JointPath;
using demo::kBodyName;

std::string NodeName(CtsxSobj node) {
    char buffer[256] = {};
    tsxGNodeGetName(node, buffer, sizeof buffer);
    return buffer;
}

float Distance(const CtsxVec3f& a, const CtsxVec3f& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float MaxDistance(const std::vector<CtsxVec3f>& a, const std::vector<CtsxVec3f>& b) {
    if (a.size() != b.size()) return INFINITY;
    float worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, Distance(a[i], b[i]));
    return worst;
}

// What the scripting functions tell of one bone.
struct BoneInfo {
    std::string Name;
    float Length = 0;
    std::vector<std::string> Children;
    std::vector<std::int32_t> Indexes;
    std::vector<float> Weights;
};

struct RigInfo {
    int Skeletons = 0;
    std::vector<BoneInfo> Bones; // of the first skeleton
    std::size_t Weighted() const {
        std::size_t n = 0;
        for (const BoneInfo& b : Bones)
            n += b.Indexes.size();
        return n;
    }
};

RigInfo ReadRig(const VelApi& api) {
    RigInfo rig;
    const CtsxSobj first = api.GetFirstSkeleton();
    for (CtsxSobj s = first; s; s = api.GetNextSkeleton(s))
        ++rig.Skeletons;
    for (CtsxSobj b = first ? api.GetFirstBone(first) : nullptr; b; b = api.GetNextBone(first, b)) {
        BoneInfo info;
        info.Name = NodeName(b);
        CtsxTxmx3f m{};
        api.GetBoneMatrix(b, &m, &info.Length);
        CtsxSobj child = api.GetFirstChild(b);
        if (child) {
            do
                info.Children.push_back(NodeName(child));
            while (api.GetNextChild(b, &child));
            child = api.GetFirstChild(b);
            const std::int32_t n = api.GetChildSkinCount(b, child);
            if (n > 0) {
                info.Indexes.resize(static_cast<std::size_t>(n));
                info.Weights.resize(static_cast<std::size_t>(n));
                api.GetChildVertexWeights(b, child, info.Indexes.data(), info.Weights.data());
            }
        }
        rig.Bones.push_back(std::move(info));
    }
    return rig;
}

bool SameRig(const RigInfo& a, const RigInfo& b) {
    if (a.Skeletons != b.Skeletons || a.Bones.size() != b.Bones.size()) return false;
    for (std::size_t i = 0; i < a.Bones.size(); ++i) {
        const BoneInfo &x = a.Bones[i], &y = b.Bones[i];
        if (x.Name != y.Name || std::fabs(x.Length - y.Length) > 1e-4f ||
            x.Children != y.Children || x.Indexes != y.Indexes ||
            x.Weights.size() != y.Weights.size())
            return false;
        for (std::size_t k = 0; k < x.Weights.size(); ++k)
            if (std::fabs(x.Weights[k] - y.Weights[k]) > 1e-5f) return false;
    }
    return true;
}

// One frame as the views show it: the body's vertices and every joint.
struct FrameState {
    std::vector<CtsxVec3f> Body;
    std::vector<CtsxVec3f> Joints;
};

FrameState ReadFrame() {
    FrameState f;
    CtsxSobj body = tsxhost::FindByFullName(kBodyName);
    const int n = tsxPolyhGetNbrVxs(body);
    const CtsxVec3f* vxs = tsxPolyhGetVxArray(body);
    if (vxs && n > 0) f.Body.assign(vxs, vxs + n);
    for (const CharacterJoint& j : CharacterJoints())
        f.Joints.push_back(Location(tsxhost::FindByFullName(JointPath(j.Name))));
    return f;
}

// A host with the plug-in loaded as the host application loads it.
class Session {
public:
    bool Open(const DemoOptions& o, std::string* error) {
        tsxhost::Reset();
        if (!tsxhost::LoadPluginModule(o.Plugin, error)) return false;
        FModule = dlopen(o.Plugin.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (!FModule || !Api.Bind(FModule)) {
            *error = "the scripting functions are missing";
            return false;
        }
        CtsxPluginData data;
        std::memset(&data, 0, sizeof data);
        tsxhost::LoadSequence(1, &data);
        return true;
    }
    // Loads a scene and lets the plug-in's load timer run.
    bool Load(const std::string& path, std::string* error) {
        if (!tsxhost::LoadScene(path, error)) return false;
        fw::AdvanceClock(250);
        Redraw();
        return true;
    }
    void Close() {
        if (FModule) dlclose(FModule);
        FModule = nullptr;
        tsxhost::UnloadPluginModule();
        tsxhost::Reset();
    }
    ~Session() { Close(); }

    VelApi Api;

private:
    void* FModule = nullptr;
};

bool RunMaker(const DemoOptions& o, const std::string& scene) {
    std::vector<std::string> args = {o.Maker, "--out", scene};
    if (o.Small) args.push_back("--small");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, o.Maker.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "simhost: cannot run %s\n", o.Maker.c_str());
        return false;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A pose: joints dragged to targets at one frame.
struct PoseDrag {
    const char* Joint;
    CtsxVec3f Target;
};
struct PoseFrame {
    float Frame;
    std::vector<PoseDrag> Drags;
};

const std::vector<PoseFrame>& Choreography() {
    static const std::vector<PoseFrame> frames = {
        {0, {}},
        {12,
         {{"Elbow.L", {1.1f, -0.2f, 5.4f}},
          {"Hand.L", {1.4f, -0.3f, 6.6f}},
          {"Elbow.R", {-1.1f, -0.2f, 4.1f}},
          {"Hand.R", {-1.2f, -0.5f, 3.3f}}}},
        {24,
         {{"Elbow.R", {-1.1f, -0.2f, 5.4f}},
          {"Hand.R", {-1.4f, -0.3f, 6.6f}},
          {"Elbow.L", {1.1f, -0.2f, 4.1f}},
          {"Hand.L", {1.2f, -0.5f, 3.3f}},
          {"Knee.L", {0.6f, -0.9f, 2.0f}},
          {"Toe.L", {0.6f, -1.4f, 1.1f}}}},
        {36,
         {{"Head", {0.35f, -0.1f, 5.8f}},
          {"Hand.L", {2.4f, 0, 5.3f}},
          {"Hand.R", {-2.4f, 0, 5.3f}},
          {"Toe.L", {0.34f, -0.55f, 0.08f}},
          {"Knee.R", {-0.6f, -0.9f, 2.0f}},
          {"Toe.R", {-0.6f, -1.4f, 1.1f}}}},
    };
    return frames;
}

constexpr int kDragSteps = 8;

// The user's drag of a joint towards target, in small steps; answers the
// time it took in milliseconds.
double DragJoint(CtsxSobj joint, const CtsxVec3f& target) {
    tsxhost::Select(joint);
    const CtsxVec3f from = Location(joint);
    const float k = 1.0f / kDragSteps;
    const CtsxTxmx3f step{{1, 0, 0, k * (target.x - from.x), 0, 1, 0, k * (target.y - from.y), 0, 0,
                           1, k * (target.z - from.z)}};
    const auto start = std::chrono::steady_clock::now();
    tsxhost::BeginDrag();
    for (int i = 0; i < kDragSteps; ++i)
        tsxhost::DragStep(step);
    tsxhost::EndDrag();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

std::string FramePng(const std::string& dir, float frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%03d.png", static_cast<int>(frame));
    return (std::filesystem::path(dir) / name).string();
}

struct KeyCount {
    std::size_t Location = 0, Stiff = 0, Twist = 0;
};

KeyCount CountKeys(const std::vector<SceneNode>& nodes) {
    KeyCount c;
    for (const SceneNode& n : nodes)
        for (const SceneKey& k : n.Keys) {
            if (k.Attribute == "Stiff") ++c.Stiff;
            if (k.Attribute == "Twist") ++c.Twist;
            if (k.Attribute.empty() && k.Kind == TSX_KIND_LOCATION) ++c.Location;
        }
    return c;
}

// Equal bytes, or 32-bit words that are both ordinary floats agreeing to
// float precision.
bool SameFloats(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); i += 4) {
        const std::size_t n = std::min<std::size_t>(4, a.size() - i);
        if (std::memcmp(a.data() + i, b.data() + i, n) == 0) continue;
        if (n < 4) return false;
        float x, y;
        std::memcpy(&x, a.data() + i, 4);
        std::memcpy(&y, b.data() + i, 4);
        if (std::fpclassify(x) != FP_NORMAL || std::fpclassify(y) != FP_NORMAL ||
            std::fabs(x - y) > 1e-4f * std::max(1.0f, std::fabs(x)))
            return false;
    }
    return true;
}

// The number of poses the first pose-library record holds (version, then
// count); 0 when there is none.
std::uint32_t PoseCount(const std::vector<SceneNode>& nodes) {
    for (const SceneNode& n : nodes)
        if (n.ExtType == "velPoseLibrary" && n.Record.size() >= 8) {
            std::uint32_t count = 0;
            std::memcpy(&count, n.Record.data() + 4, 4);
            return count;
        }
    return 0;
}

// Keys and rig records of the nodes of two saves of one scene.
void CompareSaves(const std::vector<SceneNode>& before, const std::vector<SceneNode>& after,
                  Checks& checks) {
    std::map<std::string, const SceneNode*> byPath;
    for (const SceneNode& n : after)
        byPath[n.Path] = &n;
    int missing = 0, keyMismatches = 0, recordMismatches = 0;
    for (const SceneNode& n : before) {
        auto it = byPath.find(n.Path);
        if (it == byPath.end()) {
            ++missing;
            continue;
        }
        const SceneNode& m = *it->second;
        bool sameKeys = n.Keys.size() == m.Keys.size();
        for (std::size_t k = 0; sameKeys && k < n.Keys.size(); ++k) {
            const SceneKey &x = n.Keys[k], &y = m.Keys[k];
            sameKeys = x.Attribute == y.Attribute && x.Time == y.Time &&
                       (!x.Attribute.empty() || x.Kind == y.Kind) && SameFloats(x.Data, y.Data);
        }
        if (!sameKeys) ++keyMismatches;
        // Weights and matrices are worked out again after a load, along
        // another path, so only the records' shape must agree to the byte.
        if ((n.ExtType == "velBone" || n.ExtType == "velPoseLibrary") &&
            n.Record.size() != m.Record.size())
            ++recordMismatches;
    }
    checks.Expect(missing == 0, std::to_string(missing) + " nodes missing after the reload");
    checks.Expect(keyMismatches == 0,
                  std::to_string(keyMismatches) + " nodes whose keys changed after the reload");
    checks.Expect(recordMismatches == 0,
                  std::to_string(recordMismatches) +
                      " bone or pose-library records changed size after the reload");
}

// The host's time set to frame, its redraws settled.
void ShowFrame(float frame) {
    tsxhost::SetTime(frame);
    Redraw();
}

int Failed(const std::string& error) {
    std::fprintf(stderr, "simhost: %s\n", error.c_str());
    return 1;
}

// The scenes the demo saves, in the output folder.
struct DemoScenes {
    std::string Made, Animated, Reloaded;
};

DemoScenes PrepareOutput(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    return {(fs::path(dir) / "character.scene").string(),
            (fs::path(dir) / "character-animated.scene").string(),
            (fs::path(dir) / "character-reloaded.scene").string()};
}

// What the plug-in rebuilt from the character's scene.
void CheckLoadedRig(const VelApi& api, const std::string& made, Checks& checks) {
    const RigInfo loaded = ReadRig(api);
    std::printf("loaded %s: %d skeleton(s), %zu bones, %zu weighted vertices\n", made.c_str(),
                loaded.Skeletons, loaded.Bones.size(), loaded.Weighted());
    checks.Expect(loaded.Skeletons == 1, "one skeleton rebuilt after the load");
    checks.Expect(loaded.Bones.size() + 1 == CharacterJoints().size(),
                  "every bone rebuilt after the load");
    const bool bound = std::all_of(loaded.Bones.begin(), loaded.Bones.end(), [](const BoneInfo& b) {
        return b.Children == std::vector<std::string>{kBodyName} && !b.Indexes.empty();
    });
    checks.Expect(bound, "every bone holds the body with a skin area");
    checks.Expect(api.IsSetupMode() == 0, "the tool window opened on its animate page");
}

// The user's drag of one joint of a pose; answers the time it took, none
// when the joint is not there.
std::optional<double> DragPoseJoint(const PoseFrame& pose, const PoseDrag& d, Checks& checks) {
    CtsxSobj joint = tsxhost::FindByFullName(JointPath(d.Joint));
    if (!checks.Expect(joint != nullptr, std::string("joint ") + d.Joint + " found"))
        return std::nullopt;
    const CtsxVec3f before = Location(joint);
    const double ms = DragJoint(joint, d.Target);
    const CtsxVec3f after = Location(joint);
    std::printf("  frame %3d  drag %-8s %6.2f -> %5.2f from the target  %8.2f ms\n",
                static_cast<int>(pose.Frame), d.Joint, Distance(before, d.Target),
                Distance(after, d.Target), ms);
    checks.Expect(Distance(after, d.Target) < Distance(before, d.Target) ||
                      Distance(before, d.Target) < 1e-3f,
                  std::string("dragging ") + d.Joint + " moved it towards its target");
    return ms;
}

// Every pose dragged and recorded at its frame; answers the drag times.
std::vector<double> PoseAndRecord(const VelApi& api, Checks& checks) {
    std::printf("posing:\n");
    std::vector<double> dragTimes;
    for (const PoseFrame& pose : Choreography()) {
        api.SetRecordFrame(pose.Frame);
        for (const PoseDrag& d : pose.Drags)
            if (const auto ms = DragPoseJoint(pose, d, checks)) dragTimes.push_back(*ms);
        api.Record();
        int keyed = 0;
        for (const CharacterJoint& j : CharacterJoints())
            if (tsxSobjGetFrame(tsxhost::FindByFullName(JointPath(j.Name)), TSX_KIND_LOCATION, 0,
                                pose.Frame))
                ++keyed;
        checks.Expect(keyed == static_cast<int>(CharacterJoints().size()),
                      "every joint keyed at frame " + std::to_string(static_cast<int>(pose.Frame)));
    }
    return dragTimes;
}

// Each recorded frame shown and drawn into a picture; answers what it showed.
std::vector<FrameState> PlayBack(const std::string& outDir, Checks& checks) {
    std::printf("playback:\n");
    std::vector<FrameState> played;
    for (const PoseFrame& pose : Choreography()) {
        ShowFrame(pose.Frame);
        played.push_back(ReadFrame());
        const std::string png = FramePng(outDir, pose.Frame);
        checks.Expect(tsxhost::RenderViewPng(0, png, 640, 640), "picture " + png);
        std::printf("  frame %3d  %s\n", static_cast<int>(pose.Frame), png.c_str());
    }
    for (std::size_t i = 1; i < played.size(); ++i)
        checks.Expect(MaxDistance(played[0].Body, played[i].Body) > 0.3f,
                      "the body is deformed at frame " +
                          std::to_string(static_cast<int>(Choreography()[i].Frame)));
    return played;
}

// ---- the tree windows, as the user opens them in the tool window ----

struct TreeWindow {
    const char* Sheet;
    const char* Form;
    const char* Tree;
    const char* Picture;
};

const TreeWindow kTreeWindows[] = {
    {"SceneSheet", "SceneTreeForm", "SceneTree", "scene-tree.png"},
    {"SkeletonSheet", "SkelTreeForm", "SkelTree", "skeleton-tree.png"},
    {"PosesSheet", "PosesForm", "PoseTree", "poses.png"},
};

// The rows of each tree window, by its form's name.
using TreeWindowRows = std::map<std::string, std::vector<WindowRow>>;

// The user clicks a page's tab; true when the page came up.
bool ClickTab(fw::TPageControl* Pages, fw::TTabSheet* Sheet) {
    if (!Pages || !Sheet) return false;
    const fw::TRect tab = Pages->TabRect(Sheet->PageIndex());
    fw::AdvanceClock(fw::DoubleClickTime() + 1); // a click of its own
    fw::ClickAt(fw::ControlPoint(Pages, (tab.Left + tab.Right) / 2, (tab.Top + tab.Bottom) / 2));
    fw::ProcessMessages();
    return Pages->ActivePage() == Sheet;
}

// The user clicks each tree window's tab in turn and makes the tool window
// tall enough to show all of its rows, then its picture is taken; answers
// the rows each shows.
TreeWindowRows OpenTreeWindows(const std::string& outDir, Checks& checks) {
    std::printf("tree windows:\n");
    TreeWindowRows shown;
    fw::TCustomForm* tools = FormNamed("ToolsForm");
    auto* pages = PartNamed<fw::TPageControl>(tools, "TreePages");
    if (!checks.Expect(pages != nullptr, "the tool window has the tree windows' pages"))
        return shown;
    for (const TreeWindow& w : kTreeWindows) {
        checks.Expect(ClickTab(pages, PartNamed<fw::TTabSheet>(tools, w.Sheet)),
                      std::string("a click on the tab of ") + w.Sheet);
        auto* form = PartNamed<fw::TCustomForm>(tools, w.Form);
        auto* tree = PartNamed<fw::TWinControl>(form, w.Tree);
        if (!checks.Expect(form && tree && form->Showing(), std::string(w.Form) + " shown"))
            continue;
        const std::vector<WindowRow>& rows = shown[w.Form] = ReadWindowRows(tree);
        const int rowsHeight = 18 * static_cast<int>(rows.size()) + 24;
        tools->SetBounds(tools->Left(), tools->Top(), 360,
                         tools->Height() - form->Height() + std::max(rowsHeight, 120));
        fw::ProcessMessages();
        const std::string png = (std::filesystem::path(outDir) / w.Picture).string();
        checks.Expect(fw::RenderControlToPng(form, png), "picture " + png);
        std::printf("  %-13s %3zu rows  %s\n", w.Form, rows.size(), png.c_str());
    }
    return shown;
}

// The user opens the dope sheet's page and makes the tool window big enough
// to show every frame and row, then its picture is taken; meanwhile a script
// switches the skeleton's recording off and on again. Answers what the sheet
// showed, and in Off what it showed with recording off.
WindowGrid OpenDopeSheet(const VelApi& api, const std::string& outDir, WindowGrid& off,
                         Checks& checks) {
    std::printf("dope sheet:\n");
    fw::TCustomForm* tools = FormNamed("ToolsForm");
    auto* pages = PartNamed<fw::TPageControl>(tools, "TreePages");
    auto* sheet = PartNamed<fw::TTabSheet>(tools, "KeysSheet");
    if (!checks.Expect(pages && sheet, "the tool window has the dope sheet's page")) return {};
    checks.Expect(ClickTab(pages, sheet), "a click on the dope sheet's tab");
    auto* form = PartNamed<fw::TCustomForm>(tools, "DopeSheetForm");
    auto* grid = PartNamed<fw::TWinControl>(form, "DopeGrid");
    if (!checks.Expect(form && grid && form->Showing(), "DopeSheetForm shown")) return {};
    WindowGrid shown = ReadWindowGrid(grid);
    // Room for the heading, the frame and, while too small, the scroll bars.
    const int rowsHeight = 16 * static_cast<int>(shown.Rows.size()) + 40;
    tools->SetBounds(tools->Left(), tools->Top(),
                     tools->Width() - form->Width() + shown.Width + 20,
                     tools->Height() - form->Height() + std::max(rowsHeight, 120));
    fw::ProcessMessages();
    const std::string png = (std::filesystem::path(outDir) / "dope-sheet.png").string();
    checks.Expect(fw::RenderControlToPng(form, png), "picture " + png);
    std::printf("  %-13s %3zu rows  %zu columns  %s\n", "DopeSheetForm", shown.Rows.size(),
                shown.Headings.size(), png.c_str());
    // The tool window whole, its tabs on top; then narrower, the frames
    // scrolled to the end past the name and record columns, which stay.
    const std::string whole = (std::filesystem::path(outDir) / "tools.png").string();
    checks.Expect(fw::RenderControlToPng(tools, whole), "picture " + whole);
    tools->SetBounds(tools->Left(), tools->Top(), 420, tools->Height());
    fw::SendMessage(grid->Handle(), fw::WM_HSCROLL, fw::SB_BOTTOM, 0);
    fw::ProcessMessages();
    const std::string scrolled = (std::filesystem::path(outDir) / "dope-sheet-scrolled.png").string();
    checks.Expect(fw::RenderControlToPng(form, scrolled), "picture " + scrolled);
    const CtsxSobj skeleton = api.GetFirstSkeleton();
    api.SkeletonSetRecording(skeleton, 0);
    off = ReadWindowGrid(grid);
    api.SkeletonSetRecording(skeleton, 1);
    return shown;
}

// The mark a dope sheet cell shows for a node's keys at one frame: a bone's
// Twist keys; a joint's location and Stiff keys, both or either.
std::map<long, std::string> ExpectedMarks(const SceneNode& node) {
    std::map<long, int> kinds;
    for (const SceneKey& k : node.Keys) {
        const long frame = std::lround(k.Time);
        if (k.Attribute == "Twist") kinds[frame] |= 4;
        if (k.Attribute == "Stiff") kinds[frame] |= 2;
        if (k.Attribute.empty() && k.Kind == TSX_KIND_LOCATION) kinds[frame] |= 1;
    }
    const bool bone = node.ExtType == "velBone";
    std::map<long, std::string> marks;
    for (const auto& [frame, k] : kinds) {
        if (bone && (k & 4)) marks[frame] = "Twist";
        if (!bone && (k & 3)) marks[frame] = k == 3 ? "Key" : (k & 1) ? "Location" : "Stiff";
    }
    return marks;
}

// The dope sheet against the scene saved right after it was read: the
// skeleton's joints then its bones, each marked at exactly the frames its
// keys are at, and the record column showing the skeleton's flag.
void CheckDopeSheet(const WindowGrid& shown, const WindowGrid& off, const RigInfo& rig,
                    const std::string& scene, Checks& checks) {
    std::vector<SceneNode> nodes;
    std::string error;
    if (!checks.Expect(ReadSceneNodes(scene, nodes, &error), "saved scene read back " + error))
        return;
    std::map<std::string, const SceneNode*> byName;
    for (const SceneNode& n : nodes)
        byName[n.Path.substr(n.Path.rfind('/') + 1)] = &n;
    const std::size_t joints = CharacterJoints().size();
    int wrongKind = 0, wrongMarks = 0, marks = 0;
    for (std::size_t r = 0; r < shown.Rows.size(); ++r) {
        const std::vector<std::string>& row = shown.Rows[r];
        const auto node = byName.find(row.empty() ? "" : row[0]);
        if (node == byName.end() || (node->second->ExtType == "velBone") != (r >= joints)) {
            ++wrongKind;
            continue;
        }
        std::map<long, std::string> marked;
        for (std::size_t c = 2; c < row.size() && c < shown.Headings.size(); ++c)
            if (!row[c].empty()) marked[std::stol(shown.Headings[c])] = row[c];
        marks += static_cast<int>(marked.size());
        if (marked != ExpectedMarks(*node->second)) ++wrongMarks;
    }
    std::printf("  dope sheet: %d key marks\n", marks);
    checks.Expect(shown.Rows.size() == joints + rig.Bones.size() && wrongKind == 0,
                  "the dope sheet lists the " + std::to_string(joints) + " joints, then the " +
                      std::to_string(rig.Bones.size()) + " bones");
    checks.Expect(wrongMarks == 0 && marks > 0,
                  std::to_string(wrongMarks) + " dope sheet rows whose marks differ from the "
                                               "frames of their keys");
    auto recordColumn = [](const WindowGrid& g, const char* text) {
        return !g.Rows.empty() && std::all_of(g.Rows.begin(), g.Rows.end(), [&](const auto& row) {
            return row.size() > 1 && row[1] == text;
        });
    };
    checks.Expect(recordColumn(shown, "Checked") && recordColumn(off, "Unchecked"),
                  "the record column shows the skeleton's recording flag");
}

int SceneDepth(CtsxSobj node) {
    int depth = 0;
    for (CtsxSobj p = tsxGNodeGetParent(node); p && p != tsxGetScene(); p = tsxGNodeGetParent(p))
        ++depth;
    return depth;
}

// The scene tree: the host's scene, every node under its group, and the
// host's selection focused.
void CheckSceneRows(const std::vector<WindowRow>& rows, Checks& checks) {
    std::vector<std::pair<int, std::string>> scene, listed;
    for (CtsxSobj node : tsxhost::SceneNodes())
        scene.emplace_back(SceneDepth(node), NodeName(node));
    std::string focused;
    for (const WindowRow& row : rows) {
        listed.emplace_back(row.Level, row.Text);
        if (row.Focused && row.Selected) focused = row.Text;
    }
    checks.Expect(listed == scene, "the scene tree lists the scene's " +
                                       std::to_string(scene.size()) + " nodes in their groups");
    checks.Expect(focused == NodeName(tsxGetCurrentSelection()),
                  "the scene tree shows the host's selection (" + focused + ")");
}

// The level of each bone in the character's joint tree: the bones from the
// root joint are at the top.
std::map<int, int> CharacterBoneLevels() {
    const auto& joints = CharacterJoints();
    std::vector<int> level(joints.size(), -1);
    std::map<int, int> count;
    for (std::size_t i = 0; i < joints.size(); ++i) {
        const int parent = joints[i].Parent;
        if (parent < 0) continue;
        level[i] = level[static_cast<std::size_t>(parent)] + 1;
        ++count[level[i]];
    }
    return count;
}

// The skeleton tree: every bone of the rig once, as the character's bone
// hierarchy, and under each bone exactly the objects bound to it.
void CheckSkeletonRows(const std::vector<WindowRow>& rows, const RigInfo& rig, Checks& checks) {
    std::map<std::string, const BoneInfo*> bones;
    for (const BoneInfo& b : rig.Bones)
        bones[b.Name] = &b;
    std::map<int, int> levels;
    std::set<std::string> listed;
    int wrongChildren = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto bone = bones.find(rows[i].Text);
        if (bone == bones.end()) continue;
        listed.insert(rows[i].Text);
        ++levels[rows[i].Level];
        std::vector<std::string> bound;
        for (std::size_t k = i + 1; k < rows.size() && rows[k].Level > rows[i].Level; ++k)
            if (rows[k].Level == rows[i].Level + 1 && !bones.contains(rows[k].Text))
                bound.push_back(rows[k].Text);
        if (bound != bone->second->Children) ++wrongChildren;
    }
    std::size_t boundRows = 0;
    for (const BoneInfo& b : rig.Bones)
        boundRows += b.Children.size();
    checks.Expect(listed.size() == bones.size() && rows.size() == bones.size() + boundRows,
                  "the skeleton tree lists each of the " + std::to_string(bones.size()) +
                      " bones and its bound objects once");
    checks.Expect(levels == CharacterBoneLevels(), "the skeleton tree's bones are nested as the "
                                                   "character's bones");
    checks.Expect(wrongChildren == 0, "under each bone the objects bound to it");
}

// The pose list: one row for each pose of the library the character was
// saved with (its rest pose, then the others).
std::size_t CheckPoseRows(const std::vector<WindowRow>& rows, Checks& checks) {
    std::vector<std::string> names = {"Rest"}, shown;
    for (const auto& pose : demo::CharacterPoses())
        names.push_back(pose.Name);
    for (const WindowRow& row : rows)
        shown.push_back(row.Text);
    checks.Expect(shown == names, "the pose list shows the character's poses");
    return rows.size();
}

// In a fresh host: the rig and every recorded frame as they were played.
void CheckReplay(const VelApi& api, const RigInfo& animatedRig,
                 const std::vector<FrameState>& played, Checks& checks) {
    checks.Expect(SameRig(animatedRig, ReadRig(api)),
                  "skeletons, bones, bound objects and skin weights came back");
    float worstBody = 0, worstJoint = 0;
    for (std::size_t i = 0; i < played.size(); ++i) {
        ShowFrame(Choreography()[i].Frame);
        const FrameState f = ReadFrame();
        worstBody = std::max(worstBody, MaxDistance(played[i].Body, f.Body));
        worstJoint = std::max(worstJoint, MaxDistance(played[i].Joints, f.Joints));
    }
    std::printf("  replayed: joints within %.2g, deformed vertices within %.2g\n", worstJoint,
                worstBody);
    checks.Expect(worstJoint < 1e-3f, "the poses came back at every recorded frame");
    checks.Expect(worstBody < 1e-3f, "the deformed vertices came back at every recorded frame");
}

// The keys and records of the two saves, read back from their files; the
// pose list showed as many rows as the saved pose library holds poses.
void CheckSavedScenes(const DemoScenes& scenes, std::size_t poseRows, Checks& checks) {
    std::string error;
    std::vector<SceneNode> before, after;
    if (!checks.Expect(ReadSceneNodes(scenes.Animated, before, &error) &&
                           ReadSceneNodes(scenes.Reloaded, after, &error),
                       "saved scenes read back " + error))
        return;
    const KeyCount keys = CountKeys(before);
    std::printf("keys: %zu location, %zu Stiff, %zu Twist\n", keys.Location, keys.Stiff,
                keys.Twist);
    checks.Expect(keys.Location > 0 && keys.Stiff > 0 && keys.Twist > 0,
                  "location, Stiff and Twist keys saved");
    CompareSaves(before, after, checks);
    const std::uint32_t posesBefore = PoseCount(before), posesAfter = PoseCount(after);
    std::printf("pose library: %u pose(s) saved, %u after the reload\n", posesBefore, posesAfter);
    checks.Expect(posesBefore == 1 + demo::CharacterPoses().size() && posesAfter == posesBefore,
                  "the pose library came back");
    checks.Expect(poseRows == posesBefore, "the pose list showed every saved pose");
}

void PrintSummary(const std::vector<double>& dragTimes, const Checks& checks) {
    double total = 0, slowest = 0;
    for (double t : dragTimes)
        total += t, slowest = std::max(slowest, t);
    std::printf("summary: %zu drags of %d steps, %.2f ms on average, %.2f ms the slowest; %d "
                "checks, %d failed\n",
                dragTimes.size(), kDragSteps, dragTimes.empty() ? 0.0 : total / dragTimes.size(),
                slowest, checks.Count(), checks.Failed());
}

} // namespace

int RunDemo(const DemoOptions& o) {
    const DemoScenes scenes = PrepareOutput(o.OutDir);
    Checks checks;
    std::string error;

    // ---- the character, made by a user of the plug-in ----
    if (!RunMaker(o, scenes.Made)) return Failed("making the character failed");
    Session session;
    if (!session.Open(o, &error) || !session.Load(scenes.Made, &error)) return Failed(error);
    CheckLoadedRig(session.Api, scenes.Made, checks);

    // ---- posing, recording and playing the frames back ----
    const std::vector<double> dragTimes = PoseAndRecord(session.Api, checks);
    const std::vector<FrameState> played = PlayBack(o.OutDir, checks);
    const RigInfo animatedRig = ReadRig(session.Api);
    TreeWindowRows windows = OpenTreeWindows(o.OutDir, checks);
    CheckSceneRows(windows["SceneTreeForm"], checks);
    CheckSkeletonRows(windows["SkelTreeForm"], animatedRig, checks);
    const std::size_t poseRows = CheckPoseRows(windows["PosesForm"], checks);
    WindowGrid dopeOff;
    const WindowGrid dope = OpenDopeSheet(session.Api, o.OutDir, dopeOff, checks);
    if (!tsxhost::SaveScene(scenes.Animated, &error)) return Failed(error);
    CheckDopeSheet(dope, dopeOff, animatedRig, scenes.Animated, checks);
    RecordedFrames recorded;
    for (std::size_t i = 0; i < played.size(); ++i) {
        recorded.Frames.push_back(Choreography()[i].Frame);
        recorded.Joints.push_back(played[i].Joints);
    }
    ShowEditorWindows(session.Api, o.OutDir, recorded, checks);
    session.Close();

    // ---- a fresh host loads the saved scene ----
    if (!session.Open(o, &error) || !session.Load(scenes.Animated, &error)) return Failed(error);
    std::printf("reloaded %s\n", scenes.Animated.c_str());
    CheckReplay(session.Api, animatedRig, played, checks);
    ShowFrame(Choreography().back().Frame);
    if (!tsxhost::SaveScene(scenes.Reloaded, &error)) return Failed(error);
    session.Close();

    CheckSavedScenes(scenes, poseRows, checks);
    PrintSummary(dragTimes, checks);
    return checks.Failed() == 0 ? 0 : 1;
}

} // namespace simhost
