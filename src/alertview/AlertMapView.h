#pragma once

#include <QPointer>
#include <QWidget>

class TAlertMap;

// The alert window's map area (512 x 512): shows the alert map's last frame at
// its top-left and repaints whenever a new frame is ready.
class TAlertMapView : public QWidget
{
    Q_OBJECT

public:
    explicit TAlertMapView(QWidget* AParent = nullptr);

    void SetAlertMap(TAlertMap* AMap);
    QSize sizeHint() const override { return QSize(512, 512); }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QPointer<TAlertMap> FMap;
};
