#include "alertview/AlertMapView.h"

#include "alertview/AlertMap.h"

#include <QPaintEvent>
#include <QPainter>

TAlertMapView::TAlertMapView(QWidget* AParent) : QWidget(AParent)
{
    setFixedSize(512, 512);
    // Every pixel is painted: the frame and the border around it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TAlertMapView::SetAlertMap(TAlertMap* AMap)
{
    if (FMap) {
        disconnect(FMap, nullptr, this, nullptr);
    }
    FMap = AMap;
    if (FMap) {
        connect(FMap, &TAlertMap::frameReady, this, qOverload<>(&QWidget::update));
    }
    update();
}

void TAlertMapView::paintEvent(QPaintEvent* Event)
{
    QPainter painter(this);
    painter.fillRect(Event->rect(), palette().window());
    if (FMap) {
        // One copy of a finished frame; the map never draws while this runs.
        painter.drawImage(0, 0, FMap->Frame());
    }
}
