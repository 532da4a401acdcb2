// Writes a benchmark collection of N generated recipes.
//
//   pantrio-bench-generate [--help] [--] N <file>

#include "RecipeGenerator.h"
#include "store/StoreError.h"
#include "ToolArguments.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <QFile>
#include <QFileInfo>
#include <QString>

int main(int argc, char* argv[])
{
    using namespace pantrio;
    const char* const usage = "[--help] [--] N <file>";
    const QStringList args =
        tools::toolArguments(argc, argv, usage, "Writes a benchmark collection of N generated recipes.");
    if (args.size() != 2) {
        std::fprintf(stderr, "Usage: pantrio-bench-generate %s\n", usage);
        return 1;
    }
    bool isNumber = false;
    const long long count = args.at(0).toLongLong(&isNumber);
    if (!isNumber || count < bench::MinimumCount) {
        std::fprintf(stderr, "pantrio-bench-generate: N must be a whole number of at least %lld recipes\n",
                     static_cast<long long>(bench::MinimumCount));
        return 1;
    }
    const QString path = args.at(1);

    const auto start = std::chrono::steady_clock::now();
    try {
        bench::RecipeGenerator(count).writeFile(path);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "pantrio-bench-generate: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("generated %lld recipes in %.1f s, %.1f MB\n", count, seconds,
                double(QFileInfo(path).size()) / (1024.0 * 1024.0));
    return 0;
}
