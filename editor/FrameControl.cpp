#include "FrameControl.h"

#include <cmath>
#include <utility>

#include "DopeSheetForm.h"
#include "NoDestroy.h"
#include "ScopeExit.h"
#include "ShuttleForm.h"
#include "SkelMgr.h"
#include "Switchboard.h"
#include "tsxapi.h"

namespace vel {

std::int32_t CurrentFrame = 0;
bool FrameDirty = false;

namespace {

// What SetActiveFrameUpdating's closing steps do, on every way out.
auto SettingFrameScope() {
    return fw::EnterScope(
        [] {
            BeginEdit();
            SettingFrame = true;
        },
        [] {
            SettingFrame = false;
            EndEdit();
        });
}

struct TTimesSet {
    std::vector<float> Times;
    bool Lost = false;
};

TTimesSet& TimesSet() {
    static fw::TNoDestroy<TTimesSet> set;
    return *set;
}

void NoteTimeSet(float time) {
    TTimesSet& set = TimesSet();
    if (set.Times.size() >= kTimesKept) {
        set.Times.erase(set.Times.begin());
        set.Lost = true;
    }
    set.Times.push_back(time);
}

} // namespace

void ActiveTimeChanged(float time) {
    SetCurrentFrame(time);
}

void MarkFrameDirty() {
    FrameDirty = true;
}

void SetActiveFrame(float frame) {
    tsxAnimSetActiveTime(frame);
    SetCurrentFrame(frame);
}

void SetActiveFrameUpdating(float frame) {
    {
        auto scope = SettingFrameScope();
        SaveAllSkeletonStates();
        tsxAnimSetActiveTime(frame);
        NoteTimeSet(tsxAnimGetActiveTime());
        RestoreAllSkeletonStates();
        RefreshViews();
    }
    // The host's time-changed call came under the lock and was not heard:
    // the time views follow the host's time now that the lock is over.
    SetCurrentFrame(tsxAnimGetActiveTime());
}

void SetCurrentFrame(float frame) {
    if (!std::isfinite(frame) || frame == static_cast<float>(CurrentFrame)) return;
    CurrentFrame = FrameNumber(frame);
    if (ShuttleForm) ShuttleForm->FrameChanged();
    if (DopeSheetForm) DopeSheetForm->FrameChanged();
}

std::int32_t FrameNumber(float time) {
    if (std::isnan(time)) return 0;
    const double rounded = std::nearbyint(static_cast<double>(time));
    if (rounded >= 2147483647.0) return INT32_MAX;
    if (rounded <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(rounded);
}

void UpdateIfFrameDirty() {
    if (!FrameDirty) return;
    UpdateAllSkeletons();
    RefreshViews();
    FrameDirty = false;
}

std::vector<float> TakeTimesSet(bool& Lost) {
    TTimesSet& set = TimesSet();
    Lost = std::exchange(set.Lost, false);
    return std::exchange(set.Times, {});
}

namespace testing {

void ResetFrameControl() {
    CurrentFrame = 0;
    FrameDirty = false;
    TimesSet() = {};
}

} // namespace testing

} // namespace vel
