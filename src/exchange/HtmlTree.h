#pragma once

// The parsed tree of a web page, shared by the readers of its parts.

#include "HtmlPage.h"

#include <libxml/HTMLparser.h>
#include <QString>

namespace pantrio::exchange::html {

bool isElement(const xmlNode* node, const char* name = nullptr);
bool hasAttribute(const xmlNode* node, const char* name);
QString attribute(const xmlNode* node, const char* name);
std::int64_t lineOf(const xmlNode* node);

// The text a reader sees: blank space collapsed, <br> and block elements as line breaks, no
// empty lines, scripts and styles left out.
QString elementText(const xmlNode* node);
// Runs of HTML's blank space (not the no-break space) as one space, none at the ends.
QString collapseSpace(QStringView text);

// The schema.org Recipe items of the page.
QList<PageContent::Item> microdataRecipes(xmlDoc* document);

} // namespace pantrio::exchange::html
