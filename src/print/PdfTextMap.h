#pragma once
// Repairs what Qt's PDF writer says about the text of its embedded fonts, so
// that a reader finds, copies and searches the sheet's words as typed.
//
// Qt gives each embedded font a text map (ToUnicode) built backwards from the
// font's character map: every glyph is mapped to the lowest character that
// shows it. The sheet's CJK font draws many radical forms (U+2E80 to U+2FDF)
// with the very glyph of an ideograph, and the radical comes first, so that
// a reader finds "⾝⾼" (two Kangxi radicals) where the sheet says "身高", and
// "⻔" where it says "门". Qt also leaves the subset tag off the names of the
// fonts, so that readers take the subsets for whole fonts. And Qt builds
// the maps from the characters up to U+FFFF alone: a glyph drawn for a
// character beyond (𠮷, an emoji) gets no text at all.
#include <QByteArray>
#include <QHash>
#include <QStringList>

class QRawFont;

namespace brenvoll::pdf {

// For every character below the ideographs (U+2E80 to U+33FF) that `font`
// draws with the glyph of an ideograph: that ideograph (the first one of
// U+3400 to U+9FFF with the glyph).
QHash<char16_t, char16_t> ideographsSharingGlyphs(const QRawFont& font);

// The file with every character of its text maps that `ideographs` names
// replaced by its ideograph, each subset font named with its subset tag, and
// a text for every glyph that the pages draw for a character beyond U+FFFF:
// `shown` are the texts the pages draw, in drawing order (blanks, control
// and format characters draw no glyph). A file not laid out as Qt writes it
// (one cross-reference table, objects one after another) comes back
// unchanged, and so do glyphs that cannot be matched with `shown`.
QByteArray repairTextMaps(const QByteArray& file, const QHash<char16_t, char16_t>& ideographs,
                          const QStringList& shown = {});

} // namespace brenvoll::pdf
