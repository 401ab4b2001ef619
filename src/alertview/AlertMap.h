#pragma once

#include "alert/AlertPresentation.h"
#include "logging/VeskLogging.h"

#include <QFlags>
#include <QImage>
#include <QObject>
#include <QPainter>
#include <QRect>
#include <QString>

#include <array>

class TVeskLogger;

// Where a board goes inside its area; each drawing operation has its own rule.
enum TDrawPositions : unsigned
{
    dpTop = 0x01,
    dpBottom = 0x02,
    dpLeft = 0x04,
    dpRight = 0x08,
    dpCenter = 0x10
};
Q_DECLARE_FLAGS(TDrawPosition, TDrawPositions)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDrawPosition)

enum TDrawScaleStyle
{
    dssHorizontal,
    dssVertical
};

enum TDecorateStringStyle
{
    dssNormal,
    dssEmboss,
    dssEmbed,
    dssBordered
};

// The alert map's picture: loads the artwork once, composes each frame of an
// alert into a 500 x 500 buffer (map, S-wave circle, marks, information board,
// countdown, notice plates, warning sign) and then announces it with
// frameReady(). The buffer is only written inside PaintFrame, on the main
// thread, so a view that copies Frame() in its paint handler never sees a
// half-drawn frame. Knows no widget.
class TAlertMap : public QObject, public TAlertFramePainter
{
    Q_OBJECT

public:
    // Bits of LoadImageData's result.
    enum TLoadImageResult : int
    {
        lirMap = 0x01,
        lirMarks = 0x02,
        lirNumerals = 0x04,
        lirDigits = 0x08,
        lirSigns = 0x10
    };

    explicit TAlertMap(TVeskLogger* ALogger = nullptr, QObject* AParent = nullptr);

    // Composes the frame of one tick from scratch, then emits frameReady().
    void PaintFrame(const TAlertTiming& Timing, const TAlertTick& Tick) override;

    // The last composed frame (the bare map before the first one).
    const QImage& Frame() const { return FBuffer; }
    // 0 when every image was found; otherwise the TLoadImageResult bits of what is missing.
    int LoadResult() const { return FLoadResult; }

    void SetLogger(TVeskLogger* ALogger) { FLogger = TVeskLogger::OrNull(ALogger); }

signals:
    void frameReady();

private:
    int LoadImageData();

    void DrawMap();
    void DrawSWaveCircle(float Distance, quint32 ScaleCol, bool OnlyDrawCircle);
    void DrawLandmark();
    void DrawLandmarkHome(float Lat, float Lng);
    void DrawLandmarkEpicenter(float Lat, float Lng);
    void DrawMark(const QImage& Mark, float Lat, float Lng);
    void DrawInformationBoard(const QRect& DrawArea, TDrawPosition DrawPosition);
    void DrawSeismicScale(const QRect& DrawArea);
    void DrawScaleColorBar(const QRect& DrawArea, TDrawPosition DrawPosition, TDrawScaleStyle DrawStyle);
    void DrawAdvancedSecond(const QRect& DrawArea, TDrawPosition DrawPosition);
    void DrawSignBoard(const QRect& DrawArea, TDrawPosition DrawPosition);
    void DrawNoticeBoard(const QRect& DrawArea);
    void DrawEpicenterName();
    void DrawOccurredDateTime();
    void DrawArrivalDateTime();
    void DrawPlate(const QString& Text, int FontSize, int Top, int Height);
    void DrawDecoratedString(TDecorateStringStyle DecorateStyle, const QString& Msg, const QString& FontName,
                             float FontSize, quint32 FillColor, quint32 EdgeColor, float X, float Y);

    // A 1-pixel line covering exactly the pixels from (X1, Y1) to (X2, Y2), both ends included.
    void Line(quint32 Color, int X1, int Y1, int X2, int Y2);
    // A 1-pixel outline of the rectangle's edges at X, X + W, Y and Y + H.
    void Outline(quint32 Color, int X, int Y, int W, int H);
    QRect MapRect() const;

    TVeskLogger* FLogger;
    int FLoadResult = 0;

    QImage FRcMapSmall;
    QImage FRcHMark; // white made transparent: the colour key of the marks
    QImage FRcXMark;
    std::array<QImage, 10> FRcWNums;
    std::array<QImage, 10> FRcRNums;
    std::array<QImage, 13> FRcSIScales;
    std::array<QImage, 2> FRcEqSign;
    QImage FBuffer;
    QPainter FPainter; // active on FBuffer only while a frame is composed

    QString FTextFont;
    QString FSystemFont;

    // The alert as of the frame being composed.
    float FLLat = 0.0f;
    float FLLng = 0.0f;
    float FELat = 0.0f;
    float FELng = 0.0f;
    float FEstimatedScale = 0.0f;
    qint64 FAdvanceSec = 0;
    bool FIsIssuedWarning = false;
    QString FEpicName;
    qint64 FOccurMSecs = 0;
    qint64 FArrivalMSecs = 0;
};
