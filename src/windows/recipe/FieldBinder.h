#pragma once

#include "app/RecipeEdits.h"
#include "store/RecipeFields.h"

#include <QObject>
#include <utility>
#include <vector>

class QWidget;

namespace pantrio {

class RecipeSession;

// Keeps text boxes bound to fields of the session's current recipe: they show it after every
// command that moved, and hand over what the user typed to the next command that may save.
class FieldBinder : public QObject
{
    Q_OBJECT
public:
    explicit FieldBinder(RecipeSession& session, QObject* parent = nullptr);

    // A QLineEdit or QPlainTextEdit.
    void bind(QWidget* box, Field field);
    void showCurrent();
    // The text of every box the user edited, or that holds an edit not saved yet.
    RecipeEdits edits() const;

private:
    RecipeSession& session_;
    std::vector<std::pair<QWidget*, Field>> bound_;
};

} // namespace pantrio
