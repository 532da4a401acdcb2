#pragma once

#include <cstdint>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace pantrio::exchange {

// A page's text from its bytes: by a byte-order mark, else by the charset the server
// (`declaredCharset`) or the page's <meta> declares, else UTF-8 with any broken bytes replaced.
// A page declared in a Latin code page whose bytes are all valid UTF-8 with some non-ASCII
// characters is UTF-8 that its server misnamed.
QString decodePage(QByteArrayView bytes, const QString& declaredCharset = {});

// What Pantrio reads from a page's markup.
struct PageContent
{
    struct Script
    {
        QByteArray json;
        std::int64_t line = 1;
    };
    struct Item
    {
        QJsonObject recipe; // a microdata recipe, written as the JSON-LD object it stands for
        std::int64_t line = 1;
    };
    QList<Script> jsonLd;     // the application/ld+json blocks, in page order
    QList<Item> microdata;    // the schema.org Recipe items, in page order
    QString canonicalAddress; // <link rel="canonical">, else <meta property="og:url">
    QString generator;        // <meta name="generator">: the program that wrote the page
};

PageContent readPageContent(const QString& page);

} // namespace pantrio::exchange
