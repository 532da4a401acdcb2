#include "CookbookWriter.h"

#include "RecipeText.h"

namespace pantrio::exchange {

namespace {

// Simple enough for any phone's browser, no script and nothing fetched from elsewhere.
const char* const Style = R"(body { font-family: Georgia, "Times New Roman", serif; line-height: 1.45;
  max-width: 40em; margin: 0 auto; padding: 1em; color: #222; background: #fff; }
h1, h2, h3 { font-family: "Helvetica Neue", Arial, sans-serif; line-height: 1.2; }
h1 { font-size: 1.8em; }
h2 { font-size: 1.4em; margin: 0 0 .3em; }
h3 { font-size: 1.05em; margin: 1.2em 0 .3em; }
nav ol { padding-left: 1.8em; }
nav li { margin: .25em 0; }
a { color: #1a4d8f; }
.recipe { border-top: 1px solid #bbb; margin-top: 2.5em; padding-top: 1em; }
.facts { color: #555; margin: 0 0 .8em; }
.facts span + span::before { content: " \00b7  "; }
.text { white-space: pre-wrap; overflow-wrap: anywhere; margin: 0; }
.ingredients { padding-left: 1.3em; margin: 0; }
.ingredients li { margin: .15em 0; overflow-wrap: anywhere; }
.back { font-size: .9em; margin-top: 1.5em; }
@media print {
  body { max-width: none; padding: 0; font-size: 11pt; }
  a { color: inherit; text-decoration: none; }
  .recipe { break-before: page; page-break-before: always; border: 0; margin: 0; padding: 0; }
  h2, h3 { break-after: avoid; page-break-after: avoid; }
  li { break-inside: avoid; }
  .back { display: none; }
}
)";

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// Text for the page's reader: markup characters as references, line breaks and tabs kept.
// Characters a page cannot carry (other control characters) are left out of what it shows;
// the exact text is in the recipe's data.
QString shown(QStringView text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1StringView("&amp;");
            break;
        case u'<':
            out += QLatin1StringView("&lt;");
            break;
        case u'>':
            out += QLatin1StringView("&gt;");
            break;
        case u'"':
            out += QLatin1StringView("&quot;");
            break;
        case u'\n':
        case u'\t':
            out += c;
            break;
        default:
            if (!isControl(c))
                out += c;
        }
    }
    return out;
}

// A field's exact text as a `content` attribute. The page reader decodes references once more
// after the parser has (recipe texts on pages often carry them escaped twice), so every '&'
// and '<' is written as a reference for it, and so is every control character, line breaks
// included: a parser may fold blank space in attributes, a reference it leaves alone. NUL is
// left out, as every import leaves it out.
QString exact(QStringView text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        if (c == u'&')
            out += QLatin1StringView("&amp;amp;");
        else if (c == u'<')
            out += QLatin1StringView("&amp;lt;");
        else if (c == u'>')
            out += QLatin1StringView("&gt;");
        else if (c == u'"')
            out += QLatin1StringView("&quot;");
        else if (c.unicode() == 0)
            continue;
        else if (isControl(c))
            out += QStringLiteral("&amp;#%1;").arg(c.unicode());
        else
            out += c;
    }
    return out;
}

QString nameOf(const FieldValue& name)
{
    return name && !name->trimmed().isEmpty() ? shown(*name) : QStringLiteral("Untitled recipe");
}

bool hasText(const FieldValue& v)
{
    return v && !v->trimmed().isEmpty();
}

// schema.org wants a duration; the cook's own wording is kept where it is not one.
QString timeData(const QString& time)
{
    const std::optional<QString> iso = isoDuration(time);
    return iso && readableDuration(*iso) == time ? *iso : exact(time);
}

QString section(const char* heading, const QString& body)
{
    return QStringLiteral("<section>\n<h3>%1</h3>\n%2</section>\n").arg(QLatin1StringView(heading), body);
}

QString textSection(const char* heading, const FieldValue& text)
{
    if (!hasText(text))
        return {};
    return section(heading, QStringLiteral("<p class=\"text\">%1</p>\n").arg(shown(text->trimmed())));
}

QString ingredientList(const FieldValue& ingredients)
{
    if (!hasText(ingredients))
        return {};
    QString items;
    for (const QString& line : ingredients->split(u'\n'))
        if (!line.trimmed().isEmpty())
            items += QStringLiteral("<li>%1</li>\n").arg(shown(line.trimmed()));
    return section("Ingredients", QStringLiteral("<ul class=\"ingredients\">\n%1</ul>\n").arg(items));
}

QString facts(const RecipeValues& r)
{
    QString spans;
    if (hasText(r[Field::FoodCategoryID]))
        spans += QStringLiteral("<span>Category: %1</span>").arg(shown(*r[Field::FoodCategoryID]));
    if (hasText(r[Field::TimeToPrepare]))
        spans += QStringLiteral("<span>Time: %1</span>").arg(shown(*r[Field::TimeToPrepare]));
    return spans.isEmpty() ? QString() : QStringLiteral("<p class=\"facts\">%1</p>\n").arg(spans);
}

} // namespace

CookbookWriter::CookbookWriter(QIODevice& out, const QString& title) : out_(out)
{
    const QString name = title.trimmed().isEmpty() ? QStringLiteral("Recipes") : shown(title);
    write(QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                         "<meta name=\"generator\" content=\"%1 %2.%3.%4\">\n<title>%5</title>\n"
                         "<style>\n%6</style>\n</head>\n<body>\n<h1>%5</h1>\n")
              .arg(generatorName())
              .arg(PANTRIO_VERSION_MAJOR)
              .arg(PANTRIO_VERSION_MINOR)
              .arg(PANTRIO_VERSION_REVISION)
              .arg(name, QLatin1StringView(Style)));
}

void CookbookWriter::write(const QString& text)
{
    out_.write(text.toUtf8());
}

void CookbookWriter::addContentsEntry(const FieldValue& name)
{
    if (!contentsOpen_) {
        write(QStringLiteral("<nav id=\"contents\">\n<h2>Contents</h2>\n<ol>\n"));
        contentsOpen_ = true;
    }
    ++entries_;
    write(QStringLiteral("<li><a href=\"#recipe-%1\">%2</a></li>\n").arg(entries_).arg(nameOf(name)));
}

void CookbookWriter::endContents()
{
    if (contentsOpen_)
        write(QStringLiteral("</ol>\n</nav>\n"));
    contentsOpen_ = false;
}

void CookbookWriter::addRecipe(const RecipeValues& r)
{
    if (!recipesOpen_) {
        endContents();
        write(QStringLiteral("<main>\n"));
        recipesOpen_ = true;
    }
    ++recipes_;
    QString html = QStringLiteral("<article class=\"recipe\" id=\"recipe-%1\" itemscope "
                                  "itemtype=\"https://schema.org/Recipe\">\n")
                       .arg(recipes_);
    // Each field's exact text, for the reader; a field without a value leaves no trace, so
    // that it does not come back as an empty text.
    const std::pair<Field, const char*> properties[] = {{Field::RecipeName, "name"},
                                                        {Field::FoodCategoryID, "recipeCategory"},
                                                        {Field::RecipeDescription, "description"},
                                                        {Field::TimeToPrepare, "totalTime"},
                                                        {Field::Ingredients, "recipeIngredient"},
                                                        {Field::Instructions, "recipeInstructions"},
                                                        {Field::Notes, "text"}};
    for (const auto& [field, property] : properties)
        if (const FieldValue& value = r[field])
            html += QStringLiteral("<meta itemprop=\"%1\" content=\"%2\">\n")
                        .arg(QLatin1StringView(property),
                             field == Field::TimeToPrepare ? timeData(*value) : exact(*value));
    // What the reader of the page sees.
    html += QStringLiteral("<h2>%1</h2>\n").arg(nameOf(r[Field::RecipeName]));
    html += facts(r);
    html += textSection("Description", r[Field::RecipeDescription]);
    html += ingredientList(r[Field::Ingredients]);
    html += textSection("Instructions", r[Field::Instructions]);
    html += textSection("Notes", r[Field::Notes]);
    html += QStringLiteral("<p class=\"back\"><a href=\"#contents\">Contents</a></p>\n</article>\n");
    write(html);
}

void CookbookWriter::finish()
{
    endContents();
    if (recipesOpen_)
        write(QStringLiteral("</main>\n"));
    else
        write(QStringLiteral("<p>This cookbook holds no recipes.</p>\n"));
    write(QStringLiteral("</body>\n</html>\n"));
}

} // namespace pantrio::exchange
