#pragma once
// The line shapes the host draws for the plug-in's extension objects, in
// object space. The host reads them while drawing, so they live as long as
// the module; nothing may edit them.
#include "tsxapi.h"

namespace vel {

// A cap towards +x and a pyramid to -1 along x; the bone object's size
// stretches it to the bone's length.
PtsxVectorObject BoneShape();
// A flat-ended pyramid from the base at x = 0 to x = -1.
PtsxVectorObject PyramidShape();
// A three-axis cross of square bars, from -0.54 to 0.54 along each axis.
PtsxVectorObject JointMarkerShape();

} // namespace vel
