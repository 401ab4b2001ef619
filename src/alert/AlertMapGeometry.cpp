#include "alert/AlertMapGeometry.h"

#include <cmath>

namespace AlertMapGeometry {

namespace {

constexpr float Pi = 3.14159265358979323846f;

float MercatorOrdinate(float Lat)
{
    const float radians = static_cast<float>(static_cast<double>(Lat) * static_cast<double>(Pi) / 180.0);
    const float tangent = static_cast<float>(std::tan(static_cast<double>(radians)));
    return static_cast<float>(std::asinh(static_cast<double>(tangent)));
}

} // namespace

int GetMapWidth(TAlertMapSize Size)
{
    switch (Size) {
    case amsSmall:
        return 500;
    case amsMiddle:
        return 1500;
    case amsLarge:
        return 3000;
    }
    return 500;
}

int GetMapHeight(TAlertMapSize Size)
{
    return GetMapWidth(Size);
}

int GetVerticalOffset(TAlertMapSize Size)
{
    return GetMapWidth(Size) / 100;
}

void LatLngToXY(float Lat, float Lng, int& X, int& Y, TAlertMapSize Size)
{
    X = 0;
    Y = 0;
    // Written so that NaN also counts as outside.
    if (!(Lat >= SouthEdge && Lat <= NorthEdge && Lng >= WestEdge && Lng <= EastEdge)) {
        return;
    }
    const double side = GetMapWidth(Size);
    const float x = static_cast<float>((static_cast<double>(Lng) - static_cast<double>(WestEdge)) /
                                       std::fabs(static_cast<double>(EastEdge) - static_cast<double>(WestEdge)) * side);
    X = RoundHalfEven(x);
    const double mSouth = MercatorOrdinate(SouthEdge);
    const double r = (static_cast<double>(MercatorOrdinate(Lat)) - mSouth) /
                     (static_cast<double>(MercatorOrdinate(NorthEdge)) - mSouth);
    const float y = static_cast<float>(side * r);
    Y = RoundHalfEven(side - static_cast<double>(y)) + GetVerticalOffset(Size);
}

void LatLngToPlane(float Lat, float Lng, double& X, double& Y)
{
    constexpr double side = 500.0;
    X = static_cast<float>((static_cast<double>(Lng) - static_cast<double>(WestEdge)) /
                           std::fabs(static_cast<double>(EastEdge) - static_cast<double>(WestEdge)) * side);
    const double mSouth = MercatorOrdinate(SouthEdge);
    const double r = (static_cast<double>(MercatorOrdinate(Lat)) - mSouth) /
                     (static_cast<double>(MercatorOrdinate(NorthEdge)) - mSouth);
    Y = side - static_cast<double>(static_cast<float>(side * r)) + GetVerticalOffset(amsSmall);
}

bool IsOnMap(float Lat, float Lng)
{
    return Lat >= SouthEdge && Lat <= NorthEdge && Lng >= WestEdge && Lng <= EastEdge;
}

float GetDistance(float LLat, float LLng, float ELat, float ELng, TAlertMapSize Size)
{
    int lx = 0;
    int ly = 0;
    int ex = 0;
    int ey = 0;
    LatLngToXY(LLat, LLng, lx, ly, Size);
    LatLngToXY(ELat, ELng, ex, ey, Size);
    const double dx = lx - ex;
    const double dy = ly - ey;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

int GetDistance(int Lx, int Ly, int Ex, int Ey)
{
    const double dx = static_cast<double>(Lx) - Ex;
    const double dy = static_cast<double>(Ly) - Ey;
    return RoundHalfEven(std::sqrt(dx * dx + dy * dy));
}

} // namespace AlertMapGeometry
