#pragma once

#include "alert/AlertTiming.h"
#include "alertview/AlertMap.h"

#include "../alert/AlertTestSupport.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QRect>

#include <functional>

namespace AlertViewTest {

// One alert as the frame shows it: by default Kumamoto's epicentre seen from
// Tokyo, class 3, estimated S-wave at 30 s, 18 s after the occurrence (countdown 12).
struct TScene
{
    float HomeLat = 35.69f;
    float HomeLng = 139.69f;
    QString EpicLat = QStringLiteral("327"); // tenths of a degree, as in the telegram
    QString EpicLng = QStringLiteral("1308");
    float Scale = 3.0f;
    float EstimatedSec = 30.0f;
    qint64 ElapsedMSecs = 18000;
    bool Warning = false;
    QString EpicName;                      // no type-10 telegram when empty
    QString Depth = QStringLiteral("010"); // km
    QString EqId = QStringLiteral("ND20160414212634");
};

inline TAlertTick PaintScene(TAlertMap& Map, const TScene& Scene)
{
    AlertTest::TFakeClock clock;
    clock.Now = AlertTest::DefaultOccurrence() + Scene.ElapsedMSecs;
    TAlertTiming timing(nullptr, &clock);
    AlertTest::TEq01Fields fields;
    fields.Lat = Scene.EpicLat;
    fields.Lng = Scene.EpicLng;
    fields.Depth = Scene.Depth;
    fields.EqId = Scene.EqId;
    const TEqTelegram01 eq01 = AlertTest::Eq01(fields);
    const TEqTelegram10 eq10 =
        Scene.EpicName.isEmpty() ? TEqTelegram10() : AlertTest::Eq10(fields.EqId, Scene.EpicName);
    timing.SetIsIssuedWarning(Scene.Warning);
    timing.SetEqInfo(Scene.HomeLat, Scene.HomeLng, eq01, eq10, Scene.Scale, Scene.EstimatedSec);
    timing.StartAlert();
    const TAlertTick tick = timing.DoAlert();
    Map.PaintFrame(timing, tick);
    return tick;
}

// 0xAARRGGBB over an opaque pixel, as the raster engine blends it (8 bits per channel).
inline QRgb Blend(quint32 Argb, QRgb Under)
{
    const int a = int(Argb >> 24);
    auto mix = [a](int Top, int Bottom) { return (Top * a + Bottom * (255 - a) + 127) / 255; };
    return qRgb(mix(int((Argb >> 16) & 0xFF), qRed(Under)), mix(int((Argb >> 8) & 0xFF), qGreen(Under)),
                mix(int(Argb & 0xFF), qBlue(Under)));
}

inline bool Near(QRgb A, QRgb B, int Tolerance)
{
    return std::abs(qRed(A) - qRed(B)) <= Tolerance && std::abs(qGreen(A) - qGreen(B)) <= Tolerance &&
           std::abs(qBlue(A) - qBlue(B)) <= Tolerance;
}

inline QString Hex(QRgb C)
{
    return QStringLiteral("#%1").arg(C & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

// Pixels of Rect (clipped to the image) for which Pred holds.
inline int CountPixels(const QImage& Image, const QRect& Rect, const std::function<bool(QRgb)>& Pred)
{
    int n = 0;
    const QRect r = Rect.intersected(Image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += Pred(Image.pixel(x, y)) ? 1 : 0;
        }
    }
    return n;
}

} // namespace AlertViewTest
