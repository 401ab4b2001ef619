#pragma once

#include <QString>

// The faces the alert frame writes with. Needs a QGuiApplication.
namespace AlertFonts {

// The desktop's menu font when it has Japanese glyphs, otherwise "Noto Sans CJK JP",
// otherwise any installed face with Japanese glyphs. Chosen once per process.
QString TextFamily();
// Stands in for the Windows "System" face of the colour-bar labels: a bold
// monospaced face whose "5+" fits a 16-pixel cell at 12 pixels.
QString SystemFamily();
// Whether Family has a glyph for every character of Text (no tofu boxes).
bool HasGlyphs(const QString& Family, const QString& Text);

} // namespace AlertFonts
