// Saves recipes into a collection until it is killed, printing a line after each save that
// completed: "add N" after recipe "Saved N" was added, "edit N" after the first recipe's
// notes became "Edit N". The first save copies the collection into the backup folder.
//
//   pantrio-crash-child <file> <backup folder>

#include "store/RecordCursor.h"

#include <QFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace pantrio;
    if (argc != 3)
        return 2;
    try {
        RecordCursor::Backup backup;
        backup.folder = QFile::decodeName(argv[2]);
        auto cursor = RecordCursor::open(QFile::decodeName(argv[1]), {}, backup);
        std::printf("ready\n");
        std::fflush(stdout);
        for (int i = 1;; ++i) {
            cursor->addNew();
            cursor->setField(Field::RecipeName, QStringLiteral("Saved %1").arg(i));
            cursor->setField(Field::Instructions, QString(1000 + i % 5000, QLatin1Char('x')));
            cursor->update();
            std::printf("add %d\n", i);
            std::fflush(stdout);
            cursor->moveFirst();
            cursor->setField(Field::Notes, QStringLiteral("Edit %1").arg(i));
            cursor->update();
            std::printf("edit %d\n", i);
            std::fflush(stdout);
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}
