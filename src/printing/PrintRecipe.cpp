#include "PrintRecipe.h"

#include "RecipePrintPage.h"
#include "platform/MessageBoxes.h"
#include "ui/LongText.h"

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
    const QString text = value.value_or(QString());
    box.clear(); // the last recipe's text is never laid out in this one's wrap mode
    box.setWordWrapMode(wrapModeFor(text));
    box.setPlainText(text);
}

} // namespace

PrintResult printRecipe(RecipePrintPage& page, const RecipeValues& fields, Printer& printer)
{
    copyInto(*page.categoryBox(), fields[Field::FoodCategoryID]);
    copyInto(*page.nameBox(), fields[Field::RecipeName]);
    copyInto(*page.ingredientsBox(), fields[Field::Ingredients]);
    copyInto(*page.instructionsBox(), fields[Field::Instructions]);

    const bool hasNotes = fields[Field::Notes] && !fields[Field::Notes]->isEmpty();
    if (hasNotes)
        copyInto(*page.notesBox(), fields[Field::Notes]);
    page.notesLabel()->setVisible(hasNotes);
    page.notesBox()->setVisible(hasNotes);

    const QString name = fields[Field::RecipeName].value_or(QString()).trimmed();
    return printer.printPage(name.isEmpty() ? QStringLiteral("Recipe") : name,
                             [&page](QPainter& painter) { page.renderPage(painter); });
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
