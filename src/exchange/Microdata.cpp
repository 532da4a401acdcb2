// schema.org items written as microdata (itemscope, itemtype, itemprop), read as the JSON-LD
// objects they stand for, so that one mapping serves both.

#include "HtmlTree.h"

#include <optional>
#include <QHash>
#include <QJsonArray>
#include <QSet>

namespace pantrio::exchange::html {

namespace {

// The last part of a vocabulary address: `https://schema.org/Recipe` → `Recipe`.
QString localName(const QString& term)
{
    const qsizetype cut = std::max(term.lastIndexOf(u'/'), term.lastIndexOf(u'#')) + 1;
    return term.mid(cut);
}

bool isRecipeItem(const xmlNode* node)
{
    if (!hasAttribute(node, "itemscope"))
        return false;
    const QStringList types = attribute(node, "itemtype").split(u' ', Qt::SkipEmptyParts);
    for (const QString& type : types)
        if (localName(type).compare(u"Recipe", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Older and other vocabularies' names for the properties Pantrio reads.
QString propertyName(const QString& itemprop)
{
    static const QHash<QString, QString> older = {
        {QStringLiteral("ingredient"), QStringLiteral("recipeIngredient")},
        {QStringLiteral("ingredients"), QStringLiteral("recipeIngredient")},
        {QStringLiteral("instructions"), QStringLiteral("recipeInstructions")},
        {QStringLiteral("yield"), QStringLiteral("recipeYield")},
        {QStringLiteral("recipeType"), QStringLiteral("recipeCategory")},
        {QStringLiteral("summary"), QStringLiteral("description")},
    };
    const QString name = localName(itemprop);
    return older.value(name, name);
}

// Properties that have one value: a page that gives one twice (a <meta> and a visible text)
// means the same thing both times.
bool isSingle(const QString& name)
{
    static const QSet<QString> single = {"name",     "description", "totalTime", "prepTime",
                                         "cookTime", "url",         "text",      "calories"};
    return single.contains(name);
}

QString linkProperty(const QString& name)
{
    static const QSet<QString> links = {"url", "image", "photo", "sameAs", "isBasedOn", "thumbnailUrl"};
    return links.contains(name) ? name : QString();
}

// A property's value as the microdata rules give it, and as pages write it besides: a
// `content` attribute on any element wins over the element's text.
QString propertyValue(const xmlNode* node, const QString& name)
{
    if (hasAttribute(node, "content"))
        return attribute(node, "content");
    if (isElement(node, "meta"))
        return {};
    if (isElement(node, "link") ||
        ((isElement(node, "a") || isElement(node, "area")) && !linkProperty(name).isEmpty()))
        return attribute(node, "href");
    for (const char* media : {"img", "audio", "video", "source", "embed", "iframe", "track"})
        if (isElement(node, media))
            return attribute(node, "src");
    if (isElement(node, "object"))
        return attribute(node, "data");
    if ((isElement(node, "data") || isElement(node, "meter")) && hasAttribute(node, "value"))
        return attribute(node, "value");
    if (isElement(node, "time") && hasAttribute(node, "datetime"))
        return attribute(node, "datetime");
    return elementText(node);
}

class ItemReader
{
public:
    explicit ItemReader(xmlDoc* document) : document_(document) {}

    // A nested item without a name or text of its own (an author, a step) stands for its text.
    QJsonObject item(const xmlNode* node, int depth, bool nested = true)
    {
        // An item reached again from inside itself (through itemref) is a loop, read once.
        if (reading_.contains(node))
            return {};
        reading_.insert(node);
        QJsonObject object = read(node, depth, nested);
        reading_.remove(node);
        return object;
    }

private:
    QJsonObject read(const xmlNode* node, int depth, bool nested)
    {
        QHash<QString, QJsonArray> properties;
        QStringList order;
        QSet<const xmlNode*> visited{node};
        collect(node, properties, order, visited, depth);
        for (const QString& id : attribute(node, "itemref").split(u' ', Qt::SkipEmptyParts))
            if (const xmlNode* referred = byId(id); referred && !visited.contains(referred)) {
                visited.insert(referred);
                property(referred, properties, order, visited, depth);
            }

        QJsonObject object;
        if (const QString type = attribute(node, "itemtype").section(u' ', 0, 0, QString::SectionSkipEmpty);
            !type.isEmpty())
            object.insert(QStringLiteral("@type"), localName(type));
        for (const QString& name : order) {
            const QJsonArray& values = properties[name];
            object.insert(name, values.size() == 1 || isSingle(name) ? values.first() : QJsonValue(values));
        }
        if (nested && !object.contains(u"name") && !object.contains(u"text"))
            if (const QString text = elementText(node); !text.isEmpty())
                object.insert(QStringLiteral("text"), text);
        return object;
    }

    void collect(const xmlNode* node, QHash<QString, QJsonArray>& properties, QStringList& order,
                 QSet<const xmlNode*>& visited, int depth)
    {
        for (const xmlNode* child = node->children; child && depth < 512; child = child->next) {
            if (isElement(child))
                property(child, properties, order, visited, depth + 1);
        }
    }

    // `node` and what is inside it, up to the items nested in it.
    void property(const xmlNode* node, QHash<QString, QJsonArray>& properties, QStringList& order,
                  QSet<const xmlNode*>& visited, int depth)
    {
        const bool scope = hasAttribute(node, "itemscope");
        QStringList names = attribute(node, "itemprop").split(u' ', Qt::SkipEmptyParts);
        names.removeDuplicates();
        // The value is the same for every name but a few kinds: read once, not once a name, or
        // items nested in items with many names each would be read ever more times over.
        std::optional<QJsonValue> text, link, asItem, asIngredient;
        for (const QString& itemprop : names) {
            const QString name = propertyName(itemprop);
            const auto once = [](std::optional<QJsonValue>& slot, auto read) {
                if (!slot)
                    slot = read();
                return *slot;
            };
            QJsonValue value;
            if (!scope)
                value = once(linkProperty(name).isEmpty() ? text : link,
                             [&] { return QJsonValue(propertyValue(node, name)); });
            else if (name == u"recipeIngredient")
                value = once(asIngredient, [&] { return QJsonValue(ingredientLine(node, depth)); });
            else
                value = once(asItem, [&] { return QJsonValue(item(node, depth + 1)); });
            if (!properties.contains(name))
                order << name;
            QJsonArray& values = properties[name];
            if (!values.contains(value))
                values.append(value);
        }
        if (!scope)
            collect(node, properties, order, visited, depth);
    }

    // An ingredient given as an item of its own is the line its parts make up.
    QString ingredientLine(const xmlNode* node, int depth)
    {
        if (QString text = elementText(node); !text.isEmpty())
            return collapseSpace(text);
        const QJsonObject parts = item(node, depth + 1);
        QStringList line;
        for (const char* part : {"amount", "quantity", "requiredQuantity", "unit", "unitText", "name"})
            if (const QString value = parts.value(QLatin1StringView(part)).toString(); !value.isEmpty())
                line << value;
        return collapseSpace(line.join(u' '));
    }

    const xmlNode* byId(const QString& id)
    {
        if (!indexed_) {
            index(xmlDocGetRootElement(document_), 0);
            indexed_ = true;
        }
        return ids_.value(id);
    }

    void index(const xmlNode* node, int depth)
    {
        for (; node && depth < 1024; node = node->next) {
            if (!isElement(node))
                continue;
            if (const QString id = attribute(node, "id"); !id.isEmpty() && !ids_.contains(id))
                ids_.insert(id, node);
            index(node->children, depth + 1);
        }
    }

    xmlDoc* document_;
    bool indexed_ = false;
    QHash<QString, const xmlNode*> ids_;
    QSet<const xmlNode*> reading_;
};

void findRecipes(const xmlNode* node, ItemReader& reader, QList<PageContent::Item>& out, int depth)
{
    for (; node && depth < 1024; node = node->next) {
        if (!isElement(node))
            continue;
        if (isRecipeItem(node)) {
            QJsonObject recipe = reader.item(node, 0, false);
            recipe.insert(QStringLiteral("@type"), QStringLiteral("Recipe"));
            out.append({recipe, lineOf(node)});
        }
        findRecipes(node->children, reader, out, depth + 1);
    }
}

} // namespace

QList<PageContent::Item> microdataRecipes(xmlDoc* document)
{
    QList<PageContent::Item> recipes;
    ItemReader reader(document);
    findRecipes(xmlDocGetRootElement(document), reader, recipes, 0);
    return recipes;
}

} // namespace pantrio::exchange::html
