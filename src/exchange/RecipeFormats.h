#pragma once

#include "store/RecipeFields.h"

#include <cstdint>
#include <functional>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <stdexcept>

namespace pantrio::exchange {

enum class Format { Unknown, MealMaster, Json, Html, Access };

// Recognises a file by its first bytes (the extension only separates a web page from JSON
// when the content could be either).
Format detectFormat(const QString& path);
// The same for content in memory, `path` giving the extension.
Format detectFormat(const QByteArray& content, const QString& path);

// What a reader hands on as it goes. `recipe` returns false to stop reading.
struct ReadEvents
{
    std::function<bool(RecipeValues&& recipe, std::int64_t line)> recipe;
    std::function<void(std::int64_t line, const QString& problem)> problem;
    std::function<void(std::int64_t bytesRead)> progress;
};

// A whole file that cannot be read; nothing from it is to be kept.
class ReadError : public std::runtime_error
{
public:
    explicit ReadError(QString message) : std::runtime_error("read error"), message_(std::move(message)) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Readers go through the file once, line by line or piece by piece, never holding more than
// one recipe's text (a JSON file that is not an array is read whole, up to MaxWholeFile).
inline constexpr std::int64_t MaxWholeFile = 64 * 1024 * 1024;

void readMealMaster(QIODevice& in, const ReadEvents& events);
// Whether a MealMaster recipe begins somewhere in `head`, the start of a file.
bool holdsMealMasterHeader(QByteArrayView head);
void readJson(QIODevice& in, const ReadEvents& events);
// Where a page came from when it was fetched rather than saved: its address, the recipes'
// source when the page names none, and the charset its server declared.
struct PageOrigin
{
    QString address;
    QString charset;
};
void readHtml(QIODevice& in, const ReadEvents& events);
void readWebPage(QIODevice& in, const ReadEvents& events, const PageOrigin& origin);

// Writers put out one recipe at a time; a JSON file is an array, opened and closed around them.
void writeMealMaster(QIODevice& out, const RecipeValues& recipe);
void beginJson(QIODevice& out);
void writeJson(QIODevice& out, const RecipeValues& recipe, bool first);
void endJson(QIODevice& out);

} // namespace pantrio::exchange
