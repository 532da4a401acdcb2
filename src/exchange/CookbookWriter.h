#pragma once

#include "store/RecipeFields.h"

#include <QIODevice>
#include <QString>

namespace pantrio::exchange {

// A printable cookbook: one HTML page, UTF-8, that reads well on a phone and prints each
// recipe on a page of its own. Its contents come first, then the recipes, each marked up as a
// schema.org Recipe in microdata that Pantrio's page reader takes back field for field.
//
// Written in one pass: every contents entry, then the recipes in the same order, then finish().
class CookbookWriter
{
public:
    CookbookWriter(QIODevice& out, const QString& title);

    void addContentsEntry(const FieldValue& name);
    void addRecipe(const RecipeValues& recipe);
    void finish();

    // What a cookbook's <meta name="generator"> begins with, by which the reader knows one.
    static QString generatorName() { return QStringLiteral("Pantrio"); }

private:
    void write(const QString& text);
    void endContents();

    QIODevice& out_;
    int entries_ = 0;
    int recipes_ = 0;
    bool contentsOpen_ = false;
    bool recipesOpen_ = false;
};

} // namespace pantrio::exchange
