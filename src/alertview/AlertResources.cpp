#include "alertview/AlertResources.h"

#include <QFile>

#include <mutex>

// Outside any namespace: the macro declares the resource's registration function.
static void InitAlertViewQrc()
{
    Q_INIT_RESOURCE(alertview);
}

namespace AlertResources {

void Init()
{
    // The library is static: its resources must be registered explicitly, once.
    static std::once_flag once;
    std::call_once(once, InitAlertViewQrc);
}

QString Path(const QString& Name, const QString& Ext)
{
    return QStringLiteral(":/alert/%1.%2").arg(Name, Ext);
}

QImage LoadImage(const QString& Name)
{
    Init();
    // Every image is a PNG, the 24-bit bitmaps included (same pixels, a fraction of the size).
    return QImage(Path(Name, QStringLiteral("png")));
}

QByteArray LoadBytes(const QString& Name, const QString& Ext)
{
    Init();
    QFile file(Path(Name, Ext));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

} // namespace AlertResources
