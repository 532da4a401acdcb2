#include "PrintRecipe.h"

#include "frmCopyTxt.h"
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

PrintResult printRecipe(frmCopyTxt& copy, const RecipeValues& fields, Printer& printer)
{
    copyInto(*copy.Text1, fields[Field::FoodCategoryID]);
    copyInto(*copy.Text2, fields[Field::RecipeName]);
    copyInto(*copy.Text3, fields[Field::Ingredients]);
    copyInto(*copy.Text4, fields[Field::Instructions]);

    const bool hasNotes = fields[Field::Notes] && !fields[Field::Notes]->isEmpty();
    if (hasNotes)
        copyInto(*copy.Text5, fields[Field::Notes]);
    copy.Label5->setVisible(hasNotes);
    copy.Text5->setVisible(hasNotes);

    const QString name = fields[Field::RecipeName].value_or(QString()).trimmed();
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
