#pragma once

#include <cstdio>
#include <cstdlib>
#include <QFile>
#include <QStringList>

namespace pantrio::tools {

// The command line of one of the helper programs. `--help` prints the usage and ends the
// program; an option it does not know ends it with status 2 before anything is written, so a
// mistyped option never becomes a file name. `--` ends the options.
inline QStringList toolArguments(int argc, char* argv[], const char* usage, const char* about)
{
    const char* name = "pantrio-tool";
    if (argc > 0 && argv[0]) {
        name = argv[0];
        for (const char* c = argv[0]; *c; ++c)
            if (*c == '/')
                name = c + 1;
    }
    QStringList positional;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            std::printf("Usage: %s %s\n%s\n", name, usage, about);
            std::exit(0);
        } else if (options && arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "%s: unknown option \"%s\"\nUsage: %s %s\n", name, argv[i], name, usage);
            std::exit(2);
        } else {
            positional << arg;
        }
    }
    return positional;
}

} // namespace pantrio::tools
