#include "tsxfUtils.h"

namespace vel {
namespace {

testing::TInsertFrameFn gInsertFrame = &tsxSobjInsertFrame;

// The host's insert answers nothing: look whether the frame is now the key at
// that time.
bool PlaceFrame(CtsxSobj object, int kind, CtsxFrame frame, float time) {
    gInsertFrame(object, frame, 0, time);
    return tsxSobjGetFrame(object, kind, 0, time) == frame;
}

// Puts a frame taken out back at its old time; frees it when even that fails.
void PutBack(CtsxSobj object, int kind, CtsxFrame frame, float time) {
    if (!frame || PlaceFrame(object, kind, frame, time)) return;
    tsxFrameRemove(frame);
    tsxFrameDelete(frame);
}

} // namespace

void DeleteKeyFrame(CtsxSobj object, int kind, float time) {
    CtsxFrame frame = tsxSobjGetFrame(object, kind, 0, time);
    if (!frame) return;
    tsxFrameRemove(frame);
    tsxFrameDelete(frame);
}

void DeleteKeyFramesFrom(CtsxSobj object, int kind, float time) {
    // The next time is asked after t's key is gone: the host answers the
    // smallest time above t, which does not need t's key.
    for (float t = tsxSobjGetFirstTime(object, kind); t >= 0;
         t = tsxSobjGetNextTime(object, kind, t)) {
        if (t >= time) DeleteKeyFrame(object, kind, t);
    }
}

CtsxFrame CopyKeyFrame(CtsxSobj object, int kind, float time) {
    CtsxFrame frame = tsxSobjGetFrame(object, kind, 0, time);
    if (!frame) return nullptr;
    CtsxFrame copy = nullptr;
    if (!tsxFrameCopy(frame, &copy)) return nullptr;
    return copy;
}

bool CopyKeyFrameBetween(CtsxSobj source, CtsxSobj target, int kind, float sourceTime,
                         float targetTime) {
    CtsxFrame copy = CopyKeyFrame(source, kind, sourceTime);
    if (!copy) return false;
    if (PlaceFrame(target, kind, copy, targetTime)) return true;
    tsxFrameRemove(copy);
    tsxFrameDelete(copy);
    return false;
}

void CopyAllKeyFrames(CtsxSobj source, CtsxSobj target, int kind) {
    for (float t = tsxSobjTreeGetNextTime(source, kind, -1.0f); t >= 0;
         t = tsxSobjTreeGetNextTime(source, kind, t))
        CopyKeyFrameBetween(source, target, kind, t, t);
}

bool SwapKeyFrames(CtsxSobj object, int kind, float time1, float time2) {
    if (time1 == time2) return true;
    CtsxFrame f1 = tsxSobjGetFrame(object, kind, 0, time1);
    CtsxFrame f2 = tsxSobjGetFrame(object, kind, 0, time2);
    if (f1) tsxFrameRemove(f1);
    if (f2) tsxFrameRemove(f2);

    if (f1 && !PlaceFrame(object, kind, f1, time2)) {
        PutBack(object, kind, f1, time1);
        PutBack(object, kind, f2, time2);
        return false;
    }
    if (f2 && !PlaceFrame(object, kind, f2, time1)) {
        // f1 already sits at time2; PutBack takes it from there.
        PutBack(object, kind, f1, time1);
        PutBack(object, kind, f2, time2);
        return false;
    }
    return true;
}

namespace testing {
void SetInsertFrameFn(TInsertFrameFn fn) {
    gInsertFrame = fn ? fn : &tsxSobjInsertFrame;
}
} // namespace testing

} // namespace vel
