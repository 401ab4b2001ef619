#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class TAlertMap;
class TAlertMapView;
class TEqAlertController;
class TVeskLogger;
struct TEqAlertStart;

// The alert window: header with the alert class, the sound switch, the left
// pane with the alert's facts and the animated map. A view over the alert
// controller: it shows what the controller reports and forwards the user's
// two actions (sound switch, close); it holds no alert rule. Closing hides it.
class TEqAlertFrm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LeftPaneWidth = 141;
    static constexpr int MapSize = 512;
    static constexpr int HeaderHeight = 36;
    static constexpr int FooterHeight = 23;

    TEqAlertFrm(TEqAlertController& AController, TVeskLogger* ALogger, QWidget* AParent = nullptr);
    ~TEqAlertFrm() override;

    TAlertMap& AlertMap() const { return *FAlertMap; }
    QString HeaderText() const;
    // The header band: red for a warning, dark for a forecast, grey for a cancel.
    QColor HeaderBandColor() const;
    static inline const QColor WarningBandColor{0xC8, 0x10, 0x18};
    static inline const QColor ForecastBandColor{0x20, 0x20, 0x28};
    // A withdrawn earthquake: neither alarm colour.
    static inline const QColor CancelBandColor{0x70, 0x70, 0x78};
    // JMA's forecast for the user's area as shown; empty when there is none.
    QString JmaForecastText() const;
    QString SoundSwitchCaption() const;
    // The left pane's field by its name ("LocLatEdt", "EqIdEdt", ...).
    QString FieldText(const QString& AName) const;

    // The two telegram times: the six two-digit pieces of YYMMDDhhmmss, unconverted.
    static QString TelegramTimeText(const QString& ATime);

    // The user's actions, as the window's controls run them.
    void SoundSwitchBtnClick();
    void FormShow();

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void FillFields(const TEqAlertStart& Start);
    void ShowHeaderCaption(const QString& ACaption);
    void ShowAlert();
    QLineEdit* AddField(QWidget* Group, const QString& Name, const QStringList& Labels, int Index);

    TEqAlertController& FController;
    // The controller may go first at shutdown; the window then leaves it alone.
    QPointer<TEqAlertController> FControllerAlive;
    TVeskLogger* FLogger;
    TAlertMap* FAlertMap;
    TAlertMapView* FMapView;
    QWidget* FHeaderBand;
    QLabel* FHeader;
    QLabel* FJmaForecast;
    QPushButton* FSoundSwitch;
    QList<QLineEdit*> FFields;
};
