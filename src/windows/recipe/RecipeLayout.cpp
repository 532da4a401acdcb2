#include "RecipeLayout.h"

namespace pantrio {

const RecipeLayout& RecipeLayout::full()
{
    static const RecipeLayout layout{
        "recMain",
        "Veltrane's Pantrio",
        {8370, 8145},
        false,
        ":/background.bmp",
        true,
        {{
            {"Label1", "Food Category", {120, 240, 1215, 255}, 0},
            {"Label2", "Recipe Name", {120, 720, 1335, 255}, 2},
            {"Label3", "Recipe Description", {120, 1200, 1455, 255}, 4},
            {"Label4", "Preperation Time", {120, 1680, 1335, 255}, 6},
            {"Label5", "Ingredients", {120, 2160, 1575, 255}, 8},
            {"Label6", "Cooking Instruction's", {120, 3960, 1575, 255}, 10},
            {"Label7", "Additional Notes", {120, 5520, 1575, 255}, 12},
        }},
        {{
            {"Text1", Field::FoodCategoryID, {1800, 240, 1575, 375}, 1, false},
            {"Text2", Field::RecipeName, {1800, 720, 4095, 375}, 3, false},
            {"Text3", Field::RecipeDescription, {1800, 1200, 4095, 375}, 5, false},
            {"Text4", Field::TimeToPrepare, {1800, 1680, 1455, 375}, 7, false},
            {"Text5", Field::Ingredients, {1800, 2160, 4695, 1695}, 9, true},
            {"Text6", Field::Instructions, {1800, 3960, 6135, 1455}, 11, true},
            {"Text7", Field::Notes, {1800, 5520, 6135, 975}, 13, true},
        }},
        {{
            {Command::New,
             "cmdNew",
             "&Add New",
             {2160, 6720, 1095, 375},
             14,
             "Add a new recipe to the database."},
            {Command::Delete,
             "cmdDelete",
             "&Delete",
             {3360, 6720, 1095, 375},
             16,
             "Remove current recipe from the database."},
            {Command::Refresh,
             "cmdRefresh",
             "&Refresh",
             {4560, 6720, 1095, 375},
             15,
             "Refresh the database."},
            {Command::Update,
             "cmdUpdate",
             "&Update",
             {5760, 6720, 1095, 375},
             18,
             "Update the database after adding a new recipe."},
            {Command::Print,
             "Command1",
             "Print",
             {2160, 7200, 1095, 375},
             22,
             "Send this recipe to the printer."},
            {Command::Find, "cmdFind", "&Find Recipe", {3360, 7200, 1095, 375}, 19, "Find a recipe."},
            {Command::FindNext, "cmdFindNext", "Find &Next", {4560, 7200, 1095, 375}, 21, "Find next match"},
            {Command::Close, "cmdClose", "&Close", {5760, 7200, 1095, 375}, 17, "Exit Program"},
            {Command::About, "cmdAbout", "&About", {6960, 7200, 975, 375}, 23, "About Pantrio"},
        }},
        {2880, 7680, 3420, 345},
        "Click on the arrows to go to next, or previous recipe.",
        Command::Find,
        OpenMode::Exclusive,
    };
    return layout;
}

const RecipeLayout& RecipeLayout::compact()
{
    static const RecipeLayout layout{
        "frm640x480",
        "Form1",
        {9000, 6255},
        true,
        ":/seasky.jpg",
        false,
        {{
            {"Label1", "Food Category", {120, 120, 1335, 255}, 0},
            {"Label2", "Recipe Name", {120, 480, 1455, 255}, 2},
            {"Label3", "Recipe Description", {120, 960, 1455, 255}, 4},
            {"Label4", "Time to Prepare", {120, 1440, 1335, 255}, 6},
            {"Label5", "Ingredients", {120, 2040, 1335, 255}, 8},
            {"Label6", "Instruction's", {120, 3720, 1335, 255}, 10},
            {"Label7", "Additional Notes", {120, 5040, 1215, 255}, 12},
        }},
        {{
            {"Text1", Field::FoodCategoryID, {1560, 0, 1455, 375}, 1, false},
            {"Text2", Field::RecipeName, {1560, 480, 3495, 375}, 3, false},
            {"Text3", Field::RecipeDescription, {1560, 960, 3975, 375}, 5, false},
            {"Text4", Field::TimeToPrepare, {1560, 1440, 1455, 375}, 7, false},
            {"Text5", Field::Ingredients, {1560, 1920, 2895, 1695}, 9, true},
            {"Text6", Field::Instructions, {1560, 3720, 6015, 1215}, 11, true},
            {"Text7", Field::Notes, {1560, 5040, 6015, 735}, 13, true},
        }},
        {{
            {Command::New, "cmdNew", "&Add New", {4800, 1440, 855, 375}, 14, nullptr},
            {Command::Delete, "cmdDelete", "&Delete", {5760, 1440, 855, 375}, 15, nullptr},
            {Command::Refresh, "cmdRefresh", "&Refresh", {6720, 1440, 855, 375}, 16, nullptr},
            {Command::Update, "cmdUpdate", "&Update", {4800, 1920, 855, 375}, 17, nullptr},
            {Command::Find, "cmdFind", "&Find", {5760, 1920, 855, 375}, 18, nullptr},
            {Command::FindNext, "cmdFindNext", "Find &Next", {6720, 1920, 855, 375}, 19, nullptr},
            {Command::Print, "cmdPrintfrm", "&Print", {4800, 2400, 855, 375}, 20, nullptr},
            {Command::About, "cmdAbout", "A&bout", {5760, 2400, 855, 375}, 21, nullptr},
            {Command::Close, "cmdClose", "&Close", {6720, 2400, 855, 375}, 22, nullptr},
        }},
        {4800, 3000, 3135, 345},
        nullptr,
        std::nullopt,
        OpenMode::Shared,
    };
    return layout;
}

} // namespace pantrio
