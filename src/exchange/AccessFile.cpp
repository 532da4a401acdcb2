#include "AccessFile.h"

#include "AccessProtocol.h"
#include "platform/ChildProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <stdexcept>

namespace pantrio::exchange {

namespace {

using namespace std::chrono_literals;

const QString ReaderName = QStringLiteral("pantrio-access-reader");

ReadError damaged()
{
    return ReadError(QStringLiteral("the Access file could not be read (it may be damaged)"));
}

// The reader is not trusted: every frame is checked against its bounds and the data's own.
class FrameParser
{
public:
    FrameParser(const char* data, std::uint32_t size) : at_(data), end_(data + size) {}

    std::uint8_t byte()
    {
        need(1);
        return std::uint8_t(*at_++);
    }
    std::uint32_t u32()
    {
        need(4);
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i)
            n |= std::uint32_t(std::uint8_t(*at_++)) << (8 * i);
        return n;
    }
    QString string(std::uint32_t max)
    {
        const std::uint32_t size = u32();
        if (size > max)
            throw damaged();
        need(size);
        // Cut at a NUL, as the library's own C strings would be.
        const QString text = QString::fromUtf8(at_, qstrnlen(at_, size));
        at_ += size;
        return text;
    }
    void end() const
    {
        if (at_ != end_)
            throw damaged();
    }

private:
    void need(std::uint32_t n) const
    {
        if (std::uint64_t(end_ - at_) < n)
            throw damaged();
    }
    const char* at_;
    const char* end_;
};

ReadError failure(std::uint8_t problem, const QString& table)
{
    switch (problem) {
    case access::NotAccess:
        return ReadError(QStringLiteral("the file is not a readable Access database"));
    case access::NoCatalog:
        return ReadError(QStringLiteral("the Access database's list of tables cannot be read"));
    case access::NoTable:
        return ReadError(QStringLiteral("the Access database has no table \"%1\"").arg(table));
    case access::BadTable:
        return ReadError(QStringLiteral("the Access table \"%1\" cannot be read").arg(table));
    default:
        return damaged();
    }
}

// One run of the reader: frames in, rows out.
class TableRead
{
public:
    TableRead(const QString& path, const QString& table, const AccessRow& row, const AccessReading& how)
        : table_(table), row_(row), how_(how),
          // A row takes a few bytes of the file at least; more rows than that are a loop.
          maxRows_(std::max<std::int64_t>(QFileInfo(path).size() / 2, 1000))
    {}

    enum class Outcome { More, Finished, Cancelled };

    // Handles the frames complete in `buffer` and removes them from it.
    Outcome take(QByteArray& buffer)
    {
        qsizetype at = 0;
        Outcome outcome = Outcome::More;
        while (outcome == Outcome::More && buffer.size() - at >= 4) {
            FrameParser head(buffer.constData() + at, 4);
            const std::uint32_t size = head.u32();
            if (size == 0 || size > access::MaxFrame)
                throw damaged();
            if (buffer.size() - at - 4 < qsizetype(size))
                break;
            outcome = frame(FrameParser(buffer.constData() + at + 4, size));
            at += 4 + qsizetype(size);
        }
        buffer.remove(0, at);
        return outcome;
    }

    bool goOn() const { return !how_.progress || how_.progress(rows_, claimed_); }

private:
    Outcome frame(FrameParser in)
    {
        const char kind = char(in.byte());
        if (kind == access::Failure) {
            const std::uint8_t problem = in.byte();
            in.end();
            throw failure(problem, table_);
        }
        if (kind == access::Done) {
            in.end();
            return Outcome::Finished;
        }
        if (kind == access::Table && columns_.isEmpty()) {
            claimed_ = in.u32();
            const std::uint32_t count = in.u32();
            if (count == 0 || count > access::MaxColumns)
                throw damaged();
            for (std::uint32_t i = 0; i < count; ++i)
                columns_ << in.string(1024);
            in.end();
            values_.resize(count);
            return Outcome::More;
        }
        if (kind != access::Row || columns_.isEmpty() || in.u32() != std::uint32_t(columns_.size()) ||
            ++rows_ > maxRows_)
            throw damaged();
        for (FieldValue& v : values_) {
            const std::uint8_t present = in.byte();
            if (present > 1)
                throw damaged();
            v = present ? std::optional(in.string(access::BindSize)) : std::nullopt;
            if (v && v->isEmpty())
                v = std::nullopt;
        }
        in.end();
        if (!row_(columns_, values_))
            return Outcome::Finished;
        return goOn() ? Outcome::More : Outcome::Cancelled;
    }

    QString table_;
    const AccessRow& row_;
    const AccessReading& how_;
    std::int64_t maxRows_;
    std::int64_t rows_ = 0, claimed_ = 0;
    QStringList columns_;
    QList<FieldValue> values_;
};

} // namespace

QString accessReaderProgram()
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QDir here = QFileInfo(self).dir();
    const QString candidates[] = {here.filePath(ReaderName),
                                  QDir::cleanPath(here.filePath(QStringLiteral(PANTRIO_READER_FROM_BIN))),
                                  QStringLiteral(PANTRIO_READER_INSTALLED)};
    for (const QString& c : candidates)
        if (QFileInfo(c).isExecutable())
            return c;
    return candidates[1];
}

bool readAccessTable(const QString& path, const QString& table, const AccessRow& row,
                     const AccessReading& how)
{
    const QString program = how.reader.isEmpty() ? accessReaderProgram() : how.reader;
    const std::int64_t limit =
        how.memoryLimit > 0 ? how.memoryLimit : std::max<std::int64_t>(512 << 20, 4 * QFileInfo(path).size());
    TableRead read(path, table, row, how);
    std::optional<ChildProcess> child;
    try {
        child.emplace(program, QStringList{path, table}, limit);
    } catch (const std::runtime_error& e) {
        throw ReadError(QStringLiteral("Pantrio's Access reader \"%1\" could not be started (%2)")
                            .arg(QDir::toNativeSeparators(program), QString::fromLocal8Bit(e.what())));
    }
    QByteArray buffer;
    QElapsedTimer idle;
    idle.start();
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const std::int64_t got = child->read(chunk.data(), std::int64_t(chunk.size()), 100ms);
        if (got > 0) {
            idle.restart();
            buffer.append(chunk.data(), qsizetype(got));
            const auto outcome = read.take(buffer);
            if (outcome != TableRead::Outcome::More)
                return outcome == TableRead::Outcome::Finished; // the child is ended on the way out
            continue;
        }
        // Asked first: an interrupted user's reader may have died of the same Ctrl+C.
        if (!read.goOn())
            return false;
        if (got == 0 || idle.elapsed() > how.idleLimit.count())
            throw damaged();
    }
}

bool readAccess(const QString& path, const ReadEvents& events, const AccessLayout& layout,
                const AccessReading& how)
{
    std::array<int, FieldCount> where{};
    bool first = true;
    std::int64_t number = 0;
    return readAccessTable(
        path, layout.table,
        [&](const QStringList& columns, const QList<FieldValue>& values) {
            if (first) {
                for (Field f : allFields) {
                    where[fieldIndex(f)] = -1;
                    for (qsizetype i = 0; i < columns.size(); ++i)
                        if (columns[i].compare(layout.columns[fieldIndex(f)], Qt::CaseInsensitive) == 0)
                            where[fieldIndex(f)] = int(i);
                }
                first = false;
            }
            ++number;
            RecipeValues r;
            for (Field f : allFields)
                if (const int i = where[fieldIndex(f)]; i >= 0)
                    r[f] = values[i];
            return events.recipe(std::move(r), number);
        },
        how);
}

} // namespace pantrio::exchange
