#include "IniText.h"

#include <QStringDecoder>

#include <optional>

namespace brenvoll {

namespace {

std::optional<QString> decode(QStringDecoder&& decoder, QByteArrayView bytes)
{
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

// The text of the file: the byte-order mark decides; without one, zero bytes
// mean UTF-16 (ASCII text has a zero in every other byte), otherwise UTF-8,
// and bytes that are no UTF-8 are read as GB18030.
std::optional<QString> decodeText(const QByteArray& bytes)
{
    QByteArrayView rest(bytes);
    auto encoding = QStringConverter::Utf8;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        rest = rest.sliced(3);
    } else if (bytes.startsWith("\xFF\xFE")) {
        encoding = QStringConverter::Utf16LE;
        rest = rest.sliced(2);
    } else if (bytes.startsWith("\xFE\xFF")) {
        encoding = QStringConverter::Utf16BE;
        rest = rest.sliced(2);
    } else if (bytes.contains('\0')) {
        encoding =
            bytes.size() > 1 && bytes[1] == '\0' ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
    }
    // The mark is taken off above; a second one would be text.
    if (auto text = decode(QStringDecoder(encoding, QStringDecoder::Flag::ConvertInitialBom), rest)) {
        return text;
    }
    if (encoding == QStringConverter::Utf8) {
        QStringDecoder chinese("GB18030", QStringDecoder::Flag::ConvertInitialBom);
        if (chinese.isValid()) {
            return decode(std::move(chinese), rest);
        }
    }
    return std::nullopt;
}

QString trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t')) {
        --end;
    }
    return text.sliced(begin, end - begin).toString();
}

bool holdsControlCharacters(const QString& text)
{
    for (const QChar ch : text) {
        if ((ch.unicode() < 0x20 && ch != u'\t' && ch != u'\n' && ch != u'\r') || ch.unicode() == 0x7F) {
            return true;
        }
    }
    return false;
}

// A quoted value (`text` begins with the quote): its content, or the problem.
IniText::Problem unquote(const QString& text, QString* value)
{
    value->clear();
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == u'\\' && i + 1 < text.size() && (text[i + 1] == u'"' || text[i + 1] == u'\\')) {
            *value += text[++i];
        } else if (ch == u'"') {
            return trimmed(QStringView(text).sliced(i + 1)).isEmpty() ? IniText::Problem::None
                                                                      : IniText::Problem::AfterQuote;
        } else {
            *value += ch;
        }
    }
    return IniText::Problem::OpenQuote;
}

} // namespace

IniText readIniText(const QByteArray& bytes)
{
    IniText ini;
    const std::optional<QString> text = decodeText(bytes);
    if (!text || holdsControlCharacters(*text)) {
        ini.problem = IniText::Problem::NotText;
        return ini;
    }
    QString lines = *text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QString section;
    int number = 0;
    for (const QString& raw : lines.split(u'\n')) {
        ++number;
        const QString line = trimmed(raw);
        const auto fail = [&](IniText::Problem problem) {
            ini.problem = problem;
            ini.problemLine = number;
            ini.problemText = line;
            return ini;
        };
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) {
                return fail(IniText::Problem::OpenSection);
            }
            section = trimmed(QStringView(line).sliced(1, line.size() - 2));
            ini.sections << section;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) {
            return fail(IniText::Problem::NoEquals);
        }
        IniEntry entry{section, trimmed(QStringView(line).first(equals)),
                       trimmed(QStringView(line).sliced(equals + 1)), number};
        if (entry.key.isEmpty()) {
            return fail(IniText::Problem::NoKey);
        }
        if (entry.value.startsWith(u'"')) {
            const QString quoted = entry.value;
            if (const auto problem = unquote(quoted, &entry.value); problem != IniText::Problem::None) {
                return fail(problem);
            }
        }
        ini.entries << entry;
    }
    return ini;
}

} // namespace brenvoll
