#include "Biff8Workbook.h"

#include "TextCells.h"
#include "base/PackedTexts.h"

#include <QHashFunctions>
#include <QSysInfo>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <utility>

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
    template <typename Out> void appendTo(Out& out) const
    {
        char head[4];
        qToLittleEndian<quint16>(m_type, head);
        qToLittleEndian<quint16>(quint16(m_body.size()), head + 2);
        out.append(head, 4);
        out.append(m_body.constData(), m_body.size());
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

// The characters at `out`, 8 or 16 bits each; returns the end.
char* putChars(char* out, QStringView text, bool wide)
{
    if (!wide) {
        for (const QChar c : text) {
            *out++ = char(c.unicode());
        }
        return out;
    }
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        std::memcpy(out, text.utf16(), size_t(2 * text.size()));
    } else {
        qToLittleEndian<quint16>(text.utf16(), text.size(), out);
    }
    return out + 2 * text.size();
}

// Distinct texts in order of first use, and how often cells refer to them.
// An export of a million records can hold a million distinct texts: they are
// packed as UTF-8 and found again through an open-addressed table of their
// hashes. Each new text is encoded into the SST records at once, while the
// rows are still being read; only the counts and the EXTSST index, which
// depend on the whole table, wait for the end.
class StringTable
{
public:
    struct Entry
    {
        quint32 index; // in the table
        quint32 cells; // display width in half-width cells
    };

    StringTable() { m_end = m_body + 8; } // the counts, filled in at the end
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    // The hash of a text, its slot fetched ahead of add(): the table of a
    // long export outgrows the processor's caches, and the slots of a row's
    // texts are better fetched together than one after another.
    quint32 hashOf(QByteArrayView text) const
    {
        const auto hash = quint32(qHashBits(text.data(), size_t(text.size()), 0));
#if defined(__GNUC__)
        if (!m_slots.empty()) {
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
        }
#endif
        return hash;
    }

    Entry add(QByteArrayView text, quint32 hash)
    {
        ++m_references;
        if (2 * (m_texts.size() + 1) > qsizetype(m_slots.size())) {
            grow();
        }
        const size_t mask = m_slots.size() - 1;
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = m_slots[at];
            if (slot.indexPlusOne == 0) {
                slot = {hash, quint32(m_texts.size() + 1)};
                m_texts.append({text});
                m_cells.push_back(quint32(encode(text)));
                return {slot.indexPlusOne - 1, m_cells.back()};
            }
            if (slot.hash == hash && m_texts.text(slot.indexPlusOne - 1, 0) == text) {
                return {slot.indexPlusOne - 1, m_cells[slot.indexPlusOne - 1]};
            }
        }
    }

    // Ends the SST records, for a stream offset of `start`, and returns them
    // (they stay here); appends the EXTSST record that indexes them to `out`.
    QByteArrayView write(qint64 start, QByteArray& out)
    {
        const auto unique = quint32(m_texts.size());
        qToLittleEndian<quint32>(m_references, m_records.isEmpty() ? m_body : m_records.data() + 4);
        qToLittleEndian<quint32>(unique, m_records.isEmpty() ? m_body + 4 : m_records.data() + 8);
        flush();
        const quint32 perBucket = std::max<quint32>(unique / 128 + 1, 8);
        Record extsst(kExtsst);
        extsst.u16(perBucket);
        for (quint32 i = 0; i < unique; i += perBucket) {
            extsst.u32(quint32(start + m_starts[i].inSst));
            extsst.u16(m_starts[i].inRecord);
            extsst.u16(0);
        }
        extsst.appendTo(out);
        return m_records;
    }

private:
    struct Slot
    {
        quint32 hash = 0;
        quint32 indexPlusOne = 0; // 0: free
    };
    // Where a text's entry starts: from the SST's first byte, and from its
    // record's, headers included.
    struct Start
    {
        quint32 inSst;
        quint16 inRecord;
    };

    qsizetype used() const
    {
        return m_end - m_body;
    }

    void flush()
    {
        char head[4];
        qToLittleEndian<quint16>(m_records.isEmpty() ? kSst : kContinue, head);
        qToLittleEndian<quint16>(quint16(used()), head + 2);
        m_records.append(head, 4);
        m_records.append(m_body, used());
        m_end = m_body;
    }

    // Adds the text's entry to the records; returns its display width.
    int encode(QByteArrayView utf8)
    {
        // Most texts of a report are plain ASCII (numbers, codes): their
        // bytes are their 8-bit characters.
        const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return quint8(c) < 0x80; });
        const int cells = ascii ? int(utf8.size()) : decodeUtf8(utf8, m_text);
        const qsizetype length = ascii ? utf8.size() : m_text.size();
        const bool wide = !ascii && needsWideChars(m_text);
        const qsizetype unit = wide ? 2 : 1;
        // The header and the first character share a record; a surrogate
        // pair is kept whole.
        if (used() + 3 + 2 * unit > kMaxBody) {
            flush();
        }
        m_starts.push_back({quint32(m_records.size() + 4 + used()), quint16(4 + used())});
        qToLittleEndian<quint16>(quint16(length), m_end);
        m_end[2] = char(wide ? 1 : 0);
        m_end += 3;
        qsizetype done = 0;
        for (;;) {
            qsizetype take = std::min<qsizetype>((kMaxBody - used()) / unit, length - done);
            if (ascii) {
                std::memcpy(m_end, utf8.data() + done, size_t(take));
                m_end += take;
            } else {
                if (take > 0 && done + take < length && m_text[done + take - 1].isHighSurrogate()) {
                    --take;
                }
                m_end = putChars(m_end, QStringView(m_text).mid(done, take), wide);
            }
            done += take;
            if (done == length) {
                break;
            }
            flush();
            *m_end++ = char(wide ? 1 : 0);
        }
        return cells;
    }

    void grow()
    {
        std::vector<Slot> table(std::max<size_t>(1024, 2 * m_slots.size()));
        const size_t mask = table.size() - 1;
        for (const Slot& slot : m_slots) {
            if (slot.indexPlusOne != 0) {
                size_t at = slot.hash & mask;
                while (table[at].indexPlusOne != 0) {
                    at = (at + 1) & mask;
                }
                table[at] = slot;
            }
        }
        m_slots = std::move(table);
    }

    PackedTexts m_texts;
    // Per text; deques grow without moving what they hold.
    std::deque<quint32> m_cells;
    std::vector<Slot> m_slots;
    quint32 m_references = 0;
    // The SST and CONTINUE records so far, and the one being filled.
    QByteArray m_records;
    char m_body[kMaxBody];
    char* m_end = nullptr;
    std::deque<Start> m_starts;
    QString m_text; // the text being encoded, decoded
};

// A sheet's cell records. Room for the most a sheet can hold is taken at
// once, so that the records are never moved; only what is written takes
// memory.
class CellBuffer
{
public:
    explicit CellBuffer(qsizetype capacity = 0)
        : m_data(std::make_unique_for_overwrite<char[]>(size_t(capacity))), m_capacity(capacity)
    {
    }
    void append(const char* bytes, qsizetype size)
    {
        Q_ASSERT(m_size + size <= m_capacity);
        std::memcpy(m_data.get() + m_size, bytes, size_t(size));
        m_size += size;
    }
    QByteArrayView view() const { return {m_data.get(), m_size}; }

private:
    std::unique_ptr<char[]> m_data;
    qsizetype m_capacity = 0;
    qsizetype m_size = 0;
};

void appendCell(CellBuffer& out, quint16 type, quint16 row, quint16 column, quint16 xf, const char* value,
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

void appendText(CellBuffer& out, quint16 row, quint16 column, quint16 xf, quint32 sstIndex)
{
    char v[4];
    qToLittleEndian<quint32>(sstIndex, v);
    appendCell(out, kLabelSst, row, column, xf, v, 4);
}

void appendNumber(CellBuffer& out, quint16 row, quint16 column, double value)
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

std::optional<double> numberOf(QByteArrayView text)
{
    const qsizetype n = text.size();
    qsizetype i = (n > 0 && text[0] == '-') ? 1 : 0;
    const qsizetype intStart = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        ++i;
    }
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == '0')) {
        return std::nullopt;
    }
    qsizetype fracDigits = 0;
    if (i < n && text[i] == '.') {
        const qsizetype fracStart = ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        fracDigits = i - fracStart;
        if (fracDigits == 0 || text[i - 1] == '0') {
            return std::nullopt;
        }
    }
    if (i != n || intDigits + fracDigits > 11 || text == "-0") {
        return std::nullopt;
    }
    if (fracDigits == 0) {
        // At most 11 digits: exact in a double, no parsing needed.
        qint64 value = 0;
        for (qsizetype k = intStart; k < n; ++k) {
            value = 10 * value + (text[k] - '0');
        }
        return double(intStart == 1 ? -value : value);
    }
    double value = 0;
    std::from_chars(text.data(), text.data() + n, value);
    return value;
}

std::optional<double> numberOf(const QString& text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    return ascii ? numberOf(QByteArrayView(text.toLatin1())) : std::nullopt;
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

struct WorkbookStream::Builder
{
    struct Sheet
    {
        QByteArray head; // BOF to DIMENSIONS
        CellBuffer cells;
        QByteArray tail; // WINDOW2 and EOF
    };

    struct Pending
    {
        QByteArrayView text;
        QByteArray storage; // a text cut to what a cell holds
        std::optional<double> number;
        quint32 hash = 0;
    };

    std::vector<QByteArray> header;
    std::vector<Pending> pending; // one per column
    StringTable strings;
    std::vector<Sheet> sheets;
    QByteArray globals;    // up to the SST
    QByteArray globalsEnd; // after it
    // The sheet being filled.
    CellBuffer cells;
    std::vector<double> widths;
    qsizetype rows = 0;
    qsizetype cut = 0;

    // A longer string would overflow its 16-bit length in the string table.
    QByteArrayView fitted(QByteArrayView text, QByteArray& storage)
    {
        // Each UTF-16 unit takes at least one byte.
        if (text.size() <= kMaxCellUnits) {
            return text;
        }
        const QString whole = QString::fromUtf8(text);
        const QString cell = cellText(whole);
        cut += cell.size() < whole.size() ? 1 : 0;
        storage = cell.toUtf8();
        return storage;
    }

    void startSheet()
    {
        const auto columns = int(header.size());
        rows = 0;
        widths.assign(size_t(columns), 0.0);
        // The header's ROW record and cells, then at most 18 bytes a cell.
        cells = CellBuffer(20 + qsizetype(columns) * (14 + qsizetype(kRowsPerSheet) * 18));
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
            QByteArray storage;
            const QByteArrayView fit = fitted(header[size_t(c)], storage);
            const StringTable::Entry text = strings.add(fit, strings.hashOf(fit));
            appendText(cells, 0, quint16(c), kHeaderXf, text.index);
            // Bold 11 pt is a little wider than the body's 10 pt.
            widths[size_t(c)] = text.cells * 1.2;
        }
    }

    void addRow(std::span<const QByteArrayView> row)
    {
        if (rows == kRowsPerSheet) {
            endSheet();
            startSheet();
        }
        const auto r = quint16(++rows);
        const size_t columns = std::min(row.size(), header.size());
        // First every cell's kind, the slots of its texts fetched; then the cells.
        for (size_t c = 0; c < columns; ++c) {
            Pending& cell = pending[c];
            cell.text = row[c].isEmpty() ? row[c] : fitted(row[c], pending[c].storage);
            cell.number = cell.text.isEmpty() ? std::nullopt : numberOf(cell.text);
            cell.hash = cell.text.isEmpty() || cell.number ? 0 : strings.hashOf(cell.text);
        }
        for (size_t c = 0; c < columns; ++c) {
            const Pending& cell = pending[c];
            if (cell.text.isEmpty()) {
                continue;
            }
            double cellsWide = 0;
            if (cell.number) {
                appendNumber(cells, r, quint16(c), *cell.number);
                cellsWide = double(cell.text.size());
            } else {
                const StringTable::Entry entry = strings.add(cell.text, cell.hash);
                appendText(cells, r, quint16(c), kDefaultCellXf, entry.index);
                cellsWide = entry.cells;
            }
            widths[c] = std::max(widths[c], cellsWide);
        }
    }

    void endSheet()
    {
        const bool active = sheets.empty();
        const auto columns = int(header.size());
        Sheet sheet;
        bof(0x0010).appendTo(sheet.head);
        Record(kWsbool).u16(0x04C1).appendTo(sheet.head);
        Record(kDefcolwidth).u16(8).appendTo(sheet.head);
        for (int c = 0; c < columns; ++c) {
            Record(kColinfo)
                .u16(quint16(c))
                .u16(quint16(c))
                .u16(quint16(columnWidthUnits(widths[size_t(c)])))
                .u16(kDefaultCellXf)
                .u16(0x0002)
                .u16(0)
                .appendTo(sheet.head);
        }
        Record(kDimensions)
            .u32(0)
            .u32(quint32(rows + 1))
            .u16(0)
            .u16(quint16(columns))
            .u16(0)
            .appendTo(sheet.head);
        sheet.cells = std::move(cells);
        Record(kWindow2)
            .u16(active ? 0x06B6 : 0x00B6)
            .u16(0)
            .u16(0)
            .u32(0x40)
            .u16(0)
            .u16(0)
            .u32(0)
            .appendTo(sheet.tail);
        Record(kEof).appendTo(sheet.tail);
        sheets.push_back(std::move(sheet));
    }
};

WorkbookStream::WorkbookStream(const QStringList& header) : d(std::make_unique<Builder>())
{
    for (const QString& text : header) {
        d->header.push_back(text.toUtf8());
    }
    d->pending.resize(d->header.size());
    d->startSheet();
}

WorkbookStream::~WorkbookStream() = default;

void WorkbookStream::addRow(std::span<const QByteArrayView> cells)
{
    d->addRow(cells);
}

qsizetype WorkbookStream::cutCells() const
{
    return d->cut;
}

std::vector<QByteArrayView> WorkbookStream::finish()
{
    d->endSheet();
    // BOUNDSHEET records carry the stream offsets of the sheets, which follow
    // the globals: lay the globals out with placeholders, then fill them in.
    QByteArray& globals = d->globals;
    globals = globalsHead();
    std::vector<qsizetype> offsetAt;
    for (size_t s = 0; s < d->sheets.size(); ++s) {
        offsetAt.push_back(globals.size() + 4);
        Record(kBoundsheet)
            .u32(0)
            .u8(0)
            .u8(0)
            .shortString(QStringLiteral("Sheet%1").arg(s + 1))
            .appendTo(globals);
    }
    // The SST records stay where they were built, between the two parts.
    QByteArray& globalsEnd = d->globalsEnd;
    const QByteArrayView sst = d->strings.write(globals.size(), globalsEnd);
    Record(kEof).appendTo(globalsEnd);

    qsizetype sheetAt = globals.size() + sst.size() + globalsEnd.size();
    for (size_t s = 0; s < d->sheets.size(); ++s) {
        const Builder::Sheet& sheet = d->sheets[s];
        qToLittleEndian<quint32>(quint32(sheetAt), globals.data() + offsetAt[s]);
        sheetAt += sheet.head.size() + sheet.cells.view().size() + sheet.tail.size();
    }
    std::vector<QByteArrayView> parts{globals, sst, globalsEnd};
    for (const Builder::Sheet& sheet : d->sheets) {
        parts.insert(parts.end(), {sheet.head, sheet.cells.view(), sheet.tail});
    }
    return parts;
}

} // namespace brenvoll::biff8
