#include "PdfText.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace brenvoll::test {

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString unescape(QString text)
{
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

} // namespace

QList<QList<PdfWord>> pdfWords(const QString& file)
{
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re"));
    QList<QList<PdfWord>> pages;
    for (const QString& page : html.split(QStringLiteral("<page "), Qt::SkipEmptyParts).mid(1)) {
        QList<PdfWord> words;
        auto it = word.globalMatch(page);
        while (it.hasNext()) {
            const auto m = it.next();
            const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
            const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
            words.append({unescape(m.captured(5)), QRectF(topLeft, bottomRight)});
        }
        pages.append(words);
    }
    return pages;
}

QList<PdfWord> findWords(const QList<PdfWord>& words, const QString& text)
{
    QList<PdfWord> found;
    for (const PdfWord& w : words) {
        if (w.text == text) {
            found.append(w);
        }
    }
    return found;
}

QString pageText(const QList<PdfWord>& words)
{
    QStringList texts;
    for (const PdfWord& w : words) {
        texts.append(w.text);
    }
    return texts.join(QLatin1Char(' '));
}

QString pdfFonts(const QString& file)
{
    return run(QStringLiteral("pdffonts"), {file});
}

QString pdfInfo(const QString& file)
{
    return run(QStringLiteral("pdfinfo"), {file});
}

QImage pdfPage(const QString& file, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-gray"), QStringLiteral("-singlefile"), QStringLiteral("-r"),
         QString::number(dpi), file, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

QStringList printedJobs(const QString& folder)
{
    QStringList jobs;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("job-*.pdf")}, QDir::Files, QDir::Name)) {
        jobs.append(dir.filePath(name));
    }
    return jobs;
}

} // namespace brenvoll::test
