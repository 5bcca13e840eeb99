#include "Biff8Workbook.h"

#include "TextCells.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace brenvoll::biff8 {

namespace {

// Record types.
enum : quint16
{
    kBof = 0x0809,
    kEof = 0x000A,
    kCodepage = 0x0042,
    kWindow1 = 0x003D,
    kDatemode = 0x0022,
    kPrecision = 0x000E,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundsheet = 0x0085,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kExtsst = 0x00FF,
    kWsbool = 0x0081,
    kDefcolwidth = 0x0055,
    kColinfo = 0x007D,
    kDimensions = 0x0200,
    kRow = 0x0208,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kWindow2 = 0x023E,
};

// Largest record body; longer data goes on in CONTINUE records.
constexpr int kMaxBody = 8224;

constexpr quint16 kDefaultCellXf = 15;
constexpr quint16 kHeaderXf = 16;
// Index of the fifth FONT record: index 4 does not exist in BIFF.
constexpr quint16 kHeaderFont = 5;

class Record
{
public:
    explicit Record(quint16 type) : m_type(type) {}
    Record& u8(quint32 v)
    {
        m_body.append(char(v & 0xFF));
        return *this;
    }
    Record& u16(quint32 v)
    {
        char b[2];
        qToLittleEndian<quint16>(quint16(v), b);
        m_body.append(b, 2);
        return *this;
    }
    Record& u32(quint32 v)
    {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        m_body.append(b, 4);
        return *this;
    }
    Record& zeros(int count)
    {
        m_body.append(count, '\0');
        return *this;
    }
    // A name of at most 255 characters, 8-bit when every character allows it.
    Record& shortString(const QString& text)
    {
        u8(quint32(text.size()));
        appendChars(text);
        return *this;
    }
    void appendTo(QByteArray& out) const
    {
        char head[4];
        qToLittleEndian<quint16>(m_type, head);
        qToLittleEndian<quint16>(quint16(m_body.size()), head + 2);
        out.append(head, 4);
        out.append(m_body);
    }
    qsizetype size() const { return 4 + m_body.size(); }

private:
    void appendChars(const QString& text)
    {
        const bool wide = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
        u8(wide ? 1 : 0);
        for (const QChar c : text) {
            wide ? u16(c.unicode()) : u8(c.unicode());
        }
    }

    quint16 m_type;
    QByteArray m_body;
};

bool needsWideChars(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

void appendChars(QByteArray& out, QStringView text, bool wide)
{
    if (!wide) {
        const qsizetype at = out.size();
        out.resize(at + text.size());
        char* p = out.data() + at;
        for (const QChar c : text) {
            *p++ = char(c.unicode());
        }
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + 2 * text.size());
    qToLittleEndian<quint16>(text.utf16(), text.size(), out.data() + at);
}

// FNV-1a over the UTF-16 units: the table is private to one export, so a
// plain fast hash serves better than Qt's seeded one.
struct TextHash
{
    size_t operator()(const QString& text) const noexcept
    {
        quint64 h = 0xcbf29ce484222325ULL;
        for (const QChar c : text) {
            h = (h ^ c.unicode()) * 0x100000001b3ULL;
        }
        return size_t(h ^ (h >> 29));
    }
};

// Unique strings in order of first use, and how often cells refer to them.
class StringTable
{
public:
    void reserve(size_t count) { m_index.reserve(count); }

    quint32 add(const QString& text)
    {
        ++m_references;
        const auto [it, added] = m_index.try_emplace(text, quint32(m_strings.size()));
        if (added) {
            m_strings.push_back(text);
        }
        return it->second;
    }

    // The SST record with its CONTINUE records, for a stream offset of
    // `start`, and the EXTSST record that indexes it.
    void write(qint64 start, QByteArray& out) const
    {
        const quint32 unique = quint32(m_strings.size());
        const quint32 perBucket = std::max<quint32>(unique / 128 + 1, 8);
        Record extsst(kExtsst);
        extsst.u16(perBucket);

        QByteArray body;
        body.reserve(kMaxBody);
        quint16 type = kSst;
        const qsizetype sstAt = out.size();
        auto flush = [&] {
            char head[4];
            qToLittleEndian<quint16>(type, head);
            qToLittleEndian<quint16>(quint16(body.size()), head + 2);
            out.append(head, 4);
            out.append(body);
            body.clear();
            type = kContinue;
        };
        auto put32 = [&body](quint32 v) {
            char b[4];
            qToLittleEndian<quint32>(v, b);
            body.append(b, 4);
        };
        put32(m_references);
        put32(unique);

        for (quint32 i = 0; i < unique; ++i) {
            const QString& text = m_strings[i];
            const bool wide = needsWideChars(text);
            const int unit = wide ? 2 : 1;
            // The header and the first character share a record; a surrogate
            // pair is kept whole.
            if (body.size() + 3 + 2 * unit > kMaxBody) {
                flush();
            }
            if (i % perBucket == 0) {
                extsst.u32(quint32(start + (out.size() - sstAt) + 4 + body.size()));
                extsst.u16(quint16(4 + body.size()));
                extsst.u16(0);
            }
            char head[3];
            qToLittleEndian<quint16>(quint16(text.size()), head);
            head[2] = char(wide ? 1 : 0);
            body.append(head, 3);
            qsizetype done = 0;
            for (;;) {
                qsizetype take = std::min<qsizetype>((kMaxBody - body.size()) / unit, text.size() - done);
                if (take > 0 && done + take < text.size() && text[done + take - 1].isHighSurrogate()) {
                    --take;
                }
                appendChars(body, QStringView(text).mid(done, take), wide);
                done += take;
                if (done == text.size()) {
                    break;
                }
                flush();
                body.append(char(wide ? 1 : 0));
            }
        }
        flush();
        extsst.appendTo(out);
    }

private:
    std::unordered_map<QString, quint32, TextHash> m_index;
    std::vector<QString> m_strings;
    quint32 m_references = 0;
};

void appendCell(QByteArray& out, quint16 type, quint16 row, quint16 column, quint16 xf, const char* value,
                int valueSize)
{
    char b[18];
    qToLittleEndian<quint16>(type, b);
    qToLittleEndian<quint16>(quint16(6 + valueSize), b + 2);
    qToLittleEndian<quint16>(row, b + 4);
    qToLittleEndian<quint16>(column, b + 6);
    qToLittleEndian<quint16>(xf, b + 8);
    std::memcpy(b + 10, value, size_t(valueSize));
    out.append(b, 10 + valueSize);
}

void appendText(QByteArray& out, quint16 row, quint16 column, quint16 xf, quint32 sstIndex)
{
    char v[4];
    qToLittleEndian<quint32>(sstIndex, v);
    appendCell(out, kLabelSst, row, column, xf, v, 4);
}

void appendNumber(QByteArray& out, quint16 row, quint16 column, double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, 8);
    char v[8];
    qToLittleEndian<quint64>(bits, v);
    appendCell(out, kNumber, row, column, kDefaultCellXf, v, 8);
}

Record bof(quint16 kind)
{
    Record r(kBof);
    r.u16(0x0600).u16(kind).u16(0x0DBB).u16(0x07CC).u32(0).u32(6);
    return r;
}

// One worksheet: header row, then rows [first, first + count).
QByteArray sheetStream(const QStringList& header, const std::vector<QStringList>& rows, qsizetype first,
                       qsizetype count, bool active, StringTable& strings, qsizetype& cutCells,
                       const std::function<void()>& tick)
{
    // A longer string would overflow its 16-bit length in the string table.
    auto fitted = [&cutCells](const QString& text) {
        QString cell = cellText(text);
        cutCells += cell.size() < text.size() ? 1 : 0;
        return cell;
    };
    const int columns = int(header.size());
    std::vector<double> widths(size_t(columns), 0.0);
    QByteArray cells;
    cells.reserve(qsizetype(count * columns * 14 + 64));

    // The header row is taller for its 11 pt bold font (300 twips, set by hand).
    Record(kRow)
        .u16(0)
        .u16(0)
        .u16(quint16(columns))
        .u16(300)
        .u16(0)
        .u16(0)
        .u32(0x0140 | (kDefaultCellXf << 16))
        .appendTo(cells);
    for (int c = 0; c < columns; ++c) {
        const QString text = fitted(header[c]);
        appendText(cells, 0, quint16(c), kHeaderXf, strings.add(text));
        // Bold 11 pt is a little wider than the body's 10 pt.
        widths[size_t(c)] = displayCells(text) * 1.2;
    }
    for (qsizetype k = 0; k < count; ++k) {
        const QStringList& row = rows[size_t(first + k)];
        const quint16 r = quint16(k + 1);
        for (int c = 0; c < columns && c < row.size(); ++c) {
            if (row[c].isEmpty()) {
                continue;
            }
            const QString text = fitted(row[c]);
            if (const auto number = numberOf(text)) {
                appendNumber(cells, r, quint16(c), *number);
            } else {
                appendText(cells, r, quint16(c), kDefaultCellXf, strings.add(text));
            }
            widths[size_t(c)] = std::max(widths[size_t(c)], double(displayCells(text)));
        }
        if ((k & 0x0FFF) == 0x0FFF) {
            tick();
        }
    }

    QByteArray out;
    out.reserve(cells.size() + 512);
    bof(0x0010).appendTo(out);
    Record(kWsbool).u16(0x04C1).appendTo(out);
    Record(kDefcolwidth).u16(8).appendTo(out);
    for (int c = 0; c < columns; ++c) {
        Record(kColinfo)
            .u16(quint16(c))
            .u16(quint16(c))
            .u16(quint16(columnWidthUnits(widths[size_t(c)])))
            .u16(kDefaultCellXf)
            .u16(0x0002)
            .u16(0)
            .appendTo(out);
    }
    Record(kDimensions).u32(0).u32(quint32(count + 1)).u16(0).u16(quint16(columns)).u16(0).appendTo(out);
    out.append(cells);
    Record(kWindow2).u16(active ? 0x06B6 : 0x00B6).u16(0).u16(0).u32(0x40).u16(0).u16(0).u32(0).appendTo(out);
    Record(kEof).appendTo(out);
    return out;
}

void appendFont(QByteArray& out, quint16 height, bool bold, bool italic)
{
    Record(kFont)
        .u16(height)
        // Bit 0 repeats the weight for readers that take boldness from it.
        .u16((bold ? 0x0001 : 0) | (italic ? 0x0002 : 0))
        .u16(0x7FFF)
        .u16(bold ? 700 : 400)
        .u16(0)
        .u8(0)
        .u8(0)
        .u8(0)
        .u8(0)
        .shortString(QStringLiteral("Arial"))
        .appendTo(out);
}

void appendXf(QByteArray& out, quint16 font, bool style, quint8 usedAttributes)
{
    Record(kXf)
        .u16(font)
        .u16(0)                       // General
        .u16(style ? 0xFFF5 : 0x0001) // style XF, or cell XF locked with parent style 0
        .u8(0x20)                     // bottom aligned
        .u8(0)                        // no rotation
        .u8(0)                        // no indent
        .u8(usedAttributes)
        .u32(0)      // no borders
        .u32(0)      // border colours, no fill pattern
        .u16(0x20C0) // automatic pattern colours
        .appendTo(out);
}

// Everything of the globals before BOUNDSHEET.
QByteArray globalsHead()
{
    QByteArray out;
    bof(0x0005).appendTo(out);
    Record(kCodepage).u16(0x04B0).appendTo(out);
    Record(kWindow1)
        .u16(0x01E0)
        .u16(0x005A)
        .u16(0x3FCF)
        .u16(0x2A4E)
        .u16(0x0038)
        .u16(0)
        .u16(0)
        .u16(1)
        .u16(600)
        .appendTo(out);
    Record(kDatemode).u16(0).appendTo(out);
    Record(kPrecision).u16(1).appendTo(out);
    appendFont(out, 200, false, false);
    appendFont(out, 200, true, false);
    appendFont(out, 200, false, true);
    appendFont(out, 200, true, true);
    appendFont(out, 220, true, false); // referenced as font 5: the header
    appendXf(out, 0, true, 0x00);
    for (int i = 1; i < 15; ++i) {
        appendXf(out, i <= 2 ? quint16(i) : 0, true, 0xF4);
    }
    appendXf(out, 0, false, 0x00);
    appendXf(out, kHeaderFont, false, 0x08);
    Record(kStyle).u16(0x8000).u8(0).u8(0xFF).appendTo(out);
    return out;
}

} // namespace

std::optional<double> numberOf(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = (n > 0 && text[0] == u'-') ? 1 : 0;
    const qsizetype intStart = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        ++i;
    }
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == u'0')) {
        return std::nullopt;
    }
    qsizetype fracDigits = 0;
    if (i < n && text[i] == u'.') {
        const qsizetype fracStart = ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
        }
        fracDigits = i - fracStart;
        if (fracDigits == 0 || text[i - 1] == u'0') {
            return std::nullopt;
        }
    }
    if (i != n || intDigits + fracDigits > 11 || text == QLatin1String("-0")) {
        return std::nullopt;
    }
    return text.toDouble();
}

QString cellText(const QString& text)
{
    if (text.size() <= kMaxCellUnits) {
        return text;
    }
    const bool splitsPair = text[kMaxCellUnits - 1].isHighSurrogate() && text[kMaxCellUnits].isLowSurrogate();
    return text.left(splitsPair ? kMaxCellUnits - 1 : kMaxCellUnits);
}

int columnWidthUnits(double cells)
{
    const double pixels = std::floor(7.0 * std::max(cells, 0.0)) + 5.0;
    return int(std::min(pixels * 256.0 / 7.0, 255.0 * 256.0));
}

QByteArray workbookStream(const QStringList& header, const std::vector<QStringList>& rows,
                          const Progress& progress, qsizetype* cutCells)
{
    qsizetype cut = 0;
    const qsizetype total = qsizetype(rows.size());
    const qsizetype sheetCount = std::max<qsizetype>(1, (total + kRowsPerSheet - 1) / kRowsPerSheet);
    qsizetype done = 0;
    auto tick = [&] {
        done += 0x1000;
        if (progress) {
            progress(std::min(done, total), total);
        }
    };

    StringTable strings;
    strings.reserve(std::min<size_t>(size_t(total) * size_t(header.size()), 1u << 22));
    std::vector<QByteArray> sheets;
    std::vector<QString> names;
    for (qsizetype s = 0; s < sheetCount; ++s) {
        const qsizetype first = s * kRowsPerSheet;
        const qsizetype count = std::min<qsizetype>(kRowsPerSheet, total - first);
        sheets.push_back(sheetStream(header, rows, first, count, s == 0, strings, cut, tick));
        names.push_back(QStringLiteral("Sheet%1").arg(s + 1));
    }

    // BOUNDSHEET records carry the stream offsets of the sheets, which follow
    // the globals: lay the globals out with placeholders, then fill them in.
    QByteArray globals = globalsHead();
    std::vector<qsizetype> offsetAt;
    for (const QString& name : names) {
        offsetAt.push_back(globals.size() + 4);
        Record(kBoundsheet).u32(0).u8(0).u8(0).shortString(name).appendTo(globals);
    }
    strings.write(globals.size(), globals);
    Record(kEof).appendTo(globals);

    qsizetype sheetAt = globals.size();
    for (size_t s = 0; s < sheets.size(); ++s) {
        qToLittleEndian<quint32>(quint32(sheetAt), globals.data() + offsetAt[s]);
        sheetAt += sheets[s].size();
    }
    QByteArray stream;
    stream.reserve(sheetAt);
    stream.append(globals);
    for (const QByteArray& sheet : sheets) {
        stream.append(sheet);
    }
    if (progress) {
        progress(total, total);
    }
    if (cutCells) {
        *cutCells = cut;
    }
    return stream;
}

} // namespace brenvoll::biff8
