#include "TextCells.h"

#include <algorithm>
#include <iterator>

namespace brenvoll {

namespace {
struct Range
{
    char32_t first;
    char32_t last;
};

// East Asian Wide and Fullwidth blocks, sorted. Scripts the clinic meets
// (Han, kana, Hangul, full-width forms, CJK punctuation) are all covered.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251},
    {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};
} // namespace

bool isWideChar(char32_t c)
{
    if (c < 0x1100) {
        return false;
    }
    if (c >= 0x4E00 && c <= 0x9FFF) {
        return true; // the common Han characters, most of a clinic's text
    }
    const auto* const it = std::upper_bound(std::begin(kWide), std::end(kWide), c,
                                            [](char32_t value, const Range& r) { return value < r.first; });
    return it != std::begin(kWide) && c <= std::prev(it)->last;
}

namespace {
// The code point at `i` and the index after it; a lone surrogate counts as
// one narrow character.
char32_t codePointAt(QStringView text, qsizetype& i)
{
    const QChar c = text[i++];
    if (c.isHighSurrogate() && i < text.size() && text[i].isLowSurrogate()) {
        return QChar::surrogateToUcs4(c, text[i++]);
    }
    return c.unicode();
}
} // namespace

int displayCells(QStringView text)
{
    int cells = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char32_t c = codePointAt(text, i);
        cells += (c >= 0x1100 && isWideChar(c)) ? 2 : 1;
    }
    return cells;
}

namespace {
constexpr char32_t kMalformed = 0xFFFFFFFF;

// The code point at `p` in UTF-8, moving `p` past it; kMalformed for
// anything but a well-formed sequence, and for a byte order mark, which
// decoders treat in their own ways.
char32_t nextCodePoint(const quint8*& p, const quint8* end)
{
    if (*p < 0x80) {
        return *p++;
    }
    // Three bytes, as every Chinese character takes: the common case first.
    if ((*p & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
        const char32_t c = char32_t(*p & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | char32_t(p[2] & 0x3F);
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFEFF) {
            return kMalformed;
        }
        p += 3;
        return c;
    }
    // Two or four bytes.
    const int length = *p >= 0xC2 && *p <= 0xDF ? 2 : *p >= 0xF0 && *p <= 0xF4 ? 4 : 0;
    if (length == 0 || end - p < length) {
        return kMalformed;
    }
    char32_t c = *p & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            return kMalformed;
        }
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (c < (length == 2 ? 0x80 : 0x10000) || c > 0x10FFFF) {
        return kMalformed;
    }
    p += length;
    return c;
}
} // namespace

int decodeUtf8(QByteArrayView utf8, QString& text)
{
    text.resize(utf8.size()); // never fewer bytes than UTF-16 units
    QChar* out = text.data();
    int cells = 0;
    const auto* p = reinterpret_cast<const quint8*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        const char32_t c = nextCodePoint(p, end);
        if (c == kMalformed) {
            text = QString::fromUtf8(utf8);
            return displayCells(text);
        }
        if (c > 0xFFFF) {
            *out++ = QChar::highSurrogate(c);
            *out++ = QChar::lowSurrogate(c);
        } else {
            *out++ = QChar(char16_t(c));
        }
        cells += isWideChar(c) ? 2 : 1;
    }
    text.truncate(out - text.constData());
    return cells;
}

QString leftChars(const QString& text, int count)
{
    qsizetype i = 0;
    for (int taken = 0; taken < count && i < text.size(); ++taken) {
        codePointAt(text, i);
    }
    return text.left(i);
}

} // namespace brenvoll
