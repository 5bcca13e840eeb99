#include "EncodedText.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QUrl>

namespace brenvoll {

// "社区卫生服务中心健康体检反馈表"
const char* const kSheetTitleList = "-13886,-14371,-12571,-13857,-18469,-12588,-10507,-12063,-17020,-16496,"
                                    "-13120,-17207,-18543,-16252,-20024";
// "web/missing-database.html"
const char* const kMissingPageList =
    "82,64,71,10,72,76,86,86,76,75,66,8,65,68,81,68,71,68,86,64,11,77,81,72,73";
// "web/help.html"
const char* const kHelpPageList = "82,64,71,10,77,64,73,85,11,77,81,72,73";
// "web/home.html"
const char* const kHomePageList = "82,64,71,10,77,74,72,64,11,77,81,72,73";

namespace {
QString g_sheetTitle;

// The character of one list item in code page 936: a code from 0 to 255 is a
// single byte, any other its 16 bits as lead and trail byte. Each item is one
// character of its own; one that the code page does not give a character
// (a lead byte alone, an unassigned code) is U+FFFD.
QChar characterOf(int code, QStringDecoder& gbk)
{
    const bool singleByte = code >= 0 && code <= 255;
    if (!gbk.isValid()) {
        return singleByte && code < 128 ? QChar(code) : QChar(QChar::ReplacementCharacter);
    }
    QByteArray bytes;
    if (!singleByte) {
        bytes.append(char((code >> 8) & 0xFF));
    }
    bytes.append(char(code & 0xFF));
    const QString decoded = gbk.decode(bytes);
    // The decoder gives private-use characters for bytes that the code page
    // leaves unassigned.
    if (decoded.size() != 1 || (singleByte && decoded[0].category() == QChar::Other_PrivateUse)) {
        return QChar(QChar::ReplacementCharacter);
    }
    return decoded[0];
}
} // namespace

QString decodeNumberList(QString& list)
{
    QString text;
    if (!list.isEmpty()) {
        QStringDecoder gbk("GBK", QStringConverter::Flag::Stateless);
        const auto items = list.split(u',');
        for (const QString& item : items) {
            text += characterOf(item.toInt() ^ kListKey, gbk);
        }
    }
    list = text;
    return text;
}

QString encodeNumberList(const QString& text)
{
    QStringEncoder gbk("GBK");
    QStringList items;
    for (const QChar ch : text) {
        const QByteArray bytes = gbk.isValid() ? QByteArray(gbk.encode(QString(ch))) : QString(ch).toLatin1();
        int value = 0;
        if (bytes.size() == 1) {
            value = quint8(bytes[0]);
        } else if (bytes.size() == 2) {
            value = qint16(quint16(quint8(bytes[0]) << 8 | quint8(bytes[1])));
        } else {
            continue; // not representable in code page 936
        }
        items << QString::number(value ^ kListKey);
    }
    return items.join(u',');
}

const QString& sheetTitle()
{
    return g_sheetTitle;
}

void setSheetTitle(const QString& title)
{
    g_sheetTitle = title;
}

QString localPageUrl(const char* encodedList)
{
    QString list = QString::fromLatin1(encodedList);
    const QString relative = decodeNumberList(list);
    return QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath()).filePath(relative)).toString();
}

} // namespace brenvoll
