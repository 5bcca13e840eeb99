#include "Module1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

QString sep()
{
    return QString(QDir::separator());
}
} // namespace

QString DecodeNumberList(QString& list)
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

QString EncodeNumberList(const QString& text)
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

void CreateFolderPath(QString& path)
{
    const QChar s = QDir::separator();
    QString p = path;
    p.replace(u'\\', s).replace(u'/', s);
    p += s;
    // Keep a leading pair (a network share); fold every other doubled separator.
    const bool share = p.startsWith(QString(2, s));
    QString folded;
    folded.reserve(p.size());
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p[i] == s && !folded.isEmpty() && folded.back() == s && !(share && i == 1)) {
            continue;
        }
        folded += p[i];
    }
    path = folded;

    qsizetype start = share ? 2 : 0;
    while (true) {
        QCoreApplication::processEvents();
        const qsizetype p2 = path.indexOf(s, start);
        if (p2 < 0) {
            break;
        }
        const QString level = path.left(p2 + 1);
        QDir().mkdir(level); // an existing level or a root simply fails
        start = p2 + 1;
    }
}

QString programFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString databasePath(const QString& folder)
{
    return folder + sep() + QStringLiteral("数据库.db");
}

QString connectionString(const QString& folder)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + databasePath(folder) +
           QStringLiteral(";Jet OLEDB:Database Password=") + QStringLiteral("mk4817") + u';';
}

QString dataSourceOf(const QString& connection)
{
    const auto parts = connection.split(u';');
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq > 0 && part.left(eq).trimmed().compare(u"Data Source", Qt::CaseInsensitive) == 0) {
            return part.mid(eq + 1);
        }
    }
    return {};
}

bool isOrdinaryFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

const QString& SheetTitle()
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
    const QString relative = DecodeNumberList(list);
    return QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath()).filePath(relative)).toString();
}

} // namespace brenvoll
