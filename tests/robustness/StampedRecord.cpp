#include "StampedRecord.h"

#include <QRandomGenerator>

namespace brenvoll::robust {

namespace {

// A hash that is the same in every process (qHash is seeded per process).
quint64 fnv1a(const QString& text)
{
    quint64 hash = 14695981039346656037ull;
    for (const QChar ch : text) {
        hash ^= ch.unicode();
        hash *= 1099511628211ull;
    }
    return hash;
}

QString derivedText(QRandomGenerator& rng, int length)
{
    static const QString ascii = QStringLiteral("ABCxyz0123456789 .,;:-+/()%_'\"");
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i) {
        const quint32 kind = rng.bounded(10u);
        if (kind < 6) {
            text += QChar(char16_t(0x4E00 + rng.bounded(0x5000u)));
        } else if (kind < 9) {
            text += ascii[int(rng.bounded(quint32(ascii.size())))];
        } else {
            text += QChar(u'\n');
        }
    }
    return text;
}

} // namespace

ExamRecord stampedRecord(const QString& key, const QString& stamp)
{
    QRandomGenerator rng(quint32(fnv1a(key + u'/' + stamp)));
    ExamRecord record;
    record[Field::Name] = QStringLiteral("受检者") + derivedText(rng, 1 + int(rng.bounded(6u)));
    record[Field::Sex] = rng.bounded(2u) ? QStringLiteral("男") : QStringLiteral("女");
    record[Field::Age] = QString::number(18 + rng.bounded(80u));
    record[Field::ExamDate] = QStringLiteral("2026-%1-%2")
                                  .arg(1 + rng.bounded(12u), 2, 10, QChar(u'0'))
                                  .arg(1 + rng.bounded(28u), 2, 10, QChar(u'0'));
    record[Field::Address] = derivedText(rng, int(rng.bounded(40u)));
    record[Field::Key] = key;
    for (int i = 0; i < FieldMap::kFindingCount - 1; ++i) {
        // Mostly short findings, now and then a long one.
        const int length = rng.bounded(8u) == 0 ? 500 + int(rng.bounded(2500u)) : int(rng.bounded(200u));
        record.findings[i] = derivedText(rng, length);
    }
    record.findings[FieldMap::kFindingCount - 1] = stamp;
    return record;
}

QString stampOf(const ExamRecord& record)
{
    return record.findings[FieldMap::kFindingCount - 1];
}

bool isWhole(const ExamRecord& record)
{
    return record == stampedRecord(record.key(), stampOf(record));
}

Keystroke keystroke(int n)
{
    static const QString text = QStringLiteral("血压偏高建议复查未见异常Ab09");
    return {fieldOf(BoxSet::Finding, n * 7 % 43), text[n % text.size()]};
}

int keystrokesOf(const ExamRecord& sheet)
{
    ExamRecord typed;
    typed[Field::Key] = sheet.key();
    int n = 0;
    for (; typed != sheet; ++n) {
        const Keystroke stroke = keystroke(n);
        typed[stroke.field] += stroke.text;
        if (!sheet[stroke.field].startsWith(typed[stroke.field])) {
            return -1;
        }
    }
    return n;
}

QString poolKey(int i)
{
    return QStringLiteral("20260101%1").arg(i, 6, 10, QChar(u'0'));
}

} // namespace brenvoll::robust
