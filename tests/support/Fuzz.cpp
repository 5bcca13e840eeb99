#include "Fuzz.h"

#include "storage/Database.h"

#include <QSqlQuery>
#include <QTest>

namespace brenvoll::test {

namespace {

qint64 g_tried = 0;

// Texts that have broken programs that splice input into SQL or patterns.
const QStringList& sqlPieces()
{
    static const QStringList pieces = {
        QStringLiteral("'"),
        QStringLiteral("''"),
        QStringLiteral("\""),
        QStringLiteral(";"),
        QStringLiteral("--"),
        QStringLiteral("/*"),
        QStringLiteral("*/"),
        QStringLiteral("%"),
        QStringLiteral("_"),
        QStringLiteral("\\"),
        QStringLiteral("["),
        QStringLiteral("]"),
        QStringLiteral("#"),
        QStringLiteral("?"),
        QStringLiteral(":name"),
        QStringLiteral("@p"),
        QStringLiteral("$1"),
        QStringLiteral("||"),
        QStringLiteral("%%_%"),
        QStringLiteral("\\%"),
        QStringLiteral("NULL"),
        QStringLiteral("x'00'"),
        QStringLiteral("' OR '1'='1"),
        QStringLiteral("' or 1=1 --"),
        QStringLiteral("'); DROP TABLE 档案; --"),
        QStringLiteral("'; delete from 设置; --"),
        QStringLiteral("\"; delete from 词库; --"),
        QStringLiteral("' union select 密码, 路径, 左边距 from 设置 --"),
        QStringLiteral("#2016-01-01# or #1=1#"),
        QStringLiteral("]; drop table [档案"),
        QStringLiteral("'||(select 密码 from 设置)||'"),
        QStringLiteral("PRAGMA writable_schema=1;"),
        QStringLiteral("ATTACH DATABASE '/tmp/x' AS x;"),
    };
    return pieces;
}

const QStringList& specialPieces()
{
    static const QStringList pieces = {
        QString(QChar(0xFEFF)), // byte order mark
        QString(QChar(0xFFFE)), // non-character
        QString(QChar(0xFFFF)), // non-character
        QString(QChar(0x200B)), // zero width space
        QString(QChar(0x202E)), // right-to-left override
        QString(QChar(0x0301)), // combining acute
        QString(QChar(0x00A0)), // no-break space
        QString(QChar(0x3000)), // ideographic space
        QString(QChar(0x2028)), // line separator
        QString(QChar(0xFFFD)), // replacement character
        QStringLiteral("\r\n"),
        QStringLiteral("\t"),
        QStringLiteral(" "),
        QStringLiteral("未见异常"),
        QStringLiteral("体检日期：２０１６－０１－０３"),
        QStringLiteral("𠀀𪚥😀"), // beyond the BMP
        QStringLiteral("Ω≈ç√∫µ≤≥"),
        QStringLiteral("ﾃｽﾄ"),
        QStringLiteral("שלום"),
        QStringLiteral("Z̤͔ͧ̑̓ä͖̭̈"),
    };
    return pieces;
}

} // namespace

FuzzText::FuzzText(quint32 seed) : m_rng(seed) {}

QChar FuzzText::randomUnit()
{
    return QChar(char16_t(m_rng.bounded(0x10000u)));
}

QString FuzzText::piece()
{
    QString text;
    switch (m_rng.bounded(10u)) {
    case 0: // any UTF-16 units, lone surrogate halves included
        for (int i = 0, n = 1 + bounded(12); i < n; ++i) {
            text += randomUnit();
        }
        break;
    case 1: { // control characters, NUL among them
        static const char16_t controls[] = {0x00, 0x01, 0x07, 0x08, 0x0A, 0x0D,
                                            0x1A, 0x1B, 0x1F, 0x7F, 0x85, 0x9F};
        for (int i = 0, n = 1 + bounded(4); i < n; ++i) {
            text += QChar(controls[bounded(std::size(controls))]);
        }
        break;
    }
    case 2:
    case 3:
        text = sqlPieces()[bounded(int(sqlPieces().size()))];
        break;
    case 4: // Chinese text
        for (int i = 0, n = 1 + bounded(20); i < n; ++i) {
            text += QChar(char16_t(0x4E00 + m_rng.bounded(0x5200u)));
        }
        break;
    case 5: { // a character beyond the BMP, as its surrogate pair
        const char32_t ucs = 0x10000 + m_rng.bounded(0x100000u);
        text = QString::fromUcs4(&ucs, 1);
        break;
    }
    case 6: { // unpaired or reversed surrogate halves
        const QChar high(char16_t(0xD800 + m_rng.bounded(0x400u)));
        const QChar low(char16_t(0xDC00 + m_rng.bounded(0x400u)));
        switch (bounded(3)) {
        case 0:
            text = QString(high) + QChar(u'a');
            break;
        case 1:
            text = QString(low);
            break;
        default:
            text = QString(low) + high;
            break;
        }
        break;
    }
    case 7:
        text = specialPieces()[bounded(int(specialPieces().size()))];
        break;
    case 8: // printable ASCII
        for (int i = 0, n = 1 + bounded(16); i < n; ++i) {
            text += QChar(char16_t(0x20 + m_rng.bounded(0x5Fu)));
        }
        break;
    default: // digits and the separators of dates and margins
        for (int i = 0, n = 1 + bounded(10); i < n; ++i) {
            static const char16_t chars[] = u"0123456789-./ +e";
            text += QChar(chars[bounded(std::size(chars) - 1)]);
        }
        break;
    }
    return text;
}

QString FuzzText::next(int maxLength)
{
    const int shape = bounded(60);
    if (shape == 0) {
        return {};
    }
    if (shape == 1 && maxLength > 16) {
        // A very long text: one piece repeated, or Chinese text.
        const int length = maxLength / 4 + bounded(maxLength - maxLength / 4);
        QString unit = piece();
        if (unit.isEmpty()) {
            unit = QStringLiteral("长");
        }
        QString text;
        text.reserve(length + unit.size());
        while (text.size() < length) {
            text += unit;
        }
        text.truncate(length);
        if (text.size() > 0 && text.back().isHighSurrogate() && unit.size() > 1) {
            text.chop(1); // keep pairs whole where the unit had them whole
        }
        return text;
    }
    QString text;
    for (int i = 0, n = 1 + bounded(8); i < n; ++i) {
        text += piece();
    }
    return text.left(maxLength);
}

QString FuzzText::nextDate()
{
    const int year = bounded(10000);
    const int month = bounded(14);
    const int day = bounded(33);
    static const char16_t separators[] = u"-/.";
    const QChar sep(separators[bounded(3)]);
    switch (bounded(8)) {
    case 0:
    case 1:
        return QStringLiteral("%1-%2-%3")
            .arg(year, 4, 10, QChar(u'0'))
            .arg(month, 2, 10, QChar(u'0'))
            .arg(day, 2, 10, QChar(u'0'));
    case 2:
        return QString::number(year) + sep + QString::number(month) + sep + QString::number(day);
    case 3: {
        static const QStringList edges = {
            QStringLiteral("2016-02-29"),         QStringLiteral("2015-02-29"),
            QStringLiteral("0000-00-00"),         QStringLiteral("9999-12-31"),
            QStringLiteral("2016-13-45"),         QStringLiteral(" 2016-01-03 "),
            QStringLiteral("２０１６-０１-０３"), QStringLiteral("2016-1-3"),
            QStringLiteral("abcd-efghi"),         QStringLiteral("99999999999999999999-1-1"),
            QStringLiteral("-1--1--1"),           QStringLiteral("2016-01-03'"),
            QStringLiteral("2016-01-03#"),        QStringLiteral("#2016-01-03#"),
            QStringLiteral("2016-01-03 or 1=1"),
        };
        return edges[bounded(int(edges.size()))];
    }
    default:
        return next(200);
    }
}

void fuzzInputs(quint32 seed, int count, const std::function<void(FuzzText& fuzz, int index)>& body)
{
    FuzzText fuzz(seed);
    for (int i = 0; i < count; ++i) {
        body(fuzz, i);
        ++g_tried;
        if (QTest::currentTestFailed()) {
            qWarning("bad-input case failed at input %d of seed %u", i, seed);
            return;
        }
    }
}

qint64 fuzzInputsTried()
{
    return g_tried;
}

void countFuzzInputs(qint64 n)
{
    g_tried += n;
}

QString storedForm(const QString& text)
{
    QString out = text;
    while (out.startsWith(QChar(char16_t(0xFEFF)))) {
        out.remove(0, 1);
    }
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar ch = out[i];
        if (ch.isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
            ++i;
        } else if (ch.isSurrogate() || ch == QChar(char16_t(0xFFFE)) || ch == QChar(char16_t(0xFFFF))) {
            out[i] = QChar::ReplacementCharacter;
        }
    }
    return out;
}

TableState tableState()
{
    TableState state;
    for (const QString& table : {QStringLiteral("档案"), QStringLiteral("设置"), QStringLiteral("词库")}) {
        QSqlQuery query(Database::connection());
        state.rows[table] = query.exec(QStringLiteral("select count(*) from ") + table) && query.next()
                                ? query.value(0).toLongLong()
                                : -1;
    }
    QSqlQuery schema(Database::connection());
    if (schema.exec(QStringLiteral("select group_concat(type || ' ' || name || ' ' || ifnull(sql, ''), "
                                   "char(10)) from (select * from sqlite_master order by name)")) &&
        schema.next()) {
        state.schema = schema.value(0).toString();
    }
    return state;
}

QString describeText(const QString& text)
{
    QString out = QStringLiteral("%1 units: ").arg(text.size());
    for (qsizetype i = 0; i < text.size() && i < 40; ++i) {
        const QChar ch = text[i];
        if (ch.unicode() >= 0x20 && ch.unicode() < 0x7F) {
            out += ch;
        } else {
            out += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QChar(u'0'));
        }
    }
    return out;
}

} // namespace brenvoll::test
