// Brings recipes into a collection and takes them out again.
//
//   pantrio-recipes import [--collection LOCATION] [--dry-run] [--allow-duplicates] FILE|ADDRESS...
//   pantrio-recipes export [--collection LOCATION] --format mealmaster|json|html FILE
//   pantrio-recipes copy --from LOCATION --to LOCATION
//
// Exit status: 0 done; 1 something was refused (the rest was imported); 2 wrong usage;
// 3 the collection or the output could not be used (nothing changed); 130 interrupted
// (nothing changed).

#include "exchange/PageFetcher.h"
#include "exchange/RecipeExport.h"
#include "exchange/RecipeFormats.h"
#include "exchange/RecipeImport.h"
#include "platform/CollectionLocation.h"
#include "store/CollectionAddress.h"
#include "store/FileStore.h"
#include "store/RecipeTable.h"
#include "store/RecordCursor.h"
#include "store/StoreError.h"

#include <csignal>
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace pantrio;

enum Exit { Done = 0, Refused = 1, Usage = 2, CannotUse = 3, Interrupted = 130 };

volatile std::sig_atomic_t interrupted = 0;

void onSignal(int)
{
    interrupted = 1;
}

void print(std::FILE* to, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

const char* const HelpText = R"(Usage:
  pantrio-recipes import [--collection LOCATION] [--dry-run] [--allow-duplicates] FILE|ADDRESS...
  pantrio-recipes export [--collection LOCATION] --format mealmaster|json|html FILE
  pantrio-recipes copy --from LOCATION --to LOCATION

import  adds the recipes of each FILE to the collection, all in one step: an interruption
        leaves the collection as it was. Files are recognised by their content: MealMaster
        text, schema.org Recipe JSON-LD (.json files and web pages), web pages with
        schema.org Recipe microdata, and Microsoft Access collections of the earlier version
        of Pantrio. An http:// or https:// ADDRESS is fetched and read as a saved page. A
        recipe equal to one already in the collection (same name, category, ingredients and
        instructions) is skipped.
export  writes every recipe of the collection to FILE, or to standard output when FILE is -.
copy    copies every recipe of one collection into another that holds none, in one step:
        a file onto a database server and back, or between two files or two servers.

A LOCATION is a collection file, or a PostgreSQL database given by a connection URI
(postgresql://host/database?user=name) or by key=value pairs (host=... dbname=...).
Passwords come from ~/.pgpass or the PG* environment variables, never from the command line.

Options:
  --collection LOCATION  the collection to use (default: the one Pantrio opens, %1);
                       import creates a file that does not exist
  --from, --to LOCATION  where copy reads and writes; it creates a file that does not exist
  --dry-run            read and check everything, change nothing
  --allow-duplicates   import recipes even when the collection holds them already
  --format FORMAT      mealmaster, json (schema.org Recipe JSON-LD) or html (a printable
                       cookbook, one web page that import reads back)
  --help               show this text

Exit status: 0 done; 1 something was refused, the rest was imported; 2 wrong usage;
3 the collection or the output file could not be used, nothing changed; 130 interrupted,
nothing changed.)";

int usage(const QString& problem)
{
    print(stderr, QStringLiteral("pantrio-recipes: %1").arg(problem));
    print(stderr, QStringLiteral("Try 'pantrio-recipes --help' for more information."));
    return Usage;
}

// Progress on a terminal, a few times a second; nothing when the output goes elsewhere.
class Progress
{
public:
    Progress() : enabled_(isatty(STDERR_FILENO)) { clock_.start(); }
    ~Progress() { clear(); }

    void show(int count, const QString& total)
    {
        if (!enabled_ || clock_.elapsed() - last_ < 200)
            return;
        last_ = clock_.elapsed();
        const double rate = last_ > 0 ? count * 1000.0 / double(last_) : 0;
        const QLocale locale;
        std::fprintf(stderr, "\r\033[K%s recipes%s, %s/s", locale.toString(count).toLocal8Bit().constData(),
                     total.toLocal8Bit().constData(),
                     locale.toString(qint64(rate)).toLocal8Bit().constData());
        std::fflush(stderr);
        shown_ = true;
    }

    // A line of its own, e.g. for a fetch that takes a while.
    void note(const QString& text)
    {
        if (!enabled_ || clock_.elapsed() < 1000 || clock_.elapsed() - last_ < 200)
            return;
        last_ = clock_.elapsed();
        std::fprintf(stderr, "\r\033[K%s", text.toLocal8Bit().constData());
        std::fflush(stderr);
        shown_ = true;
    }

    void clear()
    {
        if (shown_)
            std::fputs("\r\033[K", stderr);
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
    QElapsedTimer clock_;
    qint64 last_ = -1000;
};

QString plural(int n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1StringView(n == 1 ? one : many));
}

// A message about the file a new collection is built in names the collection the user asked for.
QString asAsked(QString message, const QString& target, const QString& collection)
{
    return target == collection ? message : message.replace(shown(target), shown(collection));
}

// An argument like `https://...` or `ftp:...` is an address, unless a file goes by that name.
bool isAddress(const QString& argument)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(argument).hasMatch() && !QFileInfo::exists(argument);
}

// The web pages among `names`, fetched; an address that cannot be fetched is reported and left
// out of `names`. False when interrupted.
bool fetchPages(QStringList& names, QHash<QString, exchange::FetchedPage>& pages, int& refused)
{
    QStringList kept;
    for (const QString& name : names) {
        if (!isAddress(name)) {
            kept << name;
            continue;
        }
        Progress progress;
        const exchange::FetchResult page =
            exchange::fetchPage(QUrl(name), exchange::PageFetcher::DefaultStallLimit, [&](qint64 received) {
                progress.note(QStringLiteral("fetching %1, %2 kB").arg(name).arg(received / 1000));
                return !interrupted;
            });
        progress.clear();
        if (interrupted)
            return false;
        if (!page.ok()) {
            print(stderr, QStringLiteral("pantrio-recipes: \"%1\" was refused: %2.").arg(name, page.problem));
            ++refused;
            continue;
        }
        pages.insert(name, {page.body, page.charset, page.address.toString()});
        kept << name;
    }
    names = kept;
    return true;
}

// Refusals on standard error, progress on the terminal; an interrupt stops the import.
exchange::ImportReport reportOn(Progress& progress)
{
    exchange::ImportReport report;
    report.refusedFile = [&progress](const QString& file, const QString& problem) {
        progress.clear();
        print(stderr, QStringLiteral("pantrio-recipes: \"%1\" was refused: %2.").arg(shown(file), problem));
    };
    report.refusedRecipe = [&progress](const QString& file, std::int64_t line, const QString& problem) {
        progress.clear();
        print(stderr,
              QStringLiteral("%1:%2: a recipe was refused: %3.").arg(shown(file)).arg(line).arg(problem));
    };
    report.progress = [&progress](const exchange::ImportSummary& sofar, std::int64_t done,
                                  std::int64_t total) {
        if (total > 0)
            progress.show(
                sofar.imported + sofar.duplicates,
                QStringLiteral(", %1% of %2 MB").arg(done * 100 / total).arg((total + 999999) / 1000000));
        return !interrupted;
    };
    return report;
}

int runImport(const QString& collection, QStringList files, bool dryRun, bool allowDuplicates)
{
    QHash<QString, exchange::FetchedPage> pages;
    int fetchesRefused = 0;
    if (!fetchPages(files, pages, fetchesRefused)) {
        print(stderr, QStringLiteral("pantrio-recipes: interrupted; nothing was imported."));
        return Interrupted;
    }

    // A new collection is built under a temporary name and put in place only when complete.
    const bool create = !isServerAddress(collection) && !QFileInfo::exists(collection);
    const QString target = create ? collection + QStringLiteral(".pantrio-import") : collection;
    const auto dropTarget = [&] {
        // The journal too: a failed commit (a full disk) leaves it beside the file.
        if (create)
            for (const char* end : {"", "-journal", "-wal", "-shm"})
                QFile::remove(target + QLatin1String(end));
    };
    if (create) {
        dropTarget(); // an earlier interrupted import's
        try {
            RecipeTable::createFile(target);
        } catch (const StoreError& e) {
            dropTarget();
            print(stderr,
                  QStringLiteral("pantrio-recipes: %1").arg(asAsked(e.message(), target, collection)));
            return CannotUse;
        }
    }

    exchange::ImportSummary summary;
    Progress progress;
    const exchange::ImportReport report = reportOn(progress);

    try {
        auto cursor = RecordCursor::open(target, {OpenMode::Exclusive, 2000});
        cursor->transact([&](RecipeRows& rows, std::int64_t firstFreeId) {
            summary = exchange::importFiles(rows, firstFreeId, files, allowDuplicates, report, pages);
            return !summary.cancelled && !dryRun && !interrupted;
        });
        cursor->close();
    } catch (const StoreError& e) {
        progress.clear();
        dropTarget();
        print(stderr, QStringLiteral("pantrio-recipes: %1 Nothing was imported.")
                          .arg(asAsked(e.message(), target, collection)));
        return CannotUse;
    }
    progress.clear();
    summary.refused += fetchesRefused;
    if (summary.cancelled || interrupted) {
        dropTarget();
        print(stderr, QStringLiteral("pantrio-recipes: interrupted; nothing was imported."));
        return Interrupted;
    }
    if (create) {
        // Nothing readable, nothing created: a mistyped file name leaves no empty collection behind.
        const bool keep = !dryRun && !(summary.imported == 0 && summary.refused > 0);
        if (!keep || !QFile::rename(target, collection)) {
            dropTarget();
            if (keep) {
                print(stderr,
                      QStringLiteral("pantrio-recipes: the new collection could not be saved as \"%1\". "
                                     "Nothing was imported.")
                          .arg(shown(collection)));
                return CannotUse;
            }
        }
    }
    const QString counts = QStringLiteral("%1, %2 skipped, %3 refused.")
                               .arg(plural(summary.imported, "recipe", "recipes"),
                                    plural(summary.duplicates, "duplicate", "duplicates"))
                               .arg(summary.refused);
    print(stdout,
          (dryRun ? QStringLiteral("Dry run, nothing changed: would import ") : QStringLiteral("Imported ")) +
              counts);
    return summary.refused ? Refused : Done;
}

// Why an output file cannot be written where it is named; empty when it can.
QString outputRefusal(const QString& file)
{
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (info.isDir())
        return QStringLiteral("\"%1\" is a folder; name a file in it.").arg(shown(file));
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(file).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        const char* kind = S_ISFIFO(st.st_mode)                         ? "a named pipe, not a file"
                           : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device, not a file"
                                                                        : "not an ordinary file";
        return QStringLiteral("\"%1\" is %2; name a new file, or - for standard output.")
            .arg(shown(file), QLatin1String(kind));
    }
    return QStringLiteral("\"%1\" already exists; choose another name.").arg(shown(file));
}

// An Access collection of the earlier version is read by import only: say how to get at it.
bool isAccessFile(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray kind = f.read(19).mid(4);
    return kind == "Standard Jet DB" || kind == "Standard ACE DB";
}

int runExport(const QString& collection, const QString& format, const QString& file)
{
    const bool toStdout = file == u"-";
    if (const QString refusal = toStdout ? QString() : outputRefusal(file); !refusal.isEmpty()) {
        print(stderr, QStringLiteral("pantrio-recipes: %1").arg(refusal));
        return CannotUse;
    }
    if (isAccessFile(collection)) {
        print(stderr,
              QStringLiteral("pantrio-recipes: \"%1\" is an Access file of an earlier version: open it in "
                             "Pantrio to convert it, or import it into a collection with "
                             "\"pantrio-recipes import\".")
                  .arg(shown(collection)));
        return CannotUse;
    }
    QFile out;
    QSaveFile saved(file);
    QIODevice* device = &saved;
    if (toStdout) {
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            print(stderr, QStringLiteral("pantrio-recipes: standard output cannot be written."));
            return CannotUse;
        }
        device = &out;
    } else if (!saved.open(QIODevice::WriteOnly)) {
        print(stderr, QStringLiteral("pantrio-recipes: \"%1\" cannot be written (%2).")
                          .arg(shown(file), saved.errorString()));
        return CannotUse;
    }

    int count = 0;
    Progress progress;
    const auto exportFrom = [&](RecipeRows& rows, int total) {
        const QString ofTotal = QStringLiteral(" of %1").arg(QLocale().toString(total));
        exchange::ExportChoice choice;
        choice.format = format == u"json"   ? exchange::ExportFormat::Json
                        : format == u"html" ? exchange::ExportFormat::Html
                                            : exchange::ExportFormat::MealMaster;
        choice.title = toStdout ? QString() : QFileInfo(file).completeBaseName();
        count = exchange::exportRecipes(rows, *device, choice, [&](int written) {
            progress.show(written, ofTotal);
            return !interrupted;
        });
    };
    try {
        if (isServerAddress(collection)) {
            auto cursor = RecordCursor::open(collection, {OpenMode::Shared, 2000});
            cursor->read([&](RecipeRows& rows) { exportFrom(rows, cursor->recordCount()); });
        } else {
            // The cursor checks that the file is a collection and says why not; the rows are then
            // read on a connection of their own that never writes, so a read-only file exports too.
            int total = 0;
            {
                auto cursor = RecordCursor::open(collection, {OpenMode::Shared, 2000});
                total = cursor->recordCount();
            }
            sqlite::Database db(collection, SQLITE_OPEN_READONLY);
            sqlite3_busy_timeout(db.handle(), 2000);
            db.exec("BEGIN", QStringLiteral("read the recipe file")); // one consistent snapshot
            FileRows rows(db);
            exportFrom(rows, total);
            db.exec("COMMIT", QStringLiteral("read the recipe file"));
        }
    } catch (const StoreError& e) {
        progress.clear();
        print(stderr, QStringLiteral("pantrio-recipes: %1").arg(e.message()));
        return CannotUse;
    }
    progress.clear();
    if (interrupted) {
        print(stderr, QStringLiteral("pantrio-recipes: interrupted; nothing was exported."));
        return Interrupted;
    }
    if (toStdout ? !out.flush() : !saved.commit()) {
        print(stderr, QStringLiteral("pantrio-recipes: \"%1\" could not be written (%2).")
                          .arg(toStdout ? QStringLiteral("-") : shown(file), device->errorString()));
        return CannotUse;
    }
    print(toStdout ? stderr : stdout, QStringLiteral("Exported %1.").arg(plural(count, "recipe", "recipes")));
    return Done;
}

// Fills an empty collection with every recipe of another, ids kept, in one transaction.
int runCopy(const QString& from, const QString& to)
{
    const bool create = !isServerAddress(to) && !QFileInfo::exists(to);
    const QString target = create ? to + QStringLiteral(".pantrio-copy") : to;
    const auto dropTarget = [&] {
        if (create)
            for (const char* end : {"", "-journal", "-wal", "-shm"})
                QFile::remove(target + QLatin1String(end));
    };
    int copied = 0;
    Progress progress;
    try {
        auto source = RecordCursor::open(from, {OpenMode::Shared, 2000});
        const QString ofTotal = QStringLiteral(" of %1").arg(QLocale().toString(source->recordCount()));
        if (create) {
            dropTarget(); // an earlier interrupted copy's
            RecipeTable::createFile(target);
        }
        auto sink = RecordCursor::open(target, {OpenMode::Exclusive, 2000});
        if (sink->recordCount() > 0) {
            print(stderr, QStringLiteral("pantrio-recipes: \"%1\" holds recipes already; copy fills an empty "
                                         "collection only (import adds to one). Nothing was copied.")
                              .arg(shown(to)));
            return CannotUse;
        }
        source->read([&](RecipeRows& in) {
            sink->transact([&](RecipeRows& out, std::int64_t) {
                in.forEach([&](std::int64_t id, const RecipeValues& values) {
                    out.insert(id, values);
                    progress.show(++copied, ofTotal);
                    return !interrupted;
                });
                return !interrupted;
            });
        });
        sink->close();
    } catch (const StoreError& e) {
        progress.clear();
        dropTarget();
        print(
            stderr,
            QStringLiteral("pantrio-recipes: %1 Nothing was copied.").arg(asAsked(e.message(), target, to)));
        return CannotUse;
    }
    progress.clear();
    if (interrupted) {
        dropTarget();
        print(stderr, QStringLiteral("pantrio-recipes: interrupted; nothing was copied."));
        return Interrupted;
    }
    if (create && !QFile::rename(target, to)) {
        dropTarget();
        print(stderr,
              QStringLiteral("pantrio-recipes: the copy could not be saved as \"%1\". Nothing was copied.")
                  .arg(shown(to)));
        return CannotUse;
    }
    print(stdout, QStringLiteral("Copied %1.").arg(plural(copied, "recipe", "recipes")));
    return Done;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    // The collection pantrio opens: beside the program, or for an installed copy in the user's
    // data folder.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const CollectionFolders folders{
        programFolder, userDataFolder(),
        QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral(PANTRIO_INSTALLED_DATA)))};
    const CollectionLocation location = CollectionLocation::choose(folders, folderIsWritable);
    const QString defaultCollection = location.collection;
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        print(stdout, QString::fromUtf8(HelpText).arg(shown(defaultCollection)));
        return Done;
    }
    if (args.isEmpty())
        return usage(QStringLiteral("say import, export or copy."));
    const QString command = args.takeFirst();
    if (command != u"import" && command != u"export" && command != u"copy")
        return usage(QStringLiteral("unknown command \"%1\"; say import, export or copy.").arg(command));

    QString collection = defaultCollection, format, from, to;
    bool dryRun = false, allowDuplicates = false;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--collection" || a == u"--format") {
            if (i + 1 == args.size())
                return usage(QStringLiteral("%1 needs a value.").arg(a));
            (a == u"--collection" ? collection : format) = args[++i];
        } else if ((a == u"--from" || a == u"--to") && command == u"copy") {
            if (i + 1 == args.size())
                return usage(QStringLiteral("%1 needs a value.").arg(a));
            (a == u"--from" ? from : to) = args[++i];
        } else if (a == u"--dry-run" && command == u"import") {
            dryRun = true;
        } else if (a == u"--allow-duplicates" && command == u"import") {
            allowDuplicates = true;
        } else if (a == u"--") {
            files += args.mid(i + 1);
            break;
        } else if (a.startsWith(u"--")) {
            return usage(QStringLiteral("unknown option %1 for %2.").arg(a, command));
        } else {
            files << a;
        }
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);

    if (command == u"copy") {
        if (from.isEmpty() || to.isEmpty() || !files.isEmpty() || !format.isEmpty() ||
            collection != defaultCollection)
            return usage(QStringLiteral("copy takes --from LOCATION and --to LOCATION, nothing else."));
        if (from == to)
            return usage(QStringLiteral("--from and --to name the same collection."));
        return runCopy(from, to);
    }
    if (command == u"import") {
        if (!format.isEmpty())
            return usage(QStringLiteral("import recognises formats by content; --format is for export."));
        if (files.isEmpty())
            return usage(QStringLiteral("name at least one file or address to import."));
        // Pantrio would start a missing default collection with the sample; importing into it
        // first must not take that away.
        if (collection == defaultCollection)
            location.provideSample();
        return runImport(collection, files, dryRun, allowDuplicates);
    }
    if (format != u"mealmaster" && format != u"json" && format != u"html")
        return usage(QStringLiteral("export needs --format mealmaster, json or html."));
    if (files.size() != 1)
        return usage(QStringLiteral("export writes one file (or - for standard output)."));
    return runExport(collection, format, files.first());
}
