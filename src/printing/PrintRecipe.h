#pragma once

#include "platform/printer/Printer.h"
#include "store/RecipeFields.h"

namespace pantrio {

class RecipePrintPage;
class MessageBoxes;

// The print command: copies the recipe into the print-copy window and prints the window as
// one page. A field without a value prints as an empty box; the notes and their label print
// only when there are notes. Messages about the printer come from the printer itself.
PrintResult printRecipe(RecipePrintPage& page, const RecipeValues& fields, Printer& printer);

// For the print command of a recipe window without a current recipe (an empty table, or
// right after a delete).
QString noRecipeToPrintTitle();
QString noRecipeToPrintText();
void showNoRecipeToPrint(MessageBoxes& messages);

} // namespace pantrio
