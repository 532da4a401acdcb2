#pragma once

#include <atomic>
#include <QObject>
#include <QString>

namespace pantrio {

// Converts a collection kept by the earlier version in a Microsoft Access file into one of
// this version, in its place; the original is kept under another name. The Access file is read
// by a reader program of its own, so a damaged one can neither hang nor crash the program.
class ConversionJob : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether the file at `path` is such an older collection.
    static bool isOldCollection(const QString& path);
    // The name the original will be kept under.
    static QString keptName(const QString& path);

    // False when cancelled. Throws StoreError with a message for the user; a conversion that
    // fails or is cancelled leaves the original where it was, byte for byte, and no new file.
    bool run(const QString& path);

public slots:
    void cancel() { cancelled_ = true; }

signals:
    // Often, also while the reader is silent: a chance for the window to take a click on Cancel.
    void progressed(int permille);

private:
    std::atomic<bool> cancelled_ = false;
};

} // namespace pantrio
