#pragma once

#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace pantrio {

// The files of this computer among what was dropped; addresses and text are for others.
inline QStringList droppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

} // namespace pantrio
