#include "TextRules.h"

namespace brenvoll {

namespace {

template <typename IsBlank> QString trimmedBy(const QString& text, IsBlank isBlank)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

} // namespace

QString trimBlanks(const QString& text)
{
    return trimmedBy(text, [](QChar c) { return c == u' ' || c == u'\u3000'; });
}

QString trimSpaces(const QString& text)
{
    return trimmedBy(text, [](QChar c) { return c == u' '; });
}

} // namespace brenvoll
