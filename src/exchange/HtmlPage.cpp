#include "HtmlTree.h"
#include "RecipeText.h"

#include <memory>
#include <mutex>
#include <QRegularExpression>
#include <QStringDecoder>

namespace pantrio::exchange {

namespace {

bool hasMultibyteUtf8(QByteArrayView bytes)
{
    bool wide = false;
    for (char c : bytes)
        wide = wide || static_cast<unsigned char>(c) >= 0x80;
    return wide && QString::fromUtf8(bytes).toUtf8() == bytes;
}

QString pageCharset(QByteArrayView bytes)
{
    // The declaration must come early; browsers look at the first 1024 bytes, saved pages
    // sometimes push it a little further.
    static const QRegularExpression meta(
        QStringLiteral("<meta[^>]*?charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9._:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    return meta.match(QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 8192)))).captured(1);
}

} // namespace

QString decodePage(QByteArrayView bytes, const QString& declaredCharset)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes.sliced(2));
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes.sliced(2));

    const bool fromServer = !declaredCharset.trimmed().isEmpty();
    const QString label = (fromServer ? declaredCharset : pageCharset(bytes)).trimmed().toLower();
    static const QStringList latin = {"iso-8859-1", "iso8859-1", "iso_8859-1",   "latin1", "l1",
                                      "us-ascii",   "ascii",     "windows-1252", "cp1252", "x-cp1252"};
    if (latin.contains(label))
        return hasMultibyteUtf8(bytes) ? QString::fromUtf8(bytes) : decodeWindows1252(bytes);
    // A page that is read at all is ASCII-compatible: a <meta> naming UTF-16 means UTF-8.
    if (fromServer && (label == u"utf-16" || label == u"utf-16le"))
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes);
    if (fromServer && label == u"utf-16be")
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes);
    if (!label.isEmpty() && !label.startsWith(u"utf")) {
        QStringDecoder decoder(label.toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes); // broken bytes become U+FFFD, the rest stays
}

namespace html {

bool isElement(const xmlNode* node, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE &&
           (!name || xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0);
}

bool hasAttribute(const xmlNode* node, const char* name)
{
    return isElement(node) && xmlHasProp(node, reinterpret_cast<const xmlChar*>(name));
}

QString attribute(const xmlNode* node, const char* name)
{
    if (!isElement(node))
        return {};
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::int64_t lineOf(const xmlNode* node)
{
    const long line = xmlGetLineNo(node);
    return line > 0 ? line : 1;
}

namespace {

bool isBlock(const xmlNode* node)
{
    static const char* const blocks[] = {"p",       "div",    "li",         "ol",    "ul",      "dl",
                                         "dt",      "dd",     "h1",         "h2",    "h3",      "h4",
                                         "h5",      "h6",     "tr",         "table", "section", "article",
                                         "header",  "footer", "blockquote", "pre",   "figure",  "figcaption",
                                         "address", "aside",  "main",       "nav",   "form",    "hr"};
    for (const char* name : blocks)
        if (isElement(node, name))
            return true;
    return false;
}

void collectText(const xmlNode* node, QString& out, int depth)
{
    for (const xmlNode* child = node->children; child && depth < 256; child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            out += QString::fromUtf8(reinterpret_cast<const char*>(child->content));
        } else if (isElement(child, "br")) {
            out += u'\n';
        } else if (isElement(child) && !isElement(child, "script") && !isElement(child, "style") &&
                   !isElement(child, "template")) {
            const bool block = isBlock(child);
            if (block)
                out += u'\n';
            collectText(child, out, depth + 1);
            if (block)
                out += u'\n';
        }
    }
}

} // namespace

QString collapseSpace(QStringView text)
{
    // HTML's blank space only: a no-break space is the page's own.
    QString out;
    out.reserve(text.size());
    bool blank = false;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out += u' ';
        blank = false;
        out += c;
    }
    return out;
}

QString elementText(const xmlNode* node)
{
    QString raw;
    collectText(node, raw, 0);
    QStringList lines;
    for (const QString& line : raw.split(u'\n'))
        if (QString clean = collapseSpace(line); !clean.isEmpty())
            lines << clean;
    return lines.join(u'\n');
}

} // namespace html

namespace {

struct DocumentFree
{
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

bool isJsonLd(const xmlNode* node)
{
    if (!html::isElement(node, "script"))
        return false;
    const QString type = html::attribute(node, "type");
    return QStringView(type)
               .left(type.indexOf(u';'))
               .trimmed()
               .compare(u"application/ld+json", Qt::CaseInsensitive) == 0;
}

void walkPage(const xmlNode* node, PageContent& content, int depth)
{
    for (const xmlNode* child = node->children; child && depth < 1024; child = child->next) {
        if (!html::isElement(child))
            continue;
        if (isJsonLd(child)) {
            xmlChar* text = xmlNodeGetContent(child);
            content.jsonLd.append({QByteArray(reinterpret_cast<const char*>(text)), html::lineOf(child)});
            xmlFree(text);
            continue;
        }
        if (html::isElement(child, "link") && content.canonicalAddress.isEmpty() &&
            html::attribute(child, "rel").split(u' ').contains(u"canonical", Qt::CaseInsensitive))
            content.canonicalAddress = html::attribute(child, "href").trimmed();
        if (html::isElement(child, "meta") && html::attribute(child, "property") == u"og:url" &&
            content.canonicalAddress.isEmpty())
            content.canonicalAddress = html::attribute(child, "content").trimmed();
        if (html::isElement(child, "meta") && content.generator.isEmpty() &&
            html::attribute(child, "name").compare(u"generator", Qt::CaseInsensitive) == 0)
            content.generator = html::attribute(child, "content").trimmed();
        walkPage(child, content, depth + 1);
    }
}

} // namespace

PageContent readPageContent(const QString& page)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
    const QByteArray utf8 = page.toUtf8();
    // The text is UTF-8 already: the page's own <meta charset> must not make the parser decode
    // it again.
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                        HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE | XML_PARSE_BIG_LINES;
    const std::unique_ptr<xmlDoc, DocumentFree> document(htmlReadMemory(
        utf8.constData(), int(std::min<qsizetype>(utf8.size(), INT_MAX)), nullptr, "UTF-8", options));
    PageContent content;
    if (!document)
        return content;
    walkPage(reinterpret_cast<xmlNode*>(document.get()), content, 0);
    content.microdata = html::microdataRecipes(document.get());
    return content;
}

} // namespace pantrio::exchange
