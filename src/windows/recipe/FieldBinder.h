#pragma once

#include "store/RecipeFields.h"

#include <QObject>

#include <utility>
#include <vector>

class QWidget;

namespace pantrio {

class RecipeBrowser;

// Keeps text boxes bound to fields of the browser's current recipe: they show it after every
// move, and a box the user edited hands its text over when the browser validates.
class FieldBinder : public QObject
{
    Q_OBJECT
public:
    explicit FieldBinder(RecipeBrowser& browser, QObject* parent = nullptr);

    // A QLineEdit or QPlainTextEdit.
    void bind(QWidget* box, Field field);
    void showCurrent();

private:
    void stageEdits();

    RecipeBrowser& browser_;
    std::vector<std::pair<QWidget*, Field>> bound_;
};

} // namespace pantrio
