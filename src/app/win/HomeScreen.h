#pragma once

#include <QDateTime>
#include <QPushButton>
#include <QWidget>

class QLabel;
class TSettingBinder;
class TVeskLogger;

// The home screen: clock, running time, link status, counters and whether an
// alarm can be heard; the version-check and (without a notification area) exit
// buttons; the appearance and the settings of the program's own behaviour.
class THomeScreen : public QWidget
{
    Q_OBJECT

public:
    THomeScreen(TSettingBinder& ABinder, TVeskLogger* ALogger, const QDateTime& ATimeOfStart, bool ATrayAvailable,
                QWidget* AParent = nullptr);

    void PutNumOfEqTelegrams(int ACount);
    void PutNumOfAlerts(int ACount);
    // The link status line: the tray hint.
    void PutCommStatusText(const QString& AHint);
    // The sound status line: AProblem is the sound channel's OutputProblem (empty: heard).
    void PutSoundOutput(const QString& AProblem);
    void PutOperatingTime();
    // Without a notification area the exit button shows.
    void SetTrayAvailable(bool AAvailable);

    // "%d日間 %d時間 %d分 %d秒" of whole seconds.
    static QString OperatingTimeText(qint64 ASeconds);
    // "yyyy/mm/dd(ddd) - hh:nn:ss" with the locale's short day name.
    static QString ClockText(const QDateTime& ATime);

signals:
    // The latest-version button was pressed; it is the one to disable while the check runs.
    void latestCheckRequested(QPushButton* AButton);
    void exitRequested();

protected:
    bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

private:
    TSettingBinder& FBinder;
    QDateTime FTimeOfStart;
    QLabel* FPresentTimeLbl = nullptr;
    QLabel* FTimeOfStartLbl = nullptr;
    QLabel* FOperatingTimeLbl = nullptr;
    QLabel* FCommStatusLbl = nullptr;
    QLabel* FNumOfEqTelegramLbl = nullptr;
    QLabel* FNumOfAlertLbl = nullptr;
    QLabel* FSoundOutputLbl = nullptr;
    QPushButton* FExitBtn = nullptr;
};
