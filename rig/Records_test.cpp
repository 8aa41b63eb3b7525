#include "Records.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "CoreTestEnv.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "TsxHelper.h"

namespace vel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Written(const std::function<void(TRecordWriter&)>& write) {
    CtsxFILE fd = tsxhost::OpenWriteFile();
    TRecordWriter out(fd);
    write(out);
    EXPECT_TRUE(out.Ok());
    Bytes bytes = tsxhost::FileBytes(fd);
    tsxhost::CloseFile(fd);
    return bytes;
}

// Reads bytes with read; answers the reader's state for the checks.
struct ReadResult {
    bool complete = false, failed = false, stopped = false;
    std::size_t consumed = 0;
};

ReadResult ReadWith(const Bytes& bytes, const std::function<bool(TRecordReader&)>& read) {
    CtsxFILE fd = tsxhost::OpenReadFile(bytes);
    TRecordReader in(fd);
    ReadResult r;
    r.complete = read(in);
    r.failed = in.Failed();
    r.stopped = in.Stopped();
    r.consumed = in.Consumed();
    tsxhost::CloseFile(fd);
    return r;
}

TSkinArea SampleArea(float length) {
    TSkinArea a;
    a.Indexes = {0, 3, 5};
    a.Count = 3;
    a.AreaWeights = {0.25f, 0.5f, 1.0f};
    a.Matrix = TranslationMx(1, 2, 3);
    a.Length = length;
    a.Root = 0.1f;
    a.Tip = 0.2f;
    a.RootRamp = 0.3f;
    a.TipRamp = 0.4f;
    a.VolumeY = 0.7f;
    a.VolumeZ = 0.8f;
    a.Flags = TSkinArea::Locked;
    return a;
}

// The one child of a hand-made bone record.
struct OldChild {
    std::int32_t SceneIndex = 7;
    std::string Name = "Cube"; // a full name from version 106
    std::int32_t RootIndex = 3;
    CtsxTxmx3f Matrix = TranslationMx(0, 0, 5);
};

// A bone record as versions 100 to 107 wrote it, with one child and, from
// 102, one area entry.
Bytes OldBoneRecord(std::uint32_t version, bool kindField, std::uint32_t kind = 0,
                    const OldChild& child = {}) {
    return Written([&](TRecordWriter& w) {
        w.U32(version);
        if (kindField) w.U32(kind);
        w.I32(0);
        w.I32(1);
        w.F32(2.5f);
        w.Vec3(CtsxVec3f{0, 1, 0});
        w.Mx(TranslationMx(1, 2, 3));
        w.U32(1);
        w.I32(child.SceneIndex);
        if (version >= 106) {
            w.Text(child.Name);
        } else {
            char name[kOldChildNameSize] = {};
            child.Name.copy(name, sizeof name - 1);
            w.Bytes(name, sizeof name);
        }
        if (version >= 101) w.Mx(child.Matrix);
        if (version >= 105) w.I32(child.RootIndex);
        if (version >= 102) {
            w.U32(1);
            w.U32(1);
            SampleArea(4).Write(w);
        }
        if (kind == kBoneKindTee) {
            w.I32(2);
            w.F32(1.5f);
            w.F32(1.25f);
        }
    });
}

class RecordsTest : public CoreTest {};

// ---- skin areas, skin objects, states ----

TEST_F(RecordsTest, SkinAreaRoundTripsAndOlderVersionsKeepDefaults) {
    const Bytes bytes = Written([](TRecordWriter& w) { SampleArea(4).Write(w); });
    EXPECT_EQ(bytes.size(), 4u + 4 + 3 * 4 + 4 + 3 * 4 + 48 + 7 * 4 + 4 + 4);
    TSkinArea back;
    EXPECT_TRUE(ReadWith(bytes, [&](TRecordReader& in) { return back.Read(in); }).complete);
    EXPECT_EQ(back.Indexes, (std::vector<std::int32_t>{0, 3, 5}));
    EXPECT_EQ(back.Flags, TSkinArea::Locked);
    EXPECT_EQ(Written([&](TRecordWriter& w) { back.Write(w); }), bytes);

    const Bytes v100 = Written([](TRecordWriter& w) {
        w.U32(100);
        w.U32(1);
        w.I32(4);
        w.U32(1);
        w.F32(0.5f);
        w.Mx(IdentityTxmx3f);
        for (float f : {2.0f, 0.0f, 0.0f, 0.0f, 0.0f})
            w.F32(f);
        w.U32(99); // reserved, dropped
    });
    TSkinArea old;
    old.VolumeY = old.VolumeZ = 3;
    old.Flags = 7;
    const ReadResult r = ReadWith(v100, [&](TRecordReader& in) { return old.Read(in); });
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.consumed, v100.size());
    EXPECT_FLOAT_EQ(old.VolumeY, 0.5f);
    EXPECT_FLOAT_EQ(old.VolumeZ, 0.5f);
    EXPECT_EQ(old.Flags, 0u);
    EXPECT_FLOAT_EQ(old.Length, 2.0f);
}

TEST_F(RecordsTest, SkinAreaWithNegativeIndexIsDroppedAloneNegativeCountStops) {
    const Bytes negativeIndex = Written([](TRecordWriter& w) {
        TSkinArea a = SampleArea(1);
        a.Indexes[1] = -2;
        a.Write(w);
        w.U32(12345); // what follows the area stays readable
    });
    std::uint32_t next = 0;
    ReadResult r = ReadWith(negativeIndex, [&](TRecordReader& in) {
        EXPECT_EQ(TSkinArea::CreateFromFile(in), nullptr);
        return in.U32(next, "next");
    });
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(next, 12345u);

    // A NaN weight is refused the same way, before it reaches a vertex.
    const Bytes nanWeight = Written([](TRecordWriter& w) {
        TSkinArea a = SampleArea(TSkinArea::Locked);
        a.AreaWeights[2] = std::nanf("");
        a.Write(w);
        w.U32(12345);
    });
    next = 0;
    r = ReadWith(nanWeight, [&](TRecordReader& in) {
        EXPECT_EQ(TSkinArea::CreateFromFile(in), nullptr);
        return in.U32(next, "next");
    });
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(next, 12345u);

    const Bytes negativeCount = Written([](TRecordWriter& w) {
        w.U32(102);
        w.I32(-1);
    });
    r = ReadWith(negativeCount, [](TRecordReader& in) { return TSkinArea().Read(in); });
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.failed);
}

TEST_F(RecordsTest, SkinObjectRoundTripsAndReadsOldNames) {
    TSkinObject skin;
    skin.RootIndex = 4;
    skin.SceneIndex = 9;
    skin.SetRestVertices({{1, 2, 3}, {4, 5, 6}});
    skin.VertexCount = 2;
    const Bytes bytes = Written([&](TRecordWriter& w) { skin.Write(w); });
    TSkinObject back;
    EXPECT_TRUE(ReadWith(bytes, [&](TRecordReader& in) { return back.Read(in); }).complete);
    EXPECT_EQ(back.RootIndex, 4);
    EXPECT_EQ(back.VertexCount, 2);
    EXPECT_EQ(Written([&](TRecordWriter& w) { back.Write(w); }), bytes);

    auto oldRecord = [](const std::string& name, std::int32_t count) {
        return Written([&](TRecordWriter& w) {
            w.U32(100);
            w.Text(name);
            w.I32(5);
            w.I32(count);
            for (int i = 0; i < count; ++i)
                w.Vec3(CtsxVec3f{1, 1, 1});
        });
    };
    TSkinObject old;
    EXPECT_TRUE(
        ReadWith(oldRecord("Torso", 1), [&](TRecordReader& in) { return old.Read(in); }).complete);
    EXPECT_EQ(old.RootIndex, -1);
    EXPECT_EQ(old.MeshName, "Torso");
    EXPECT_EQ(old.SceneIndex, 5);
    EXPECT_EQ(old.VertexCount, 1);

    EXPECT_TRUE(ReadWith(oldRecord(std::string(1024, 'n'), 0), [](TRecordReader& in) {
                    return TSkinObject().Read(in);
                }).complete);
    EXPECT_TRUE(ReadWith(oldRecord(std::string(1025, 'n'), 0), [](TRecordReader& in) {
                    return TSkinObject().Read(in);
                }).failed);
    EXPECT_TRUE(ReadWith(oldRecord("x", -1), [](TRecordReader& in) {
                    return TSkinObject().Read(in);
                }).failed);
}

TEST_F(RecordsTest, SkeletonStatesRoundTripAndVersion100HasNoChildStates) {
    TSkeletonStates states;
    auto s = std::make_unique<TSkeletonState>();
    s->Name = "Wave";
    s->Setup = 1;
    s->Moved = 1;
    s->BagMatrix = TranslationMx(3, 2, 1);
    s->JointsState->Records = {TJointRecord{0.5f, {1, 2, 3}, TJointRecord::InBlend}};
    s->BonesState->States.push_back(std::make_unique<TBoneState>());
    s->BonesState->States[0]->Twist = CtsxVec3f{0, 1, 0};
    s->BonesState->States[0]->ChildMatrices = {TranslationMx(1, 1, 1)};
    auto child = std::make_unique<TSkeletonState>();
    child->Name = "Hand";
    s->ChildStates->Add(std::move(child));
    states.Add(std::move(s));
    const Bytes bytes = Written([&](TRecordWriter& w) { states.Write(w); });

    TSkeletonStates back;
    EXPECT_TRUE(ReadWith(bytes, [&](TRecordReader& in) { return back.Read(in); }).complete);
    ASSERT_EQ(back.Count(), 1);
    const TSkeletonState& b = *back.Items(0);
    EXPECT_EQ(b.Name, "Wave");
    EXPECT_EQ(b.Moved, 1);
    EXPECT_FLOAT_EQ(b.BagMatrix.m[3], 3);
    ASSERT_EQ(b.JointsState->Count(), 1);
    EXPECT_EQ(b.JointsState->Records[0].Flags, TJointRecord::InBlend);
    ASSERT_EQ(b.BonesState->Count(), 1);
    EXPECT_EQ(b.BonesState->States[0]->ChildMatrices.size(), 1u);
    ASSERT_EQ(b.ChildStates->Count(), 1);
    EXPECT_EQ(b.ChildStates->Items(0)->Name, "Hand");
    EXPECT_EQ(Written([&](TRecordWriter& w) { back.Write(w); }), bytes);

    const Bytes v100 = Written([](TRecordWriter& w) {
        w.U32(100);
        w.Text("Old");
        w.U8(0);
        w.U8(0);
        w.Mx(IdentityTxmx3f);
        TJointsState().Write(w);
        TBonesState().Write(w);
    });
    TSkeletonState old;
    const ReadResult r = ReadWith(v100, [&](TRecordReader& in) { return old.Read(in); });
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.consumed, v100.size());
    EXPECT_EQ(old.Name, "Old");
    EXPECT_EQ(old.ChildStates->Count(), 0);
}

TEST_F(RecordsTest, StatesNestedBeyondAnyRigAreRefused) {
    std::function<void(TRecordWriter&, int)> nest = [&](TRecordWriter& w, int depth) {
        w.U32(kSkeletonStateVersion);
        w.Text("");
        w.U8(0);
        w.U8(0);
        w.Mx(IdentityTxmx3f);
        TJointsState().Write(w);
        TBonesState().Write(w);
        w.U32(kSkeletonStatesVersion);
        w.U32(depth > 1 ? 1 : 0);
        if (depth > 1) nest(w, depth - 1);
    };
    const Bytes ok = Written([&](TRecordWriter& w) { nest(w, kMaxStateNesting); });
    EXPECT_TRUE(ReadWith(ok, [](TRecordReader& in) { return TSkeletonState().Read(in); }).complete);
    const Bytes deep = Written([&](TRecordWriter& w) { nest(w, kMaxStateNesting + 1); });
    EXPECT_TRUE(ReadWith(deep, [](TRecordReader& in) { return TSkeletonState().Read(in); }).failed);
}

// ---- bones ----

TEST_F(RecordsTest, OlderBoneRecordsReadFieldByField) {
    for (std::uint32_t v = 100; v <= 107; ++v) {
        SCOPED_TRACE(v);
        const Bytes bytes =
            OldBoneRecord(v, v >= 103 && v <= 106, 0, {7, v >= 106 ? "Group/Cube" : "Cube"});
        TBone bone(nullptr);
        const ReadResult r = ReadWith(bytes, [&](TRecordReader& in) { return bone.Load(in); });
        EXPECT_TRUE(r.complete);
        EXPECT_EQ(r.consumed, bytes.size());
        EXPECT_EQ(bone.LoadedTeeBone, nullptr);
        EXPECT_EQ(bone.ReadVersion, static_cast<std::int32_t>(v));
        EXPECT_EQ(bone.TailIndex, 1);
        EXPECT_FLOAT_EQ(bone.Length, 2.5f);
        ASSERT_EQ(bone.PendingChildren.size(), 1u);
        const TPendingChild& c = bone.PendingChildren[0];
        EXPECT_EQ(c.SceneIndex, 7);
        EXPECT_EQ(c.Name, v >= 106 ? "Group/Cube" : "Cube");
        EXPECT_EQ(bone.PendingMatrices, v >= 101);
        EXPECT_FLOAT_EQ(c.Relative.m[11], v >= 101 ? 5.0f : 0.0f);
        EXPECT_EQ(c.RootIndex, v >= 105 ? 3 : 0);
        EXPECT_EQ(bone.SkinAreaList.size(), v >= 102 ? 1u : 0u);
    }
}

TEST_F(RecordsTest, KindOneMakesATeeBoneOnlyFromVersion103To106) {
    TBone bone(nullptr);
    EXPECT_TRUE(ReadWith(OldBoneRecord(104, true, kBoneKindTee), [&](TRecordReader& in) {
                    return bone.Load(in);
                }).complete);
    ASSERT_NE(bone.LoadedTeeBone, nullptr);
    EXPECT_EQ(bone.LoadedTeeBone->ReadVersion, 104);
    EXPECT_EQ(bone.LoadedTeeBone->TeeIndex, 2);
    EXPECT_FLOAT_EQ(bone.LoadedTeeBone->TailTeeDistance, 1.25f);
    EXPECT_NE(bone.LoadedTeeBone->ExtraObject, nullptr); // a fresh "velBoneT"

    // Version 102 has no kind: the same leading 1 is the head index.
    const Bytes v102 = OldBoneRecord(102, false);
    TBone plain(nullptr);
    EXPECT_TRUE(ReadWith(v102, [&](TRecordReader& in) { return plain.Load(in); }).complete);
    EXPECT_EQ(plain.LoadedTeeBone, nullptr);
}

class BoneRecordTest : public RecordsTest {
protected:
    void SetUp() override {
        RecordsTest::SetUp();
        skel = NewSkel();
        joints = Chain(skel, {{0, 0, 0}, {0, 2, 0}, {0, 4, 0}});
        bone = skel->Bones.Items(0);
        group = tsxhost::AddGroup("Props");
        plain = tsxhost::AddCube("Box", 0.2f, group);
        mesh = tsxhost::AddCube("Mesh", 0.5f);
        bone->Attach(plain);
        bone->Attach(mesh);
        skel->EnableSkin(mesh, bone);
        ASSERT_NE(bone->SkinAreas(1), nullptr);
    }
    TSkeleton* skel = nullptr;
    std::vector<TJoint*> joints;
    TBone* bone = nullptr;
    CtsxSobj group = nullptr, plain = nullptr, mesh = nullptr;
};

TEST_F(BoneRecordTest, SavedBoneReadsBackPairedAndRewritesTheSameBytes) {
    const Bytes bytes = Written([&](TRecordWriter& w) { bone->Save(w); });
    TBone back(bone->Node);
    ASSERT_TRUE(ReadWith(bytes, [&](TRecordReader& in) { return back.Load(in); }).complete);
    ASSERT_EQ(back.SkinAreaList.size(), 2u);
    EXPECT_EQ(back.SkinAreaList[0], nullptr);
    ASSERT_NE(back.SkinAreaList[1], nullptr);
    EXPECT_EQ(back.SkinAreaList[1]->Indexes, bone->SkinAreas(1)->Indexes);

    back.ResolveChildrenInScene();
    EXPECT_TRUE(back.PendingChildren.empty());
    ASSERT_EQ(back.ChildCount(), 2);
    EXPECT_EQ(back.Children(0)->Object, plain);
    EXPECT_EQ(back.Children(1)->Object, mesh);
    EXPECT_EQ(back.SkinAreaList.size(), 2u);
    back.ResolveJoints(skel->Joints);
    EXPECT_EQ(Written([&](TRecordWriter& w) { back.Save(w); }), bytes);
}

TEST_F(BoneRecordTest, ChildNotFoundTakesItsAreaAlongAndTheRestStayPaired) {
    bone->SkinAreaList[0] = std::make_unique<TSkinArea>(SampleArea(11));
    const Bytes bytes = Written([&](TRecordWriter& w) { bone->Save(w); });
    const std::vector<std::int32_t> meshIndexes = bone->SkinAreas(1)->Indexes;
    tsxSobjDelete(plain);
    TBone back(bone->Node);
    ASSERT_TRUE(ReadWith(bytes, [&](TRecordReader& in) { return back.Load(in); }).complete);
    back.ResolveChildrenInScene();
    ASSERT_EQ(back.ChildCount(), 1);
    EXPECT_EQ(back.Children(0)->Object, mesh);
    ASSERT_EQ(back.SkinAreaList.size(), 1u);
    ASSERT_NE(back.SkinAreaList[0], nullptr);
    EXPECT_EQ(back.SkinAreaList[0]->Indexes, meshIndexes);
}

TEST_F(BoneRecordTest, UnderARootOldRecordsFindChildrenByRootIndexOrName) {
    const std::int32_t rootIndex = GetNodeIndexInChain(plain, group); // 2: group, then box
    for (std::uint32_t v : {104u, 105u}) {
        SCOPED_TRACE(v);
        // The scene index names nothing: only the root index or the name finds it.
        const Bytes bytes =
            OldBoneRecord(v, true, 0, {999, "Box", rootIndex, TranslationMx(0, 0, 2)});
        TBone back(bone->Node);
        ASSERT_TRUE(ReadWith(bytes, [&](TRecordReader& in) { return back.Load(in); }).complete);
        back.ResolveChildrenUnder(group);
        ASSERT_EQ(back.ChildCount(), 1);
        EXPECT_EQ(back.Children(0)->Object, plain);
        EXPECT_FLOAT_EQ(back.Children(0)->Relative.m[11], 2);
    }
}

TEST_F(BoneRecordTest, Version100ChildIsBoundWhereItStands) {
    const Bytes bytes = OldBoneRecord(100, false, 0, {GetNodeIndexInScene(plain), "Box"});
    TBone back(bone->Node);
    ASSERT_TRUE(ReadWith(bytes, [&](TRecordReader& in) { return back.Load(in); }).complete);
    back.ResolveChildrenInScene();
    ASSERT_EQ(back.ChildCount(), 1);
    ASSERT_EQ(back.SkinAreaList.size(), 1u);
    CtsxTxmx3f boneMx, objMx, expected;
    tsxGNodeGetPureTransform(bone->Node, &boneMx);
    tsxGNodeGetPureTransform(plain, &objMx);
    RelativeMx(boneMx, objMx, expected);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(back.Children(0)->Relative.m[i], expected.m[i], 1e-5f);
}

TEST_F(BoneRecordTest, EveryCutOfABoneRecordFailsAndARefusedAreaKeepsTheBone) {
    const Bytes bytes = Written([&](TRecordWriter& w) { bone->Save(w); });
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        TBone back(nullptr);
        ASSERT_TRUE(ReadWith(cut, [&](TRecordReader& in) { return back.Load(in); }).failed) << n;
    }

    // The second area's vertex count made negative: the bone keeps its
    // children and the entries before it.
    Bytes refused = bytes;
    const Bytes areaOnly = Written([&](TRecordWriter& w) { bone->SkinAreas(1)->Write(w); });
    const std::size_t at = bytes.size() - areaOnly.size() + 4;
    refused[at] = refused[at + 1] = refused[at + 2] = refused[at + 3] = 0xFF;
    TBone back(nullptr);
    const ReadResult r = ReadWith(refused, [&](TRecordReader& in) { return back.Load(in); });
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(back.PendingChildren.size(), 2u);
    EXPECT_EQ(back.SkinAreaList.size(), 1u);

    // A non-finite length would spread through the relaxation: the bone goes.
    Bytes infinite = bytes;
    const std::uint32_t inf = 0x7F800000u;
    std::memcpy(&infinite[16], &inf, sizeof inf); // version, kind, head, tail, length
    TBone dropped(nullptr);
    EXPECT_TRUE(ReadWith(infinite, [&](TRecordReader& in) { return dropped.Load(in); }).failed);
}

} // namespace
} // namespace vel
