#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Plays a recorded feed: one JSON message per line, sent with the spacing of
// their issue times ("AnnouncedTime") divided by the speed factor. A gap longer
// than the maximum (a recording of several earthquakes) is shortened to it; a
// line without a readable time follows the previous one at once.
class TEqBridgeReplay : public QObject
{
public:
    struct TItem
    {
        qint64 DelayMs = 0; // after the previous message, before the speed factor
        QByteArray Json;
    };

    // Blank lines and lines starting with "#" are skipped. False with AError when
    // the file cannot be read.
    static bool Load(const QString& AFileName, qint64 AMaxGapMs, QList<TItem>& AItems, QString& AError);

    TEqBridgeReplay(QList<TItem> AItems, double ASpeed) : FItems(std::move(AItems)), FSpeed(ASpeed)
    {
        FTimer.setSingleShot(true);
        FTimer.setTimerType(Qt::PreciseTimer);
        connect(&FTimer, &QTimer::timeout, this, [this] { PlayNext(); });
    }

    void Start();
    bool IsStarted() const { return FStarted; }

    std::function<void(const QByteArray&)> OnMessage;
    std::function<void()> OnFinished;

private:
    void ScheduleNext();
    void PlayNext();

    QList<TItem> FItems;
    double FSpeed;
    QTimer FTimer;
    qsizetype FIndex = 0;
    bool FStarted = false;
};
