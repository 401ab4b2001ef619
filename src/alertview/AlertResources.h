#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The alert artwork and sounds compiled into the program (resources/alertview.qrc).
namespace AlertResources {

// Registers the compiled-in resources; safe to call any number of times.
void Init();
// ":/alert/<Name>.<Ext>", where Name is the resource identifier (BMP_MAP_SMALL, WAV_ALERT_1 ...).
QString Path(const QString& Name, const QString& Ext);
// The image of a resource, null when it is missing or unreadable.
QImage LoadImage(const QString& Name);
// The bytes of a resource, empty when it is missing.
QByteArray LoadBytes(const QString& Name, const QString& Ext);

} // namespace AlertResources
