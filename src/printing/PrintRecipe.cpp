#include "PrintRecipe.h"

#include "RecipePrintPage.h"
#include "platform/MessageBoxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace pantrio {

namespace {

void copyInto(QLineEdit& box, const FieldValue& value)
{
    box.setText(value.value_or(QString()));
    // setText leaves the cursor at the end, which would scroll a long text to its tail.
    box.setCursorPosition(0);
}

void copyInto(QPlainTextEdit& box, const FieldValue& value)
{
    box.setPlainText(value.value_or(QString()));
}

} // namespace

PrintResult printRecipe(RecipePrintPage& copy, const RecipeCopy& fields, Printer& printer)
{
    copyInto(*copy.categoryBox(), fields.foodCategory);
    copyInto(*copy.nameBox(), fields.recipeName);
    copyInto(*copy.ingredientsBox(), fields.ingredients);
    copyInto(*copy.instructionsBox(), fields.instructions);

    const bool hasNotes = fields.notes && !fields.notes->isEmpty();
    if (hasNotes)
        copyInto(*copy.notesBox(), fields.notes);
    copy.notesLabel()->setVisible(hasNotes);
    copy.notesBox()->setVisible(hasNotes);

    const QString name = fields.recipeName.value_or(QString()).trimmed();
    return printer.printPage(name.isEmpty() ? QStringLiteral("Recipe") : name,
                             [&copy](QPainter& painter) { copy.renderPage(painter); });
}

QString noRecipeToPrintTitle()
{
    return QStringLiteral("Nothing to print");
}

QString noRecipeToPrintText()
{
    return QStringLiteral("There is no recipe to print.");
}

void showNoRecipeToPrint(MessageBoxes& messages)
{
    messages.show(noRecipeToPrintText(), noRecipeToPrintTitle(), MessageIcon::Information);
}

} // namespace pantrio
