// The demo's character under a host that fails: for each seed, a host whose
// functions fail now and then (docs/host-standin.md, "Failures made to order")
// has the character built, bound, posed by drags, recorded, undone, saved and
// loaded, and the plug-in is checked after every step:
//   - no crash and no sanitizer report (each seed runs in a process of its
//     own, which ends as a host does, without unloading the plug-in);
//   - the edit lock released;
//   - no stale or null handle handed to the host;
//   - a save whose writes failed reported as failed, and no write callback
//     claiming a record it did not finish;
//   - the rig consistent with the scene: every object it refers to is in it.
// The host hands freed handles out again (tsxhost::SetReuseHandles), as a
// real host may.
//
// usage: faultcampaign [--first N] [--count N] [--debug]; $VEL_FAULT_SEEDS
// overrides the count (scripts/fuzz runs thousands). --debug reruns seed N
// in this process and lists the calls that failed, for a debugger.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Bone.h"
#include "Character.h"
#include "CharacterBuilder.h"
#include "Joint.h"
#include "MainForm.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Skin.h"
#include "Switchboard.h"
#include "Timers.h"
#include "ToolsForm.h"
#include "TsxHost.h"
#include "VelLib.h"

namespace {

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The plan of one phase of one seed: every function now and then, the Nth
// call of every function, a few functions often, or an early call of one
// (the rarely called ones fail too).
tsxhost::FaultPlan PlanFor(std::uint64_t seed, int phase) {
    std::uint64_t r = Mix(seed * 16 + static_cast<std::uint64_t>(phase));
    tsxhost::FaultPlan plan;
    plan.Seed = r;
    const auto& all = tsxhost::FaultableFunctions();
    switch (seed % 4) {
    case 0: {
        static const double chances[] = {0.002, 0.005, 0.01, 0.03};
        plan.Probability = chances[(r >> 8) % 4];
        break;
    }
    case 1:
        plan.Nth = 1 + static_cast<long>((r >> 8) % 4000);
        break;
    case 2:
        for (int i = 0, n = 1 + static_cast<int>((r >> 4) % 3); i < n; ++i)
            plan.Functions.push_back(
                all[(Mix(r + static_cast<std::uint64_t>(i)) >> 8) % all.size()]);
        plan.Probability = 0.05 + static_cast<double>((r >> 16) % 25) / 100;
        break;
    default:
        plan.Functions.push_back(all[(r >> 4) % all.size()]);
        plan.Nth = 1 + static_cast<long>((r >> 16) % 12);
        break;
    }
    return plan;
}

class Run {
public:
    Run(std::uint64_t seed, bool listFaults) : FSeed(seed), FListFaults(listFaults) {}

    void Faults(int phase) {
        ListFaults("");
        tsxhost::SetFaults(PlanFor(FSeed, phase));
        FListed = 0;
    }
    void ListFaults(const std::string& phase) {
        const auto& log = tsxhost::FaultLog();
        for (; FListFaults && FListed < log.size(); ++FListed)
            std::printf("  %s failed: %s\n", phase.c_str(), log[FListed].c_str());
    }

    void Check(bool ok, const std::string& phase, const std::string& what) {
        if (!ok) FProblems.push_back(phase + ": " + what);
    }

    // What must hold after every step.
    void CheckRig(const std::string& phase) {
        ListFaults(phase);
        Check(!vel::EditLocked(), phase, "the edit lock is still set");
        if (tsxhost::StaleUses() > FStale) {
            Check(false, phase,
                  std::to_string(tsxhost::StaleUses() - FStale) +
                      " stale or null handles handed to the host");
            FStale = tsxhost::StaleUses();
        }
        const std::vector<CtsxSobj> nodes = tsxhost::SceneNodes();
        const std::set<CtsxSobj> scene(nodes.begin(), nodes.end());
        auto inScene = [&](CtsxSobj o) { return scene.count(o) > 0; };
        auto orNone = [&](CtsxSobj o) { return !o || inScene(o); };
        const auto& list = vel::SkeletonList().List;
        auto listed = [&](const vel::TSkeleton* s) {
            return std::any_of(list.begin(), list.end(),
                               [s](const auto& p) { return p.get() == s; });
        };
        Check(!vel::CurrentSkeleton || listed(vel::CurrentSkeleton), phase,
              "the current skeleton is not in the list");
        for (const auto& s : list) {
            Check(inScene(s->Bag), phase, "a skeleton's bag is not in the scene");
            Check(orNone(s->SkeletonObject) && orNone(s->PoseLibObject), phase,
                  "a skeleton's group or pose library is not in the scene");
            Check(!s->ParentSkeleton || listed(s->ParentSkeleton), phase,
                  "a skeleton is attached to one that is not in the list");
            for (const auto& j : s->Joints.List)
                Check(inScene(j->Node) && orNone(j->Marker), phase,
                      "a joint's object or marker is not in the scene");
            for (const auto& skin : s->Skins->List)
                Check(orNone(skin->Object), phase, "a skinned mesh is not in the scene");
            for (const auto& b : s->Bones.List) {
                Check(inScene(b->Node), phase, "a bone's object is not in the scene");
                Check(b->Head && b->Tail && s->Joints.IndexOf(b->Head) >= 0 &&
                          s->Joints.IndexOf(b->Tail) >= 0,
                      phase, "a bone's joints are not its skeleton's");
                for (std::int32_t c = 0; c < b->ChildCount(); ++c)
                    Check(inScene(b->Children(c)->Object), phase,
                          "a bone's bound object is not in the scene");
            }
        }
    }

    // A save: one whose writes fell short must fail, and no record may claim
    // what it did not write.
    bool Save(const std::string& path, const std::string& phase) {
        const std::size_t before = tsxhost::FaultLog().size();
        std::string error;
        const bool saved = tsxhost::SaveScene(path, &error);
        const auto& log = tsxhost::FaultLog();
        const bool writeFailed =
            std::any_of(log.begin() + static_cast<std::ptrdiff_t>(before), log.end(),
                        [](const std::string& f) { return f.rfind("tsxFILEwrite", 0) == 0; });
        Check(!(saved && writeFailed), phase, "a save whose writes failed reported success");
        Check(tsxhost::SilentWriteFailures() == 0, phase,
              "a record claimed success after a write of it failed");
        CheckRig(phase);
        return saved;
    }

    std::vector<std::string> Scenario(const std::filesystem::path& dir);

private:
    void Pose();
    std::uint64_t FSeed;
    bool FListFaults;
    std::size_t FListed = 0;
    long FStale = 0;
    std::vector<std::string> FProblems;
};

// Drag two joints at three frames and record each; then undo and redo.
void Run::Pose() {
    velAnimateMode();
    const char* joints[] = {"Hand.L", "Knee.R"};
    for (float frame : {0.0f, 12.0f, 24.0f}) {
        velSetActiveFrame(frame);
        for (const char* name : joints) {
            CtsxSobj joint = tsxhost::FindByFullName(demo::JointPath(name));
            if (!joint) continue;
            tsxhost::Select(joint);
            tsxhost::BeginDrag();
            for (int i = 0; i < 3; ++i)
                tsxhost::DragStep(CtsxTxmx3f{{1, 0, 0, 0.1f, 0, 1, 0, -0.05f, 0, 0, 1, 0.08f}});
            tsxhost::EndDrag();
        }
        velRecord();
    }
    CheckRig("pose");
    if (vel::ToolsForm) {
        vel::ToolsForm->UndoButton->Click();
        vel::ToolsForm->UndoButton->Click();
        vel::ToolsForm->RedoButton->Click();
    }
    CheckRig("undo");
}

std::vector<std::string> Run::Scenario(const std::filesystem::path& dir) {
    const std::string scene = (dir / "scene").string();
    tsxhost::Reset();
    // A host that gives new objects the handles of those it freed.
    tsxhost::SetReuseHandles(true);
    Faults(0);
    demo::BuiltCharacter built;
    demo::BuildCharacter({true}, built, nullptr); // may stop early: the host fails
    CheckRig("build");
    Pose();
    if (!Save(scene, "save")) {
        // Something to load all the same: the same scene saved by a sound host.
        ListFaults("save");
        tsxhost::ClearFaults();
        FListed = 0;
        Check(tsxhost::SaveScene(scene, nullptr), "save", "a save without faults failed");
    }
    Faults(1);
    std::string error;
    Check(tsxhost::LoadScene(scene, &error), "load", error);
    fw::AdvanceClock(vel::kLoadTimerInterval); // the plug-in rebuilds the rig
    for (int i = 0; i < 4 && tsxhost::IdleRedraw() > 0; ++i) {
    }
    CheckRig("load");
    Faults(2);
    Pose();
    tsxhost::SetTime(6);
    CheckRig("time");
    Save(scene, "save again");
    return FProblems;
}

// Runs one seed in a folder of this process; answers whether it passed.
bool RunHere(std::uint64_t seed, bool listFaults) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vel-faults-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("VEL_SETTINGS_FILE", (dir / "settings.ini").c_str(), 1);
    const std::vector<std::string> problems = Run(seed, listFaults).Scenario(dir);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    for (const std::string& p : problems)
        std::printf("seed %llu: %s\n", static_cast<unsigned long long>(seed), p.c_str());
    return problems.empty();
}

// One seed in a process of its own; answers the process's exit status.
int RunSeed(std::uint64_t seed) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        alarm(120); // a hang ends as a failure, not as a stuck test
        // Leaving through exit: the plug-in is finalized then, never unloaded.
        std::exit(RunHere(seed, false) ? 0 : 1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::string Describe(int status) {
    if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
    if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
    return "status " + std::to_string(status);
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t first = 0, count = 100;
    bool debug = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--debug") == 0) debug = true;
        if (i + 1 >= argc) continue;
        if (std::strcmp(argv[i], "--first") == 0) first = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--count") == 0) count = std::strtoull(argv[i + 1], nullptr, 10);
    }
    if (const char* env = std::getenv("VEL_FAULT_SEEDS")) count = std::strtoull(env, nullptr, 10);
    if (debug) return RunHere(first, true) ? 0 : 1;
    std::uint64_t failed = 0;
    for (std::uint64_t seed = first; seed < first + count; ++seed) {
        const int status = RunSeed(seed);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) continue;
        ++failed;
        std::printf("seed %llu failed: %s\n", static_cast<unsigned long long>(seed),
                    Describe(status).c_str());
    }
    std::printf("faultcampaign: seeds %llu to %llu, %llu failed\n",
                static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(first + count - 1),
                static_cast<unsigned long long>(failed));
    return failed == 0 ? 0 : 1;
}
