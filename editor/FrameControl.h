#pragma once
// The editor's frame controller: follows the host's time, and moves it with
// every skeleton keeping its pose.
#include <cstdint>
#include <vector>

namespace vel {

// The frame the editor shows (the host's time, rounded).
extern std::int32_t CurrentFrame;
// Set when watched objects were animated; the next draw of a skeleton object
// updates all skeletons once.
extern bool FrameDirty;

// The host's time moved to time.
void ActiveTimeChanged(float time);
void MarkFrameDirty();
// Sets the host's time, then follows it.
void SetActiveFrame(float frame);
// Sets the host's time with every skeleton keeping its pose, under the edit
// lock and with SettingFrame set (both released also on an exception); once
// the lock is over the time views follow the host's time.
void SetActiveFrameUpdating(float frame);
// Only when frame differs from CurrentFrame: CurrentFrame := frame rounded,
// and the time views follow. Non-finite frames are ignored.
void SetCurrentFrame(float frame);
// A time's frame: rounded (halves to even), clamped into 32 bits rather
// than wrapped; 0 for NaN.
std::int32_t FrameNumber(float time);
void UpdateIfFrameDirty();
// The times SetActiveFrameUpdating set since the last call, oldest first:
// the rig keys at them inside its edits (the rest frames 0 and 1 of a page
// switch), between keys a window has seen. The newest kTimesKept are kept;
// Lost tells that older ones went.
inline constexpr std::size_t kTimesKept = 64;
std::vector<float> TakeTimesSet(bool& Lost);

namespace testing {
void ResetFrameControl();
}

} // namespace vel
