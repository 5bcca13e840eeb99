#pragma once
// Display widths counted in half-width cells, as a fixed-pitch Chinese font
// lays text out: East Asian wide and full-width characters take two cells,
// every other character one. Used for aligning report lines and for sizing
// spreadsheet columns; and the decoding of the engine's UTF-8 texts.
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace brenvoll {

// True for characters of Unicode East Asian Width W or F.
bool isWideChar(char32_t c);

// Width of the text in half-width cells.
int displayCells(QStringView text);
// The UTF-8 text into `text`, as QString::fromUtf8() decodes it, reusing
// the string's room (long exports decode a million texts); returns its
// width, as displayCells().
int decodeUtf8(QByteArrayView utf8, QString& text);

// The first `count` characters of the text; a character outside the Basic
// Multilingual Plane counts as one and is never split.
QString leftChars(const QString& text, int count);

} // namespace brenvoll
