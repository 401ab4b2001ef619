#include "AlertMapGeometry.h"

#include <cmath>
#include <limits>

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

int RoundHalfEven(double Value)
{
    if (std::isnan(Value)) {
        return 0;
    }
    const double lo = static_cast<double>(std::numeric_limits<int>::min());
    const double hi = static_cast<double>(std::numeric_limits<int>::max());
    double r = std::floor(Value);
    const double diff = Value - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) {
        r += 1.0;
    }
    if (r < lo) {
        return std::numeric_limits<int>::min();
    }
    if (r > hi) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(r);
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
