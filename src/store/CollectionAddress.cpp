#include "CollectionAddress.h"

#include <libpq-fe.h>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace pantrio {

namespace {

bool isUri(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

bool isKnownKeyword(const QString& keyword)
{
    PQconninfoOption* defaults = PQconndefaults();
    bool known = false;
    for (PQconninfoOption* o = defaults; o && o->keyword && !known; ++o)
        known = keyword == QLatin1String(o->keyword);
    PQconninfoFree(defaults);
    return known;
}

QString quoted(const QString& value)
{
    QString out = value;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

} // namespace

bool isServerAddress(const QString& location)
{
    if (isUri(location))
        return true;
    // Key=value pairs start with a keyword libpq knows; a file name such as "a=b.db" does not
    // parse as such pairs, or names no keyword libpq knows.
    static const QRegularExpression first(QStringLiteral("^\\s*([a-z_]+)\\s*="));
    const auto match = first.match(location);
    if (!match.hasMatch() || !isKnownKeyword(match.captured(1)))
        return false;
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(location.toUtf8().constData(), &error);
    if (error)
        PQfreemem(error);
    if (parsed)
        PQconninfoFree(parsed);
    return parsed != nullptr;
}

QString withoutPassword(const QString& address)
{
    if (isUri(address)) {
        QUrl url(address);
        if (!url.isValid())
            return address;
        url.setPassword(QString());
        QUrlQuery query(url);
        query.removeAllQueryItems(QStringLiteral("password"));
        url.setQuery(query);
        return url.toString();
    }
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(address.toUtf8().constData(), &error);
    if (error)
        PQfreemem(error);
    if (!options)
        return address;
    QStringList pairs;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && qstrcmp(o->keyword, "password") != 0)
            pairs << QLatin1String(o->keyword) + QLatin1Char('=') + quoted(QString::fromUtf8(o->val));
    PQconninfoFree(options);
    return pairs.join(QLatin1Char(' '));
}

} // namespace pantrio
