#pragma once

#include <QString>

namespace pantrio {

// Who the program is and where its files lie.
struct ProgramInfo
{
    QString title;
    int major = 0;
    int minor = 0;
    int revision = 0;
    QString description;
    QString legalNotice;
    QString folder; // the folder that holds the program file
    // Set when the collection or the introduction lives elsewhere than beside the program.
    QString collectionFile;
    QString introductionFile;
    QString backupFolder; // copies of the recipe file made before changing it; empty for none
    // A database server's address this start uses in place of the collection file; empty for none.
    QString sharedCollection;

    // A file of the program's own, beside the program.
    QString pathOf(const QString& fileName) const;
    // The recipe collection and the introduction this start uses.
    QString collectionPath() const;
    QString introductionPath() const;
    // Where the collection this start opens lives: the shared one, or else the file.
    QString collectionLocation() const
    {
        return sharedCollection.isEmpty() ? collectionPath() : sharedCollection;
    }

    // This build's identity, with `folder` as the program folder.
    static ProgramInfo forThisBuild(const QString& folder);
};

} // namespace pantrio
