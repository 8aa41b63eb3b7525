#pragma once
// Picture coordinates worked out in floating point (a projection, a fit) are
// cut to the picture while still floating point, and only then become
// pixels: a point far away, or one at infinity, must neither overflow the
// conversion nor wrap round into the picture.
namespace vel {

// The area kept, in picture coordinates, edges included.
struct TPictureArea {
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
    bool Holds(double X, double Y) const { return X >= MinX && X <= MaxX && Y >= MinY && Y <= MaxY; }
};

// Cuts the line from (X1, Y1) to (X2, Y2) to the area, keeping its
// direction; false when none of it lies inside or an end is not finite.
bool ClipToPicture(double& X1, double& Y1, double& X2, double& Y2, const TPictureArea& Area);

// The pixel of a coordinate, clamped into the area's span first (a NaN
// gives Min): always a safe int.
int PixelOf(double Coordinate, double Min, double Max);

} // namespace vel
