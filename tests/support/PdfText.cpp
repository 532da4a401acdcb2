#include "support/PdfText.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace pantrio::test {

const PdfWord* PdfPage::find(const QString& text) const
{
    for (const PdfWord& w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

bool canReadPdf()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

static QString unescapeXml(QString s)
{
    s.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    s.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    s.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    s.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    s.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    s.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return s;
}

QList<PdfPage> readPdf(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    const QString xhtml = QString::fromUtf8(p.readAllStandardOutput());

    static const QRegularExpression element(QStringLiteral(
        R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<PdfPage> pages;
    for (const QRegularExpressionMatch& m : element.globalMatch(xhtml)) {
        if (!m.captured(1).isEmpty()) {
            pages.append({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}});
        } else if (!pages.isEmpty()) {
            const QPointF topLeft(m.captured(3).toDouble(), m.captured(4).toDouble());
            const QPointF bottomRight(m.captured(5).toDouble(), m.captured(6).toDouble());
            pages.last().words.append({unescapeXml(m.captured(7)), QRectF(topLeft, bottomRight)});
        }
    }
    return pages;
}

QRectF onPage(const QRect& pixels, QPointF origin)
{
    constexpr double pointsPerPixel = 72.0 / 96.0;
    return {origin + QPointF(pixels.topLeft()) * pointsPerPixel, QSizeF(pixels.size()) * pointsPerPixel};
}

QString misplaced(const PdfPage& page, const QString& text, const QRectF& area)
{
    const PdfWord* word = page.find(text);
    if (!word)
        return QStringLiteral("\"%1\" is not on the page").arg(text);
    const QRectF box = word->box;
    if (!area.contains(box.center()))
        return QStringLiteral("\"%1\" lies at (%2, %3), outside (%4, %5) to (%6, %7)")
            .arg(text)
            .arg(box.center().x())
            .arg(box.center().y())
            .arg(area.left())
            .arg(area.top())
            .arg(area.right())
            .arg(area.bottom());
    // 11.25 pt type; poppler's word box is about the size, give or take the font's ascent
    // and descent.
    if (box.height() < 9.0 || box.height() > 15.0)
        return QStringLiteral("\"%1\" is %2 pt high").arg(text).arg(box.height());
    return {};
}

} // namespace pantrio::test
