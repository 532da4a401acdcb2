#pragma once

#include <QObject>
#include <QString>

namespace pantrio {

// Converts a collection kept by the earlier version in a Microsoft Access file into one of
// this version, in its place; the original is kept under another name.
class ConversionJob : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether the file at `path` is such an older collection.
    static bool isOldCollection(const QString& path);
    // The name the original will be kept under.
    static QString keptName(const QString& path);

    // Throws StoreError with a message for the user; a conversion that fails leaves the
    // original where it was and no new file behind.
    void run(const QString& path);
};

} // namespace pantrio
