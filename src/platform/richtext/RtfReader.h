#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace pantrio {

// Reads Rich Text Format as ordinary word processors write it (text, fonts, colours, character
// and paragraph formatting, list text) into a QTextDocument. Pictures, embedded objects, headers,
// footers and document information are left out.
//
// Damaged input never fails: it gives whatever text could be read before the damage, and the
// time taken grows linearly with the input.
class RtfReader
{
public:
    // Replaces the document's contents. Input that does not start with "{\rtf" gives an empty
    // document.
    static void read(const QByteArray& rtf, QTextDocument& into);

    // Reads the file at `path`. False when it cannot be read; the document is then empty.
    static bool readFile(const QString& path, QTextDocument& into);
};

} // namespace pantrio
