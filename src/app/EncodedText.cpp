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
} // namespace

QString decodeNumberList(QString& list)
{
    QByteArray bytes;
    if (!list.isEmpty()) {
        const auto items = list.split(u',');
        for (const QString& item : items) {
            const int value = item.toInt() ^ kListKey;
            if (value >= 0 && value <= 255) {
                bytes.append(char(value));
            } else {
                const auto code = quint16(value & 0xFFFF);
                bytes.append(char(code >> 8));
                bytes.append(char(code & 0xFF));
            }
        }
    }
    QStringDecoder gbk("GBK");
    QString text = gbk.isValid() ? QString(gbk.decode(bytes)) : QString::fromLatin1(bytes);
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
