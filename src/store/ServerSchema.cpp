#include "ServerSchema.h"

#include "RecipeTable.h"

#include <string_view>

namespace pantrio::ServerSchema {

namespace {

const QString OpenAction = QStringLiteral("open");

// The advisory lock that stands for the whole collection: one per database.
constexpr const char* LockKey = "7021350463938127689";

QByteArray wordsArguments()
{
    QByteArray out;
    for (Field f : allFields)
        out += (out.isEmpty() ? "" : ", ") + RecipeTable::quotedColumn(f);
    return out;
}

// The folded words are kept beside the fields: matching a row the index offers then reads
// them instead of folding the fields again, about eight times faster.
QByteArray tableSql()
{
    QByteArray columns;
    for (Field f : allFields)
        columns += ",\n    " + RecipeTable::quotedColumn(f) + " text";
    return QByteArray("CREATE TABLE ") + Table +
           " (\n    id bigint PRIMARY KEY,\n    row_version bigint NOT NULL DEFAULT 1" + columns + ",\n    " +
           WordsColumn + " text GENERATED ALWAYS AS (public.pantrio_words(" + wordsArguments() +
           ")) STORED\n)";
}

// Named with their schema throughout: maintenance (ANALYZE, REINDEX) may run them under
// another search path. The folding functions must be immutable for an index; unaccent() is only stable
// because its dictionary could change, which these wrappers accept (a changed dictionary calls for REINDEX).
QByteArray wordsFunctionSql()
{
    QByteArray parameters, joined;
    for (int i = 1; i <= FieldCount; ++i) {
        parameters += QByteArray(i > 1 ? ", " : "") + "text";
        joined += QByteArray(i > 1 ? " || E'\\n' || " : "") + "coalesce($" + QByteArray::number(i) + ", '')";
    }
    return "CREATE FUNCTION public.pantrio_words(" + parameters +
           ") RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ SELECT public.pantrio_fold(" + joined +
           ") $$";
}

constexpr const char* WordsIndex = "pantrio_recipes_words";

QByteArray namesIndexSql()
{
    return QByteArray("CREATE INDEX IF NOT EXISTS ") + NamesIndex + " ON " + Table + " USING gin ((" +
           namesExpression() + ") public.gin_trgm_ops)";
}

// The number of recipes, kept by the server as rows come and go: counting a million rows took
// a quarter of a second at every open. Made after the triggers, whose lock keeps other
// programs' changes out until the count is taken.
std::vector<QByteArray> countSql()
{
    const QByteArray table = Table;
    const auto trigger = [&](const char* name, const char* event, const char* rows) {
        return "CREATE TRIGGER " + QByteArray(name) + " AFTER " + event + " ON " + table + rows +
               " FOR EACH STATEMENT EXECUTE FUNCTION public.pantrio_counted()";
    };
    static_assert(std::string_view(CountTable) == "pantrio_count");
    return {
        "CREATE TABLE pantrio_count (n bigint NOT NULL)",
        "CREATE FUNCTION public.pantrio_counted() RETURNS trigger LANGUAGE plpgsql SET search_path FROM "
        "CURRENT "
        "AS $$ BEGIN\n"
        "    IF TG_OP = 'INSERT' THEN UPDATE pantrio_count SET n = n + (SELECT count(*) FROM added);\n"
        "    ELSIF TG_OP = 'DELETE' THEN UPDATE pantrio_count SET n = n - (SELECT count(*) FROM removed);\n"
        "    ELSE UPDATE pantrio_count SET n = 0;\n"
        "    END IF;\n"
        "    RETURN NULL;\n"
        "END $$",
        trigger("pantrio_count_added", "INSERT", " REFERENCING NEW TABLE AS added"),
        trigger("pantrio_count_removed", "DELETE", " REFERENCING OLD TABLE AS removed"),
        trigger("pantrio_count_emptied", "TRUNCATE", ""),
        "INSERT INTO pantrio_count SELECT count(*) FROM " + table};
}

// What a collection made before `name` was is given; one the user may not change goes on
// without it, only slower.
void addIfMissing(pg::Connection& db, const char* name, const std::vector<QByteArray>& statements)
{
    if (!db.exec("SELECT to_regclass($1)", {QByteArray(name)}, OpenAction).isNull(0, 0))
        return;
    db.exec("SAVEPOINT adding", OpenAction);
    try {
        for (const QByteArray& sql : statements)
            db.exec(sql.constData(), OpenAction);
        db.exec("RELEASE adding", OpenAction);
    } catch (const StoreError& e) {
        if (e.kind() == StoreError::Kind::ServerUnreachable || e.kind() == StoreError::Kind::Timeout)
            throw;
        db.exec("ROLLBACK TO adding", OpenAction);
    }
}

void create(pg::Connection& db)
{
    const auto run = [&](const QByteArray& sql) { db.exec(sql.constData(), OpenAction); };
    try {
        run("CREATE EXTENSION IF NOT EXISTS unaccent SCHEMA public");
        run("CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA public");
    } catch (const StoreError& e) {
        if (e.kind() == StoreError::Kind::ServerUnreachable || e.kind() == StoreError::Kind::Timeout)
            throw;
        db.rollBackQuietly();
        db.fail(StoreError::Kind::ExtensionMissing, OpenAction,
                QStringLiteral("the server could not add the extensions unaccent and pg_trgm, which a shared "
                               "collection needs (on Debian they come with postgresql-contrib, and the "
                               "database's owner may add them): %1")
                    .arg(e.message()));
    }
    run("CREATE TABLE pantrio_schema (version integer NOT NULL)");
    run("INSERT INTO pantrio_schema VALUES (" + QByteArray::number(Version) + ")");
    run("CREATE FUNCTION public.pantrio_fold(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE "
        "AS "
        "$$ SELECT public.unaccent('public.unaccent'::regdictionary, lower($1)) $$");
    run(wordsFunctionSql());
    run(tableSql());
    for (const SearchIndex& index : searchIndexes())
        run(index.create);
    for (const QByteArray& sql : countSql())
        run(sql);
}

bool tableExists(pg::Connection& db, const char* name)
{
    return !db.exec("SELECT to_regclass($1)", {QByteArray(name)}, OpenAction).isNull(0, 0);
}

void checkVersion(pg::Connection& db)
{
    const pg::Result version = db.exec("SELECT max(version) FROM pantrio_schema", OpenAction);
    const std::int64_t found = version.int64(0, 0);
    if (found != Version)
        db.fail(StoreError::Kind::NotADatabase, OpenAction,
                found > Version ? QStringLiteral("a newer Pantrio made it (layout %1); this one knows "
                                                 "layout %2")
                                      .arg(found)
                                      .arg(Version)
                                : QStringLiteral("its layout (%1) is not one Pantrio knows").arg(found));
}

// Creates the collection in an empty database; a database holding anything else is refused.
void createOrCheck(pg::Connection& db)
{
    db.exec("BEGIN", OpenAction);
    try {
        // Two programs opening a new database at once: the second waits and then finds it made.
        db.exec("SELECT pg_advisory_xact_lock(1, 0)", OpenAction);
        if (!tableExists(db, "pantrio_schema")) {
            const pg::Result tables =
                db.exec("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                        "WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f') AND n.nspname NOT IN ('pg_catalog', "
                        "'information_schema') AND n.nspname NOT LIKE 'pg\\_%'",
                        OpenAction);
            if (tables.int64(0, 0) > 0)
                db.fail(StoreError::Kind::NotADatabase, OpenAction,
                        QStringLiteral("the database holds other tables, not a recipe collection (a shared "
                                       "collection needs a database of its own)"));
            create(db);
        }
        checkVersion(db);
        if (!tableExists(db, Table))
            db.fail(StoreError::Kind::TableMissing, OpenAction,
                    QStringLiteral("it holds no table of recipes"));
        addIfMissing(db, NamesIndex, {namesIndexSql()});
        addIfMissing(db, CountTable, countSql());
        db.exec("COMMIT", OpenAction);
    } catch (...) {
        db.rollBackQuietly();
        throw;
    }
}

} // namespace

QByteArray namesExpression()
{
    return "lower(coalesce(" + RecipeTable::quotedColumn(Field::FoodCategoryID) +
           ", '') || E'\\n' || coalesce(" + RecipeTable::quotedColumn(Field::RecipeName) + ", ''))";
}

std::vector<SearchIndex> searchIndexes()
{
    return {{WordsIndex, QByteArray("CREATE INDEX IF NOT EXISTS ") + WordsIndex + " ON " + Table +
                             " USING gin (" + WordsColumn + " public.gin_trgm_ops)"},
            {NamesIndex, namesIndexSql()}};
}

pg::Connection open(const QString& address, OpenMode mode, int timeoutSeconds)
{
    pg::Connection db(address, timeoutSeconds);
    // Held by the session: it ends with the connection, however the program ends.
    // With it, whether the collection is complete: then only its layout is read, in one more trip.
    const QByteArray sql =
        QByteArray(mode == OpenMode::Exclusive ? "SELECT pg_try_advisory_lock($1::bigint)"
                                               : "SELECT pg_try_advisory_lock_shared($1::bigint)") +
        ", to_regclass('pantrio_schema') IS NOT NULL AND to_regclass($2) IS NOT NULL AND "
        "to_regclass($3) IS NOT NULL AND to_regclass($4) IS NOT NULL";
    const pg::Result held = db.exec(
        sql.constData(),
        {QByteArray(LockKey), QByteArray(Table), QByteArray(NamesIndex), QByteArray(CountTable)}, OpenAction);
    if (held.text(0, 0) != QLatin1String("t"))
        db.fail(StoreError::Kind::InUse, OpenAction,
                QStringLiteral("the collection is in use by another program"));
    if (held.text(0, 1) == QLatin1String("t"))
        checkVersion(db);
    else
        createOrCheck(db);
    return db;
}

} // namespace pantrio::ServerSchema
