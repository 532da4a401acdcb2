#pragma once

#include <QString>

#include <functional>

namespace pantrio {

// The folders that can hold the collection and the introduction.
struct CollectionFolders
{
    QString program;       // the folder that holds the program file
    QString userData;      // the user's own data folder for the program ($XDG_DATA_HOME/Pantrio)
    QString installedData; // read-only data shipped with an installed copy (share/pantrio)
};

// Where this start reads and writes its files.
struct CollectionLocation
{
    QString collection;   // the recipe file
    QString introduction; // the introduction document
    QString sample;       // the shipped collection to copy to `collection` when that is missing; may be empty

    using WritableTest = std::function<bool(const QString& folder)>;

    // The collection lives beside the program when the program folder holds one or the user may
    // write there (a build folder, a copy on a stick); otherwise, and always for a copy installed
    // in a system folder (whoever runs it, root included), in the user's data folder, first
    // filled from the shipped sample.
    static CollectionLocation choose(const CollectionFolders& folders, const WritableTest& writable);

    // Gives a missing collection the shipped sample; an existing file is never replaced.
    // False only when a copy was due and failed.
    bool provideSample() const;
};

// Whether `folder` is where the system installs programs (/usr/bin, /usr/local/bin, /opt/NAME/bin, ...).
bool isSystemProgramFolder(const QString& folder);

// Whether the current user may create files in `folder`, as the system decides it.
bool folderIsWritable(const QString& folder);

// $XDG_DATA_HOME/Pantrio, by default ~/.local/share/Pantrio.
QString userDataFolder();

} // namespace pantrio
