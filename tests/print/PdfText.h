#pragma once
// Reading printed PDF files back with poppler's command-line tools, which know
// nothing of the program: words with their boxes in points, fonts, pictures.
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace brenvoll::test {

struct PdfWord
{
    QString text;
    QRectF box; // points from the page's top-left corner
};

// The words of every page of `file` (pdftotext -bbox), page by page.
QList<QList<PdfWord>> pdfWords(const QString& file);
// The words of the first page whose text is `text`.
QList<PdfWord> findWords(const QList<PdfWord>& words, const QString& text);
// All words of a page joined by blanks, in reading order.
QString pageText(const QList<PdfWord>& words);
// The output of pdffonts and of pdfinfo for `file`.
QString pdfFonts(const QString& file);
QString pdfInfo(const QString& file);
// The first page rendered in grey at `dpi` (pdftoppm).
QImage pdfPage(const QString& file, int dpi);
// The job files a PDF print target folder holds, in the order they were printed.
QStringList printedJobs(const QString& folder);

} // namespace brenvoll::test
