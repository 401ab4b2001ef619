#pragma once

#include <QString>

// The length rules of the history's text fields: they hold as many bytes as the
// text takes in code page 932 (Microsoft's table), the encoding the history's
// readers on the target systems use.
namespace Cp932 {

// Byte length of a text; a character the code page cannot hold counts as one
// byte, as it is stored as '?'.
int ByteLength(const QString& Value);
// The longest prefix of Value that fits MaxBytes bytes, never splitting a
// double-byte character; characters the code page cannot hold become '?'.
QString CutToBytes(const QString& Value, int MaxBytes);

} // namespace Cp932
