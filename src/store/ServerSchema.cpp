#include "ServerSchema.h"

#include "RecipeTable.h"

#include <charconv>
#include <string_view>

namespace pantrio::ServerSchema {

namespace {

const QString OpenAction = QStringLiteral("open");

// The advisory lock that stands for the whole collection: one per database.
constexpr const char* LockKey = "7021350463938127689";

QByteArray tableSql()
{
    QByteArray columns;
    for (Field f : allFields)
        columns += ",\n    " + RecipeTable::quotedColumn(f) + " text";
    return QByteArray("CREATE TABLE ") + Table +
           " (\n    id bigint PRIMARY KEY,\n    row_version bigint NOT NULL DEFAULT 1" + columns + ",\n    " +
           TermsColumn + " integer[]\n)";
}

constexpr const char* TermsIndex = "pantrio_recipes_terms";

// No statistics for what no plan weighs: the long texts are only ever read by id, and a search
// asks for all the rows the numbers offer, whatever their count. Gathering them was most of
// what the server's statistics took after a large import.
QByteArray statisticsSql()
{
    QByteArray sql = QByteArray("ALTER TABLE ") + Table;
    for (Field f : {Field::RecipeDescription, Field::Ingredients, Field::Instructions, Field::Notes})
        sql += " ALTER COLUMN " + RecipeTable::quotedColumn(f) + " SET STATISTICS 0,";
    return sql + " ALTER COLUMN " + TermsColumn + " SET STATISTICS 0";
}

// The vocabulary, and what keeps another program's rows from claiming numbers they may not
// have: only a connection that says it keeps them (open()) may write them. A row whose numbers
// are gone is found through its own small index.
std::vector<QByteArray> termsSql()
{
    const QByteArray table = Table, terms = TermsColumn;
    return {QByteArray("CREATE TABLE ") + VocabularyTable + " (word bytea PRIMARY KEY)",
            "CREATE FUNCTION public.pantrio_terms_kept() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN\n"
            "    IF current_setting('pantrio.terms', true) IS DISTINCT FROM 'kept' THEN\n"
            "        NEW." +
                terms +
                " := NULL;\n"
                "    END IF;\n"
                "    RETURN NEW;\n"
                "END $$",
            "CREATE TRIGGER pantrio_terms_kept BEFORE INSERT OR UPDATE ON " + table +
                " FOR EACH ROW WHEN (NEW." + terms +
                " IS NOT NULL) EXECUTE FUNCTION public.pantrio_terms_kept()",
            "CREATE INDEX pantrio_recipes_unindexed ON " + table + " (id) WHERE " + terms + " IS NULL"};
}

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
        run("CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA public");
    } catch (const StoreError& e) {
        if (e.kind() == StoreError::Kind::ServerUnreachable || e.kind() == StoreError::Kind::Timeout)
            throw;
        db.rollBackQuietly();
        db.fail(StoreError::Kind::ExtensionMissing, OpenAction,
                QStringLiteral("the server could not add the extension pg_trgm, which a shared "
                               "collection needs (on Debian it comes with postgresql-contrib, and the "
                               "database's owner may add it): %1")
                    .arg(e.message()));
    }
    run("CREATE TABLE pantrio_schema (version integer NOT NULL)");
    run("INSERT INTO pantrio_schema VALUES (" + QByteArray::number(Version) + ")");
    run(tableSql());
    run(statisticsSql());
    for (const QByteArray& sql : termsSql())
        run(sql);
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

// The first layout kept the folded text itself, with a trigram index over it. Its rows come
// over without numbers, which searches read directly until a full window numbers them
// (ServerStore::numberUnnumbered). Only the table's owner may do it; anyone else is told so.
void upgradeFirstLayout(pg::Connection& db)
{
    if (db.exec("SELECT max(version) FROM pantrio_schema", OpenAction).int64(0, 0) != 1)
        return;
    try {
        const QByteArray table = Table;
        db.exec("ALTER TABLE " + table + " DROP COLUMN IF EXISTS pantrio_words, ADD COLUMN " + TermsColumn +
                    " integer[]",
                OpenAction);
        QByteArray parameters = "text";
        for (int i = 1; i < FieldCount; ++i)
            parameters += ", text";
        db.exec("DROP FUNCTION IF EXISTS public.pantrio_words(" + parameters + ")", OpenAction);
        db.exec("DROP FUNCTION IF EXISTS public.pantrio_fold(text)", OpenAction);
        for (const QByteArray& sql : termsSql())
            db.exec(sql.constData(), OpenAction);
        db.exec(statisticsSql().constData(), OpenAction);
        db.exec(searchIndexes().front().create.constData(), OpenAction);
        db.exec("UPDATE pantrio_schema SET version = " + QByteArray::number(Version), OpenAction);
    } catch (const StoreError& e) {
        if (e.kind() == StoreError::Kind::ServerUnreachable || e.kind() == StoreError::Kind::Timeout)
            throw;
        db.fail(StoreError::Kind::NotADatabase, OpenAction,
                QStringLiteral("an earlier Pantrio made it, and only the database's owner may bring it up "
                               "to date (open it once as that user): %1")
                    .arg(e.message()));
    }
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
        upgradeFirstLayout(db);
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

RecipeValues fieldsOf(const pg::Result& r, int row, int first)
{
    RecipeValues v;
    for (Field f : allFields)
        v[f] = r.text(row, first + int(fieldIndex(f)));
    return v;
}

std::vector<std::int64_t> idsOf(const pg::Result& r)
{
    std::vector<std::int64_t> ids;
    int size = 0;
    const char* text = r.utf8(0, 0, &size);
    ids.reserve(std::size_t(size / 4));
    for (const char *at = text, *end = text + size; at < end; ++at) {
        std::int64_t id = 0;
        at = std::from_chars(at, end, id).ptr;
        ids.push_back(id);
    }
    return ids;
}

QByteArray namesExpression()
{
    return "lower(coalesce(" + RecipeTable::quotedColumn(Field::FoodCategoryID) +
           ", '') || E'\\n' || coalesce(" + RecipeTable::quotedColumn(Field::RecipeName) + ", ''))";
}

std::vector<SearchIndex> searchIndexes()
{
    return {{TermsIndex, QByteArray("CREATE INDEX IF NOT EXISTS ") + TermsIndex + " ON " + Table +
                             " USING gin (" + TermsColumn + ")"},
            {NamesIndex, namesIndexSql()}};
}

pg::Connection open(const QString& address, OpenMode mode, int timeoutSeconds)
{
    pg::Connection db(address, timeoutSeconds);
    // Held by the session: it ends with the connection, however the program ends.
    // With it, whether the collection is complete: then only its layout is read, in one more trip.
    // Said once for the session: its writes keep each recipe's word numbers (ServerTerms.h), and
    // long texts are compressed by lz4 where the server has it, which stores an import's rows in
    // two thirds of the time its own default takes.
    const QByteArray sql =
        QByteArray(mode == OpenMode::Exclusive ? "SELECT pg_try_advisory_lock($1::bigint)"
                                               : "SELECT pg_try_advisory_lock_shared($1::bigint)") +
        ", to_regclass('pantrio_schema') IS NOT NULL AND to_regclass($2) IS NOT NULL AND "
        "to_regclass($3) IS NOT NULL AND to_regclass($4) IS NOT NULL AND to_regclass($5) IS NOT NULL, "
        "set_config('pantrio.terms', 'kept', false), (SELECT set_config('default_toast_compression', "
        "'lz4', false) FROM pg_settings WHERE name = 'default_toast_compression' AND 'lz4' = ANY(enumvals))";
    const pg::Result held = db.exec(sql.constData(),
                                    {QByteArray(LockKey), QByteArray(Table), QByteArray(NamesIndex),
                                     QByteArray(CountTable), QByteArray(VocabularyTable)},
                                    OpenAction);
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
