#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace pantrio::test {

// A word of a PDF page as poppler's pdftotext finds it; points from the page's top-left.
struct PdfWord
{
    QString text;
    QRectF box;
};

struct PdfPage
{
    QSizeF size; // points
    QList<PdfWord> words;

    // The first word with exactly this text, or null.
    const PdfWord* find(const QString& text) const;
};

// Whether poppler's pdftotext is there to read PDFs with.
bool canReadPdf();

// The pages of a PDF file; empty when the file is not a complete PDF.
QList<PdfPage> readPdf(const QString& path);

// A control's rectangle (logical pixels, 1/96 inch) on a page where the window's top-left
// lies at `origin` (points).
QRectF onPage(const QRect& pixels, QPointF origin);

// Empty when `text` is a word on the page lying inside `area` (points) in type of the print-copy
// window's size; otherwise what is wrong.
QString misplaced(const PdfPage& page, const QString& text, const QRectF& area);

} // namespace pantrio::test
