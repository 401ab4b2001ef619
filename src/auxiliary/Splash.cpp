#include "auxiliary/Splash.h"

#include "auxiliary/VeskAuxResources.h"
#include "logging/VeskLogging.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

bool WithinTolerance(int Value, int Target, int Tolerance)
{
    return Value >= std::max(Target - Tolerance, 0) && Value <= std::min(Target + Tolerance, 255);
}

} // namespace

std::vector<QRect> SplashShapeRects(const QImage& APicture, int AColorRange, TSplashRGB ARange, TSplashRGB ATransparent)
{
    std::vector<QRect> rects;
    if (APicture.isNull())
        return rects;
    const QImage picture = APicture.convertToFormat(QImage::Format_RGB888);
    const TSplashRGB tolerance = AColorRange < 0 ? ARange : TSplashRGB{};
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* line = picture.constScanLine(y);
        int runStart = -1;
        for (int x = 0; x < width; ++x) {
            const uchar* px = line + 3 * x;
            const bool transparent = WithinTolerance(px[0], ATransparent.Red, tolerance.Red) &&
                                     WithinTolerance(px[1], ATransparent.Green, tolerance.Green) &&
                                     WithinTolerance(px[2], ATransparent.Blue, tolerance.Blue);
            if (!transparent && runStart < 0) {
                runStart = x;
            } else if (transparent && runStart >= 0) {
                rects.emplace_back(runStart, y, x - runStart, 1);
                runStart = -1;
            }
        }
        if (runStart >= 0)
            rects.emplace_back(runStart, y, width - runStart, 1);
    }
    return rects;
}

QRegion SplashShapeRegion(const QImage& APicture, int AColorRange, TSplashRGB ARange, TSplashRGB ATransparent)
{
    const std::vector<QRect> runs = SplashShapeRects(APicture, AColorRange, ARange, ATransparent);
    // Rows with the same runs as the row above are merged into one band, the
    // form QRegion itself keeps, so the region compares equal to one built by
    // any other route; setRects then takes the bands in one pass.
    std::vector<QRect> bands;
    size_t prevBegin = 0;
    size_t prevEnd = 0;
    for (size_t i = 0; i < runs.size();) {
        size_t end = i;
        while (end < runs.size() && runs[end].top() == runs[i].top())
            ++end;
        const bool sameAsAbove =
            prevEnd > prevBegin && end - i == prevEnd - prevBegin &&
            bands[prevBegin].top() + bands[prevBegin].height() == runs[i].top() &&
            std::equal(runs.begin() + long(i), runs.begin() + long(end), bands.begin() + long(prevBegin),
                       [](const QRect& a, const QRect& b) { return a.left() == b.left() && a.width() == b.width(); });
        if (sameAsAbove) {
            for (size_t k = prevBegin; k < prevEnd; ++k)
                bands[k].setHeight(bands[k].height() + 1);
        } else {
            prevBegin = bands.size();
            bands.insert(bands.end(), runs.begin() + long(i), runs.begin() + long(end));
            prevEnd = bands.size();
        }
        i = end;
    }
    QRegion region;
    if (!bands.empty())
        region.setRects(bands.data(), int(bands.size()));
    return region;
}

TSplashFrm::TSplashFrm(QWidget* AOwner) : QWidget(AOwner), FMsgPnl(new QLabel(this))
{
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Highlight);
    // The strip lies over the picture's foot; it is transparent so the art shows.
    FMsgPnl->setAlignment(Qt::AlignCenter);
    FMsgPnl->clear();
}

void TSplashFrm::InitSplashWindow(const QImage& A24Bitmap, TSplashRGB TransRGB, TSplashRGB TransRangeRGB)
{
    TVeskLogScope scope(VeskLogger(), QStringLiteral("TSplashFrm.InitSplashWindow()"));
    FRgnBitmap = A24Bitmap.convertToFormat(QImage::Format_RGB888);
    FTransparentRGB = TransRGB;
    FColorRGBRange = TransRangeRGB;
    if (!FRgnBitmap.isNull())
        setFixedSize(FRgnBitmap.size());
    FMsgPnl->setGeometry(0, height() - MsgPnlHeight, width(), MsgPnlHeight);
    ApplyShape();
}

bool TSplashFrm::InitSplashWindow(const QString& BitmapFileName)
{
    const QImage picture(BitmapFileName);
    if (picture.isNull()) {
        TVeskLogger::OrNull(VeskLogger())
            ->Send(vmtWarning, QStringLiteral("Splash picture not readable"), BitmapFileName);
        return false;
    }
    InitSplashWindow(picture, FTransparentRGB, FColorRGBRange);
    return true;
}

void TSplashFrm::ApplyShape()
{
    FRgnHandle = SplashShapeRegion(FRgnBitmap, FColorRange, FColorRGBRange, FTransparentRGB);
    if (FRgnBitmap.isNull())
        clearMask();
    else
        setMask(FRgnHandle);
}

void TSplashFrm::paintEvent(QPaintEvent*)
{
    if (FRgnBitmap.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, FRgnBitmap);
}

QString TSplashFrm::StartupPicturePath()
{
    return QStringLiteral(":/aux/BMP_SPLASH1.png");
}

TSplashFrm* TSplashFrm::CreateStartupSplash(QWidget* AOwner)
{
    VeskInitAuxResources();
    const QImage picture(StartupPicturePath());
    if (picture.isNull()) {
        TVeskLogger::OrNull(VeskLogger())
            ->Send(vmtWarning, QStringLiteral("Splash picture not readable"), StartupPicturePath());
        return nullptr;
    }
    auto* splash = new TSplashFrm(AOwner);
    splash->SetColorRange(0);
    const TSplashRGB pureRed{255, 0, 0};
    splash->InitSplashWindow(picture, pureRed, pureRed);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        splash->move(screen->availableGeometry().center() - splash->rect().center());
    return splash;
}
