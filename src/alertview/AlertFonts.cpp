#include "alertview/AlertFonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QRawFont>
#include <QStringList>

namespace AlertFonts {

namespace {

// Characters every frame shows; a face without them would draw boxes.
const QString FrameSample = QStringLiteral("震度到達まであと秒発生: 0123456789/");

QString ChooseTextFamily()
{
    // QApplication knows the desktop's menu font; a plain QGuiApplication only its general font.
    const QFont menu = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr
                           ? QApplication::font("QMenu")
                           : QGuiApplication::font();
    if (HasGlyphs(menu.family(), FrameSample)) {
        return menu.family();
    }
    const QString noto = QStringLiteral("Noto Sans CJK JP");
    if (HasGlyphs(noto, FrameSample)) {
        return noto;
    }
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (HasGlyphs(family, FrameSample)) {
            return family;
        }
    }
    return noto;
}

} // namespace

QString TextFamily()
{
    static const QString family = ChooseTextFamily();
    return family;
}

QString SystemFamily()
{
    return QStringLiteral("DejaVu Sans Mono");
}

bool HasGlyphs(const QString& Family, const QString& Text)
{
    QFont font(Family);
    font.setPixelSize(16);
    // Without this Qt would quietly take the glyphs from another face.
    font.setStyleStrategy(QFont::NoFontMerging);
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || raw.familyName().compare(Family, Qt::CaseInsensitive) != 0) {
        return false;
    }
    for (const char32_t c : Text.toUcs4()) {
        if (!raw.supportsCharacter(c)) {
            return false;
        }
    }
    return true;
}

} // namespace AlertFonts
