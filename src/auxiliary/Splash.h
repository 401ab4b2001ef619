#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <vector>

class QLabel;

// A colour of three bytes.
struct TSplashRGB
{
    quint8 Red = 0;
    quint8 Green = 0;
    quint8 Blue = 0;
    friend bool operator==(const TSplashRGB&, const TSplashRGB&) = default;
};

// The rectangles of the non-transparent pixels of APicture: one per maximal run
// of such pixels in a row, one pixel high, rows from the top, runs from the
// left. Exact mode (AColorRange >= 0) cuts away only ATransparent itself; range
// mode (negative) cuts away every pixel whose channels each lie within the
// tolerance ARange of ATransparent's.
std::vector<QRect> SplashShapeRects(const QImage& APicture, int AColorRange, TSplashRGB ARange,
                                    TSplashRGB ATransparent);
QRegion SplashShapeRegion(const QImage& APicture, int AColorRange, TSplashRGB ARange, TSplashRGB ATransparent);

// Borderless, always-on-top start-up window shaped like its picture: every
// pixel of the transparent colour is cut out of the window.
class TSplashFrm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MsgPnlHeight = 41;

    explicit TSplashFrm(QWidget* AOwner = nullptr);

    const QImage& RgnBitmap() const { return FRgnBitmap; }
    const QRegion& RgnHandle() const { return FRgnHandle; }
    TSplashRGB TransparentRGB() const { return FTransparentRGB; }
    int ColorRange() const { return FColorRange; }
    void SetColorRange(int AColorRange) { FColorRange = AColorRange; }
    TSplashRGB ColorRGBRange() const { return FColorRGBRange; }
    void SetColorRGBRange(TSplashRGB ARange) { FColorRGBRange = ARange; }
    QLabel* MsgPnl() const { return FMsgPnl; }

    // Takes a copy of the picture and the two colours, sizes the window to the
    // picture and cuts it to shape. A null picture leaves the window unshaped.
    void InitSplashWindow(const QImage& A24Bitmap, TSplashRGB TransRGB, TSplashRGB TransRangeRGB);
    // The same with a picture from a file and the current colours; false when
    // the file cannot be read.
    bool InitSplashWindow(const QString& BitmapFileName);

    // The start-up splash: the program's splash picture on pure red, exact
    // mode, centred on the screen. Null (and logged) when the picture is missing.
    static TSplashFrm* CreateStartupSplash(QWidget* AOwner = nullptr);
    static QString StartupPicturePath();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyShape();

    QImage FRgnBitmap;
    QRegion FRgnHandle;
    TSplashRGB FTransparentRGB;
    int FColorRange = 0;
    TSplashRGB FColorRGBRange;
    QLabel* FMsgPnl;
};
