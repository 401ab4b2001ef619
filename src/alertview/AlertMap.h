#pragma once

#include "alert/AlertPresentation.h"
#include "logging/VeskLogging.h"

#include <QFlags>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QVector>

#include <array>
#include <optional>

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
// alert into a 500 x 500 buffer (map, P- and S-wave circles, marks, information
// board, countdown, notice plates, warning sign, scale bar) and then announces it
// with frameReady(). The map is framed on the epicentre and home at the largest
// of the fixed scales 1, 2, 4 and 8 that holds both clear of the boards; the
// boards themselves never move. The buffer is only written inside PaintFrame, on the main
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

    // SetZoom's value for framing the earthquake automatically.
    static constexpr int AutoZoom = 0;

    explicit TAlertMap(TVeskLogger* ALogger = nullptr, QObject* AParent = nullptr);

    // Composes the frame of one tick from scratch, then emits frameReady().
    void PaintFrame(const TAlertTiming& Timing, const TAlertTick& Tick) override;
    void SetOtherQuakes(const QVector<TAlertMapQuake>& Quakes) override { FOthers = Quakes; }
    const QVector<TAlertMapQuake>& OtherQuakes() const { return FOthers; }
    // Greys the last frame out under a "取消" board, and presents it.
    void ShowCancelled() override;

    // AutoZoom (the default), or a fixed scale 1, 2, 4 or 8; 1 is the whole-Japan
    // map as it always was, never moved. Another value counts as 1.
    void SetZoom(int Zoom);
    int Zoom() const { return FZoom; }
    // The scale of the last frame, and its view: a point at pixel P of the scale's
    // whole map shows at P - ViewOffset().
    int Scale() const { return FView.Scale; }
    QPoint ViewOffset() const { return FView.Offset; }
    // The map under the last frame, without anything drawn on it.
    const QImage& Base() const { return FBase; }
    // Where a point shows in the last frame's view, rounded to the pixel; also off the view.
    QPoint ToView(double Lat, double Lng) const;
    // Pixels per km at a latitude in the last frame's view.
    double PixelsPerKm(double Lat) const;
    // The areas of the frame the boards, plates, countdown and scale bar cover in the last frame.
    const QVector<QRect>& Boards() const { return FBoards; }
    // The radii (pixels) of the last frame's wave circles; 0 when not drawn.
    double SRadius() const { return FSRadius; }
    double PRadius() const { return FPRadius; }

    // The last composed frame (the bare map before the first one).
    const QImage& Frame() const { return FBuffer; }
    // 0 when every image was found; otherwise the TLoadImageResult bits of what is missing.
    int LoadResult() const { return FLoadResult; }

    void SetLogger(TVeskLogger* ALogger) { FLogger = TVeskLogger::OrNull(ALogger); }

signals:
    void frameReady();

private:
    struct TView
    {
        int Scale = 1;
        QPoint Offset;
        bool operator==(const TView&) const = default;
    };

    int LoadImageData();

    // Where the map is placed for this frame: held for an alert unless a report needs more.
    void FrameView();
    std::optional<TView> FindView(int Scale, const QVector<QPointF>& Homes, const QVector<QPointF>& Epicentres,
                                  bool Relaxed) const;
    bool ViewKeepsClear(const TView& View, const QVector<QPointF>& Homes, const QVector<QPointF>& Epicentres) const;
    QPointF ToLevel(int Scale, double Lat, double Lng) const;
    void ComposeBase();
    const QImage& Tile(int Scale, int Col, int Row);
    void ComputeBoards();
    // The distances (km) the P and S fronts of a source have travelled after Sec seconds; false without a model.
    static bool WaveFronts(int DepthKm, double Sec, double& PKm, double& SKm);

    void DrawMap();
    void DrawSWaveCircle(double Radius, quint32 ScaleCol, bool OnlyDrawCircle);
    void DrawPWaveCircle(double Radius);
    void DrawWaveCircles(const TAlertTiming& Timing, const TAlertTick& Tick);
    void DrawOtherQuakes();
    void DrawOtherQuakeList();
    void DrawEdgePointer(QPoint Target);
    void DrawArrived(const QRect& DrawArea);
    void DrawScaleBar();
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
    QImage FRcXMarkSmall;            // the other earthquakes' epicentres
    std::array<bool, 4> FHasLevel{}; // tiles of the scales 2, 4 and 8 are compiled in (index log2)
    QHash<QString, QImage> FTiles;   // decoded tiles, kept for the process
    QImage FBase;                    // the view's map; recomposed only when the view changes
    std::optional<TView> FBaseView;
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
    bool FArrived = false;
    QString FEqId;
    QVector<TAlertMapQuake> FOthers;

    int FZoom = AutoZoom;
    TView FView;
    QVector<QRect> FBoards;
    QRect FArrivedRect;
    int FNameFontSize = 24;
    double FSRadius = 0.0;
    double FPRadius = 0.0;
    // The view held for the alert and what it was chosen for.
    QString FHeldEqId;
    int FHeldZoom = -1;
    QVector<QPointF> FHeldPoints;
    QVector<QRect> FHeldBoards;
};
