#include "RecipeExport.h"

#include "RecipeFormats.h"
#include "RecipeImport.h"

namespace pantrio::exchange {

int exportRecipes(RecipeRows& rows, QIODevice& out, ExportFormat format,
                  const std::function<bool(int written)>& progress)
{
    int count = 0;
    if (format == ExportFormat::Json)
        beginJson(out);
    readCollection(rows, [&](const RecipeValues& r) {
        if (format == ExportFormat::Json)
            writeJson(out, r, count == 0);
        else
            writeMealMaster(out, r);
        return progress(++count);
    });
    if (format == ExportFormat::Json)
        endJson(out);
    return count;
}

} // namespace pantrio::exchange
