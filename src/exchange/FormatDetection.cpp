// Which reader a file is for, from its first bytes.

#include "RecipeFormats.h"
#include "TextSource.h"

#include <QFile>
#include <QFileInfo>

namespace pantrio::exchange {

namespace {

bool isAccess(const QByteArray& start)
{
    return start.mid(4, 15) == "Standard Jet DB" || start.mid(4, 15) == "Standard ACE DB";
}

Format detectTextFormat(const QByteArray& head, const QString& path);

} // namespace

Format detectFormat(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Format::Unknown;
    const QByteArray raw = file.read(19);
    if (isAccess(raw))
        return Format::Access;
    TextSource text(path);
    if (!text.open(QIODevice::ReadOnly))
        return Format::Unknown;
    return detectTextFormat(text.read(1 << 20), path);
}

Format detectFormat(const QByteArray& content, const QString& path)
{
    return isAccess(content) ? Format::Access : detectTextFormat(content.left(1 << 20), path);
}

namespace {

Format detectTextFormat(const QByteArray& head, const QString& path)
{
    qsizetype i = head.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a page's own byte-order mark
    while (i < head.size() && (head[i] == ' ' || head[i] == '\n' || head[i] == '\r' || head[i] == '\t'))
        ++i;
    if (i < head.size() && (head[i] == '{' || head[i] == '['))
        return Format::Json;
    const QByteArray start = head.left(4096).toLower();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (start.contains("<!doctype html") || start.contains("<html") ||
        ((suffix == u"html" || suffix == u"htm") && i < head.size() && head[i] == '<') ||
        head.contains("application/ld+json"))
        return Format::Html;
    return holdsMealMasterHeader(head) ? Format::MealMaster : Format::Unknown;
}

} // namespace

} // namespace pantrio::exchange
