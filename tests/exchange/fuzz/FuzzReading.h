#pragma once
// What the reader targets share: the bytes as a device, and events that check what a reader
// hands on.

#include "exchange/RecipeFormats.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <QBuffer>

namespace pantrio::fuzz {

inline QByteArray bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Runs `reader` over `in`, open, which holds at most `size` bytes. A ReadError is an answer;
// anything else escaping, a recipe or problem at no line, progress going back, is a fault.
// Returns how many recipes were read.
template <typename Reader> int readAll(QIODevice& in, std::int64_t size, Reader reader)
{
    int recipes = 0;
    std::int64_t lastProgress = 0;
    exchange::ReadEvents events;
    events.recipe = [&](RecipeValues&&, std::int64_t line) {
        if (line < 1)
            fail("a recipe at no line");
        ++recipes;
        return true;
    };
    events.problem = [&](std::int64_t line, const QString& problem) {
        if (line < 1 || problem.isEmpty())
            fail("a problem at no line, or without words");
    };
    events.progress = [&](std::int64_t read) {
        if (read < lastProgress || read > size)
            fail("progress going back, or past the end");
        lastProgress = read;
    };
    try {
        reader(in, events);
    } catch (const exchange::ReadError& e) {
        if (e.message().isEmpty())
            fail("a refusal without words");
    }
    return recipes;
}

template <typename Reader> int readAll(const QByteArray& content, Reader reader)
{
    QBuffer in;
    in.setData(content);
    in.open(QIODevice::ReadOnly);
    return readAll(in, content.size(), reader);
}

} // namespace pantrio::fuzz
