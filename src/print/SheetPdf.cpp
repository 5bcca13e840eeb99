#include "SheetPdf.h"

#include "PdfTextMap.h"
#include "record/SheetText.h"

#include <QCoreApplication>
#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRawFont>
#include <QRegularExpression>

namespace brenvoll {

namespace {

// Which characters of the sheet's font share their glyphs with ideographs;
// regular and bold map characters alike.
const QHash<char16_t, char16_t>& sheetIdeographs()
{
    static const QHash<char16_t, char16_t> ideographs =
        pdf::ideographsSharingGlyphs(QRawFont::fromFont(sheetFont(FieldMap::textFont())));
    return ideographs;
}

} // namespace

SheetPdfWriter::SheetPdfWriter(const QString& path, const QString& title)
    : m_title(title.isEmpty() ? QStringLiteral("健康体检反馈表") : title), m_file(path)
{
}

// An uncommitted file takes its temporary file with it.
SheetPdfWriter::~SheetPdfWriter()
{
    if (m_painter.isActive()) {
        m_painter.end();
    }
}

bool SheetPdfWriter::open()
{
    if (!m_file.open(QIODevice::WriteOnly)) {
        m_error = failure(QStringLiteral("无法在该文件夹中创建文件（文件夹不存在或不能写入）"));
        return false;
    }
    // The pages are drawn into memory: the text maps are repaired once the
    // document is complete.
    m_buffer.open(QIODevice::WriteOnly);
    m_writer = std::make_unique<QPdfWriter>(&m_buffer);
    m_writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    m_writer->setTitle(m_title);
    m_writer->setCreator(
        QString(QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion())
            .trimmed());
    return true;
}

void SheetPdfWriter::addPage(const SheetSnapshot& sheet, double leftMarginTwips, double topMarginTwips)
{
    if (!m_writer) {
        return;
    }
    if (m_pages == 0) {
        m_painter.begin(m_writer.get());
    } else {
        m_writer->newPage();
    }
    drawSheet(m_painter, sheet, leftMarginTwips, topMarginTwips);
    ++m_pages;
}

bool SheetPdfWriter::commit()
{
    if (!m_writer || m_pages == 0) {
        return false;
    }
    m_painter.end();
    const QByteArray file = readableSheetPdf(m_buffer.data());
    m_buffer.close();
    // The last buffered bytes are written by flush(), not by commit(), which
    // forgets why a write failed.
    if (m_file.write(file) != file.size() || !m_file.flush() || !m_file.commit()) {
        m_error = m_file.error() == QFileDevice::RenameError
                      ? failure(QStringLiteral("无法替换同名文件（文件可能正被其他程序打开）"))
                      : failure(QStringLiteral("写入文件时出错（磁盘可能已满）"));
        m_file.cancelWriting();
        return false;
    }
    return true;
}

QString SheetPdfWriter::failure(const QString& what) const
{
    const QString detail =
        m_file.error() == QFileDevice::NoError ? QString() : m_file.errorString().trimmed();
    return detail.isEmpty() ? what : what + QStringLiteral("：") + detail;
}

QByteArray readableSheetPdf(const QByteArray& file)
{
    return pdf::repairTextMaps(file, sheetIdeographs());
}

bool makeSheetPdfReadable(const QString& path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray file = in.readAll();
    in.close();
    const QByteArray readable = readableSheetPdf(file);
    if (readable == file) {
        return true;
    }
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(readable) == readable.size() && out.commit();
}

QString proposedPdfName(const QString& name, const QString& date, const QString& fallbackDate)
{
    const QString who = name.trimmed().isEmpty() ? QStringLiteral("健康体检反馈表") : name.trimmed();
    const QString when = date.trimmed().isEmpty() ? fallbackDate : date.trimmed();
    static const QRegularExpression unfit(QStringLiteral(R"([\\/:*?"<>|\x{0}-\x{1f}])"));
    return QString(who + u'_' + when).replace(unfit, QStringLiteral("_")) + QStringLiteral(".pdf");
}

QString withPdfSuffix(const QString& path)
{
    return path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".pdf");
}

} // namespace brenvoll
