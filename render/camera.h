// The fixed camera every frame is seen through: its distance from the
// picture plane and its vertical field of view. The pictures' square spans
// 2 units of that plane.
#pragma once

#include <cmath>

namespace camera {

constexpr double distance = 2.5;
constexpr double fieldOfViewDegrees = 45.0;

// Pixels per scene unit in the picture plane for a client this high.
inline double pixelsPerUnit(int clientHeight) {
    const double pi = 3.14159265358979323846;
    return double(clientHeight) / (2.0 * distance * std::tan(fieldOfViewDegrees / 2.0 * pi / 180.0));
}

}  // namespace camera
