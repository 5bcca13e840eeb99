#include "SheetPdf.h"

#include "PdfTextMap.h"
#include "base/FileSystem.h"
#include "base/StagedFile.h"
#include "base/TextRules.h"
#include "record/SheetText.h"
#include "storage/ProgramFiles.h"

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
    : m_title(title.isEmpty() ? QStringLiteral("健康体检反馈表") : title), m_file(path, programFiles())
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
    if (!m_file.create()) {
        m_error = m_file.error();
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
    m_shown += drawnTexts(sheet);
    ++m_pages;
}

void SheetPdfWriter::addPage(const PageDrawing& draw, double leftMarginTwips, double topMarginTwips,
                             const QStringList& shown)
{
    if (!m_writer) {
        return;
    }
    if (m_pages == 0) {
        m_painter.begin(m_writer.get());
    } else {
        m_writer->newPage();
    }
    draw(m_painter, leftMarginTwips, topMarginTwips);
    m_shown += shown;
    ++m_pages;
}

bool SheetPdfWriter::commit()
{
    if (!m_writer || m_pages == 0) {
        return false;
    }
    m_painter.end();
    const QByteArray file = readableSheetPdf(m_buffer.data(), m_shown);
    m_buffer.close();
    if (m_file.write(file) != file.size() || !m_file.commit()) {
        m_error = m_file.error();
        return false;
    }
    return true;
}

QByteArray readableSheetPdf(const QByteArray& file, const QStringList& shown)
{
    return pdf::repairTextMaps(file, sheetIdeographs(), shown);
}

bool makeSheetPdfReadable(const QString& path, const SheetSnapshot& sheet)
{
    return makePdfReadable(path, drawnTexts(sheet));
}

bool makePdfReadable(const QString& path, const QStringList& shown)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray file = in.readAll();
    in.close();
    const QByteArray readable = readableSheetPdf(file, shown);
    if (readable == file) {
        return true;
    }
    StagedFile out(path, FileMode::OwnerOnly);
    return out.write(readable.constData(), readable.size()) && out.commit();
}

QString proposedPdfName(const QString& name, const QString& date, const QString& fallbackDate)
{
    const QString who = trimBlanks(name).isEmpty() ? QStringLiteral("健康体检反馈表") : trimBlanks(name);
    const QString when = trimBlanks(date).isEmpty() ? fallbackDate : trimBlanks(date);
    static const QRegularExpression unfit(QStringLiteral(R"([\\/:*?"<>|\x{0}-\x{1f}])"));
    const auto fit = [](QString text) { return text.replace(unfit, QStringLiteral("_")); };
    // A long name gives way to the date; a date too long to keep whole is
    // shortened with it.
    const QString ending = fit(u'_' + when) + QStringLiteral(".pdf");
    return QFile::encodeName(ending).size() <= kMaxFileNameBytes / 4
               ? fittingFileName(fit(who), ending)
               : fittingFileName(fit(who + u'_' + when), QStringLiteral(".pdf"));
}

QString withPdfSuffix(const QString& path)
{
    return path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".pdf");
}

} // namespace brenvoll
