#include "WorkbookReader.h"

#include <QJsonDocument>
#include <QProcess>

namespace brenvoll::test {

namespace {
// Debian's interpreter carries python3-xlrd; a python3 earlier on PATH may not.
QString pythonWithXlrd()
{
    static const QString found = [] {
        for (const QString& candidate : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
            QProcess probe;
            probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import xlrd")});
            if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
                probe.exitCode() == 0) {
                return candidate;
            }
        }
        return QString();
    }();
    return found;
}
} // namespace

QJsonObject readWorkbook(const QString& path, QString* error)
{
    const QString python = pythonWithXlrd();
    if (python.isEmpty()) {
        *error = QStringLiteral("no python3 with xlrd found (tools/install-deps.sh installs python3-xlrd)");
        return {};
    }
    QProcess reader;
    reader.start(python, {QStringLiteral(BRENVOLL_XLS_DUMP), path});
    if (!reader.waitForFinished(240000) || reader.exitStatus() != QProcess::NormalExit ||
        reader.exitCode() != 0) {
        *error = QStringLiteral("xlrd could not read %1: %2")
                     .arg(path, QString::fromUtf8(reader.readAllStandardError()));
        return {};
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(reader.readAllStandardOutput(), &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = parse.errorString();
        return {};
    }
    return doc.object();
}

} // namespace brenvoll::test
