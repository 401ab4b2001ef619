#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// A small notice that shows two texts and closes itself after a number of
// seconds, unless the user closes it first. Non-modal: StartDisplaying shows it
// and returns at once. It deletes itself when closed, so nobody keeps a pointer
// to it after StartDisplaying (hold a QPointer to watch it).
//
// Each tick of the one-second timer first checks the seconds left: at 0 or
// below it closes, otherwise the footer announces them and they go down by one.
// With 20 seconds the footer is empty for the first second, then reads 20 ... 1,
// and the 21st tick closes the notice; it never shows 0.
class TAutoCloseMsgDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int TickIntervalMs = 1000;

    explicit TAutoCloseMsgDlg(QWidget* AParent = nullptr);

    void SetComment1(const QString& AMsg);
    void SetComment2(const QString& AMsg);
    void StartDisplaying(int ASec);

    QString Comment1() const;
    QString Comment2() const;
    QString FooterText() const;
    int PeriodOfDisplay() const { return FPeriodOfDisplay; }
    const QTimer* CountupTimer() const { return FCountupTmr; }

    // The timer's handler; public so that a test can drive the count.
    void CountupTmrTimer();

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    int FPeriodOfDisplay = 0;
    QLabel* FComment1Lbl;
    QLabel* FComment2Lbl;
    QLabel* FFooterLbl;
    QTimer* FCountupTmr;
};
