// Rewrites a recipe collection with the page size new collections get, which packs several
// recipes into a page: a collection made by an older Pantrio shrinks to about two thirds.
//
//   pantrio-compact FILE

#include "store/RecipeTable.h"
#include "store/StoreError.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace {

void print(std::FILE* to, const QString& text)
{
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

const QString Usage =
    QStringLiteral("Usage: pantrio-compact FILE\n"
                   "Rewrites the recipe collection FILE so that recipes share pages, which makes the file\n"
                   "smaller; recipes, their order and their contents stay as they are. Close Pantrio first:\n"
                   "a collection the recipe window holds open is refused. The rewrite needs free disk space\n"
                   "of about the file's size, and is undone if it cannot finish. The word index that the\n"
                   "search over every field uses is added, or rebuilt when another program left it incomplete.\n"
                   "\n"
                   "  -h, --help   show this text");

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList files;
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool optionsEnded = false;
    for (const QString& arg : args) {
        if (!optionsEnded && (arg == u"-h" || arg == u"--help")) {
            print(stdout, Usage);
            return 0;
        }
        if (!optionsEnded && arg == u"--")
            optionsEnded = true;
        else if (!optionsEnded && arg.startsWith(u'-') && arg.size() > 1) {
            print(stderr, QStringLiteral("pantrio-compact: unknown option \"%1\"; see pantrio-compact --help")
                              .arg(arg));
            return 2;
        } else
            files << arg;
    }
    if (files.size() != 1) {
        print(stderr, QStringLiteral("pantrio-compact: name one recipe file; see pantrio-compact --help"));
        return 2;
    }

    try {
        const auto done = pantrio::RecipeTable::compactFile(files.front());
        print(stdout, QStringLiteral("Compacted \"%1\": %2 to %3 (pages of %4 bytes, were %5).")
                          .arg(QDir::toNativeSeparators(files.front()), megabytes(done.bytesBefore),
                               megabytes(done.bytesAfter))
                          .arg(done.pageSizeAfter)
                          .arg(done.pageSizeBefore));
    } catch (const pantrio::StoreError& e) {
        print(stderr, QStringLiteral("pantrio-compact: %1").arg(e.message()));
        return 1;
    }
    return 0;
}
