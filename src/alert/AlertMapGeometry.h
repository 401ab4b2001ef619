#pragma once

#include "defines/VeskDefines.h"

// Projection of latitude and longitude onto the square alert map of Japan:
// linear in longitude, Mercator in latitude, every step held as a 32-bit float.

enum TAlertMapSize
{
    amsSmall, // 500 x 500
    amsMiddle,
    amsLarge
};

namespace AlertMapGeometry {

constexpr float SouthEdge = 22.6f;
constexpr float NorthEdge = 46.471f;
constexpr float WestEdge = 122.283f;
constexpr float EastEdge = 150.2f;

int GetMapWidth(TAlertMapSize Size = amsSmall);
int GetMapHeight(TAlertMapSize Size = amsSmall);
int GetVerticalOffset(TAlertMapSize Size = amsSmall);

// Nearest integer, halves to the even neighbour (shared with the history entries).
using ::RoundHalfEven;

// Pixel position of a point; (0, 0) for a point outside the map (bounds are inside).
void LatLngToXY(float Lat, float Lng, int& X, int& Y, TAlertMapSize Size = amsSmall);

// Unrounded position of any point on the 500-pixel map's plane (no bounds: a point
// off the map gets coordinates outside 0 ... 500); same arithmetic as LatLngToXY.
void LatLngToPlane(float Lat, float Lng, double& X, double& Y);
// Whether LatLngToXY places the point (bounds inside).
bool IsOnMap(float Lat, float Lng);

// Distance in pixels between two projected points, unrounded.
float GetDistance(float LLat, float LLng, float ELat, float ELng, TAlertMapSize Size = amsSmall);
// Distance between two pixel positions, rounded.
int GetDistance(int Lx, int Ly, int Ex, int Ey);

} // namespace AlertMapGeometry
