#pragma once

#include <QString>
#include <stdexcept>

namespace pantrio {

// A failure of the recipe store, with a message for the user that names the file and the cause.
class StoreError : public std::runtime_error
{
public:
    enum class Kind {
        FileMissing,
        Overwritten,
        NotADatabase,
        TableMissing,
        InUse,
        ReadOnly,
        DiskFull,
        Damaged,
        IoError,
        NoCurrentRecord,
        BadCondition,
        RecordDeleted,
        ChangedByOther,
        Closed,
        // A collection on a database server
        ServerUnreachable, // no server at the address, or the connection was lost
        AccessDenied,      // the server refused the user or password, or a right is missing
        DatabaseMissing,
        ExtensionMissing, // the server lacks an extension the collection needs
        Timeout,
        Other,
    };

    StoreError(Kind kind, QString message);

    Kind kind() const { return kind_; }
    const QString& message() const { return message_; }

private:
    Kind kind_;
    QString message_;
};

} // namespace pantrio
