// The host's side of a session: between the user's steps on the windows,
// what the host and its user do to the scene under the rig. Objects the rig
// uses are deleted and their handles given to the user's new objects; undo
// and redo; scenes opened (empty or earlier), merged, saved and reopened; the
// time moved; drags; general events (object loads among them), renders and
// redraws; scripts calling every export with stale, reused, null and garbage
// handles and NaN, infinite and huge numbers. With handle reuse off and on,
// after every step: the windows list exactly the live objects, the edit lock
// is free, every object the rig names is in the scene and none is a lamp of
// the user's, everything in the scene is finite, no lamp has moved and no
// stale handle reached the host; and from a scene's first reopen on, a save,
// reopen and save gives the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BlenderForm.h"
#include "MainForm.h"
#include "OnionForm.h"
#include "RowsFollowTestEnv.h"
#include "ShuttleForm.h"
#include "SkinPanelForm.h"
#include "TestPaths.h"
#include "TreeFormTestEnv.h"
#include "ValueTrack.h"
#include "VelLib.h"

namespace vel {
namespace {

using TBytes = std::vector<std::uint8_t>;

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
// What a script hands the exports; the finite ones also drive the host.
const std::vector<float> kFinite = {0, 1, -1, 0.5f, 7, 24.5f, 3e38f, -3e38f, 1e-38f, 1e30f};
const std::vector<float> kNumbers = {0, 1, -1, 0.5f, 7, 3e38f, -3e38f, 1e-38f, kNaN, kInf, -kInf};

std::vector<float> Transform(CtsxSobj node) {
    CtsxTxmx3f m{};
    tsxGNodeGetTransform(node, &m);
    return {std::begin(m.m), std::end(m.m)};
}

class HostWorkoutTest : public TreeFormTest {
protected:
    void SetUp() override {
        TreeFormTest::SetUp();
        mergeFile = fw::TestPath("workout.scene");
        empty = tsxhost::SaveSceneToBytes();
        ASSERT_NE(OpenTools(), nullptr);
        ToolsForm->Show();
    }
    void TearDown() override {
        std::filesystem::remove(mergeFile);
        TreeFormTest::TearDown();
    }

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    template <class T> T Any(const std::vector<T>& v) {
        return v.empty() ? T{} : v[static_cast<std::size_t>(Below(static_cast<int>(v.size())))];
    }
    // A cube of the user's that the rig never binds; where it stands is
    // kept by its name, which a merged copy shares before its ",N".
    void AddLamp() {
        const std::string name = "Lamp" + std::to_string(lamps.size());
        const CtsxSobj lamp = tsxhost::AddCube(name, 0.5f);
        const CtsxVec3f at{40, 40, static_cast<float>(lamps.size())};
        tsxGNodeSetLocation(lamp, &at);
        lamps[name] = Transform(lamp);
    }
    // A handle a script may hold: the rig's, any object's, one that went
    // (given to another object since, on a host that reuses them), none, or
    // garbage.
    CtsxSobj Handle() {
        switch (Below(6)) {
        case 0: return nullptr;
        case 1: return reinterpret_cast<CtsxSobj>(static_cast<std::uintptr_t>(random()));
        case 2: return Any(freed);
        case 3: return Any(SceneRows());
        default: return Any(RigObjects());
        }
    }
    void Went(const std::vector<CtsxSobj>& objects) {
        freed.insert(freed.end(), objects.begin(), objects.end());
        if (freed.size() > 64) freed.erase(freed.begin(), freed.end() - 64);
    }
    void Open(const TBytes& bytes) {
        Went(SceneRows());
        std::string error;
        EXPECT_TRUE(tsxhost::LoadSceneFromBytes(bytes, &error)) << error;
    }
    static void LoadTimer() {
        fw::AdvanceClock(kLoadTimerInterval);
        fw::ProcessMessages();
    }

    std::string WindowStep();
    std::string HostStep();
    std::string Script();
    void Check(const std::string& trail);
    void Session(std::uint32_t seed, bool reuse, int steps);

    std::mt19937 random;
    std::filesystem::path mergeFile;
    TBytes empty;
    std::vector<TBytes> scenes; // saved earlier in the session
    std::map<std::string, std::vector<float>> lamps;
    std::vector<CtsxSobj> freed; // handles of objects that went
    std::string trail;           // the session's steps so far
    // Also asks that from a scene's first reopen on, a save, reopen and save
    // gives the same bytes; VEL_HOST_WORKOUT_RESAVE=0 turns it off.
    bool checkResave = EnvInt("VEL_HOST_WORKOUT_RESAVE", 1) != 0;
};

std::string HostWorkoutTest::WindowStep() {
    TToolsForm* tools = ToolsForm;
    switch (Below(13)) {
    case 0: tools->NewSkeletonButton->Click(); return "skeleton button";
    case 1: tools->NewJointButton->Click(); return "joint button";
    case 2: tools->NewBoneButton->Click(); return "bone button";
    case 3: tools->NewTeeBoneButton->Click(); return "tee button";
    case 4: (Below(2) ? tools->UndoButton : tools->RedoButton)->Click(); return "undo or redo";
    case 5:
        tools->PageControl->SelectPage(tools->PageControl->ActivePage() == tools->SetupSheet
                                           ? tools->AnimateSheet
                                           : tools->SetupSheet);
        return "page";
    case 6: velSetActiveFrame(static_cast<float>(Below(30))); ShuttleForm->RecordKeys(); return "record";
    case 7: {
        fw::TToolButton* button = Below(2) ? SkinPanelForm->VolumeButton : SkinPanelForm->PaintButton;
        if (button->Enabled()) button->Click();
        return "volume or paint";
    }
    case 8: {
        TSkinPanelForm* p = SkinPanelForm;
        TValueTrack* track = Any(std::vector<TValueTrack*>{
            p->RootTrack, p->TipTrack, p->RootRampTrack, p->VolumeYTrack, tools->StiffTrack,
            tools->TwistTrack});
        if (!track->Enabled()) return "a track off";
        track->SetValue(Below(100) / 100.0);
        fw::CallHandler(track->OnChange, track);
        return "track";
    }
    case 9:
        tools->BlenderButton->Click();
        if (const auto& sliders = BlenderForm->Sliders(); !sliders.empty())
            BlenderForm->SetWeight(static_cast<std::size_t>(Below(static_cast<int>(sliders.size()))),
                                   static_cast<float>(Below(5)) / 4);
        return "blender";
    case 10: {
        TTreeForm* form = Below(2) ? static_cast<TTreeForm*>(SceneTreeForm) : SkelTreeForm;
        std::vector<PLazyNode> rows;
        for (PLazyNode n = form->Tree()->GetFirst(); n; n = form->Tree()->GetNext(n))
            rows.push_back(n);
        if (rows.empty()) return "no row";
        ClickRow(form, Any(rows));
        return "row picked";
    }
    case 11:
        tools->OnionButton->Click();
        OnionForm->SetOverlayOn(!OnionForm->OverlayOn());
        return "onion";
    default: {
        // The first joint picked, the button down, then the second joint.
        for (int pick = 0; pick < 2; ++pick) {
            TSkeleton* sk = CurrentSkeleton;
            if (!sk || sk->Joints.Count() == 0) return "nothing to connect";
            tsxhost::Select(sk->Joints.Items(Below(sk->Joints.Count()))->Node);
            if (pick == 0) tools->ConnectButton->Click();
        }
        return "connect";
    }
    }
}

std::string HostWorkoutTest::HostStep() {
    std::string error;
    switch (Below(14)) {
    case 0: {
        std::vector<CtsxSobj> objects = RigObjects();
        for (TVolumePart part : {vpBox, vpRootCap, vpTipCap})
            if (CtsxSobj v = SkinPanelForm->VolumeObject(part)) objects.push_back(v);
        const CtsxSobj gone = Any(objects);
        if (!gone) return "nothing of the rig's";
        const std::string name = GetNodeName(gone);
        Went({gone});
        tsxhost::Delete(gone);
        AddLamp(); // takes the freed handle on a host that reuses them
        return "the rig's " + name + " deleted, a lamp made";
    }
    case 1: {
        const CtsxSobj gone = Any(SceneRows());
        const std::string name = GetNodeName(gone);
        Went({gone});
        tsxhost::Delete(gone);
        return "deleted " + name;
    }
    case 2: AddLamp(); return "lamp";
    case 3: Open(Below(3) ? Any(scenes) : empty); return "open";
    case 4:
        if (Below(2)) {
            EXPECT_TRUE(tsxhost::SaveScene(mergeFile.string(), &error)) << error;
        } else {
            const TBytes earlier = Any(scenes);
            std::ofstream(mergeFile, std::ios::binary)
                .write(reinterpret_cast<const char*>(earlier.data()),
                       static_cast<std::streamsize>(earlier.size()));
        }
        EXPECT_TRUE(tsxhost::MergeScene(mergeFile.string(), &error)) << error;
        return "merge";
    case 5: {
        // A reload keeps what it can (a skeleton without bones has no
        // record): from the first reopen on, saves are the same bytes.
        TBytes saved = tsxhost::SaveSceneToBytes();
        for (int round = 0; round < (checkResave ? 2 : 1); ++round) {
            scenes.push_back(saved);
            Open(saved);
            LoadTimer();
            const TBytes again = tsxhost::SaveSceneToBytes();
            if (round > 0 && again != saved) {
                const auto diff = std::mismatch(saved.begin(), saved.end(), again.begin(), again.end());
                ADD_FAILURE() << trail << "saved again: " << again.size() << " bytes, not "
                              << saved.size() << ", first different at "
                              << (diff.first - saved.begin());
            }
            saved = again;
        }
        return "save, reopen";
    }
    case 6: tsxhost::SetTime(Any(kNumbers)); return "time";
    case 7: {
        std::vector<CtsxSobj> nodes;
        for (CtsxSobj n : SceneRows())
            if (GetNodeName(n).rfind("Lamp", 0) != 0) nodes.push_back(n);
        tsxhost::Select(Any(nodes));
        const float d = Below(8) ? static_cast<float>(Below(9) - 4) / 4 : Any(kFinite);
        tsxhost::Drag(Below(2) ? TranslationMx(d, -d / 2, d / 3)
                               : CtsxTxmx3f{{0, -1, 0, d, 1, 0, 0, 0, 0, 0, 1, 0}});
        return "drag";
    }
    case 8: tsxhost::SendGeneralEvent(Any(std::vector<int>{0, 3, 4, 5, 6, 7})); return "event";
    case 9: {
        const float frame = Any(kFinite);
        tsxhost::SendRenderEvent(1, frame);
        tsxhost::SendRenderEvent(3, frame);
        tsxhost::SendRenderEvent(2, frame);
        return "render";
    }
    case 10: tsxhost::IdleRedraw(); return "redraw";
    case 11: LoadTimer(); return "timer";
    case 12: tsxhost::Select(Below(4) ? Any(SceneRows()) : nullptr); return "select";
    default: return Script();
    }
}

// Every export once, with what a script may hand it.
std::string HostWorkoutTest::Script() {
    const CtsxSobj a = Handle(), b = Handle();
    CtsxSobj c = Handle();
    CtsxTxmx3f m{{1, 0, 0, Any(kNumbers), 0, 1, 0, Any(kNumbers), 0, 0, 1, Any(kNumbers)}};
    m.m[Below(12)] = Any(kNumbers);
    float length = Any(kNumbers);
    velSetRecordFrame(Any(kNumbers));
    velSetActiveFrame(Any(kNumbers));
    velRecord();
    if (Below(8) == 0) velNewSkeleton();
    if (Below(30) == 0) velClearSkeletons();
    velSelectSkeleton(a);
    velGetNextSkeleton(velGetFirstSkeleton());
    velGetNextSkeleton(a);
    velGetNextBone(a, velGetFirstBone(a));
    velGetNextBone(a, b);
    if (Below(2))
        velSetupMode();
    else
        velAnimateMode();
    velSkeletonSetRecording(a, static_cast<std::uint8_t>(velIsSetupMode() + Below(3)));
    velSkeletonGetRecording(a);
    velSetBoneMatrix(b, Below(5) ? &m : nullptr, length);
    velGetBoneMatrix(b, Below(5) ? &m : nullptr, Below(5) ? &length : nullptr);
    velRefreshSkeletons();
    velGetFirstChild(b);
    velGetNextChild(b, Below(5) ? &c : nullptr);
    const std::int32_t n = velGetChildSkinCount(b, c);
    std::vector<std::int32_t> indexes(static_cast<std::size_t>(std::max(n, 0)) + 1);
    std::vector<float> weights(indexes.size());
    velGetChildVertexWeights(b, c, indexes.data(), weights.data());
    return "script";
}

void HostWorkoutTest::Check(const std::string& trail) {
    EXPECT_FALSE(EditLocked()) << trail;
    EXPECT_EQ(tsxhost::StaleUses(), 0) << trail;
    ExpectRowsFollow(trail);
    ExpectRigInScene(trail, "Lamp");
    EXPECT_EQ(NonFiniteInScene(), 0) << trail;
    for (CtsxSobj node : SceneRows()) {
        const std::string name = GetNodeName(node);
        const auto lamp = lamps.find(name.substr(0, name.find(',')));
        if (lamp != lamps.end()) {
            EXPECT_EQ(Transform(node), lamp->second) << trail << ": " << name;
        }
    }
}

void HostWorkoutTest::Session(std::uint32_t seed, bool reuse, int steps) {
    random.seed(seed);
    Open(empty);
    LoadTimer();
    tsxhost::SetReuseHandles(reuse);
    lamps.clear();
    freed.clear();
    // A chain whose first bone deforms a strip of the user's, and two lamps.
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}});
    std::vector<CtsxVec3f> strip;
    for (int i = 0; i <= 8; ++i)
        strip.insert(strip.end(), {{0.25f * static_cast<float>(i), -0.2f, 0},
                                   {0.25f * static_cast<float>(i), 0.2f, 0}});
    const CtsxPolyh mesh = tsxhost::AddPolyhedron("Strip", strip, {});
    s->Bones.Items(0)->AttachChild(mesh);
    s->EnableSkin(mesh, s->Bones.Items(0));
    s->SelectedBone = 0;
    AddLamp();
    AddLamp();
    fw::ProcessMessages();
    scenes = {tsxhost::SaveSceneToBytes()};
    tsxhost::ResetStaleUses();
    trail = "seed " + std::to_string(seed) + (reuse ? ", handles reused: " : ": ");
    for (int i = 0; i < steps && !HasFailure(); ++i) {
        trail += (Below(2) ? WindowStep() : HostStep()) + "; ";
        fw::ProcessMessages();
        Check(trail);
    }
    tsxhost::SetReuseHandles(false);
}

TEST_F(HostWorkoutTest, TheRigNamesOnlyTheScenesObjectsAfterEveryHostStep) {
    // VEL_HOST_WORKOUT_SEEDS=N (seeds 1..N) or FIRST:N; VEL_HOST_WORKOUT_STEPS.
    const char* env = std::getenv("VEL_HOST_WORKOUT_SEEDS");
    const std::string spec = env ? env : "";
    const auto colon = spec.find(':');
    const int first = colon == std::string::npos ? 1 : std::atoi(spec.c_str());
    const int count =
        spec.empty() ? 3 : std::atoi(spec.c_str() + (colon == std::string::npos ? 0 : colon + 1));
    const int steps = EnvInt("VEL_HOST_WORKOUT_STEPS", 60);
    for (int seed = first; seed < first + count && !HasFailure(); ++seed)
        for (const bool reuse : {false, true})
            Session(static_cast<std::uint32_t>(seed), reuse, steps);
}

} // namespace
} // namespace vel
