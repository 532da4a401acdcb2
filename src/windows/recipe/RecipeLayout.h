#pragma once

#include "store/OpenMode.h"
#include "store/RecipeFields.h"
#include "ui/WindowUnits.h"

#include <array>
#include <optional>
#include <QRect>
#include <QSize>

namespace pantrio {

// The commands of a recipe window; both layouts carry all of them.
enum class Command { New, Delete, Refresh, Update, Print, Find, FindNext, Close, About };

struct LabelSpec
{
    const char* name;
    const char* caption;
    Twips place;
    int tabIndex;
};

struct BoxSpec
{
    const char* name;
    Field field;
    Twips place;
    int tabIndex;
    bool multiLine;
};

struct ButtonSpec
{
    Command command;
    const char* name;
    const char* caption;
    Twips place;
    int tabIndex;
    const char* toolTip; // nullptr: none
};

// Everything in which the two recipe windows differ. Their behaviour is one and the same.
struct RecipeLayout
{
    const char* windowName;
    const char* initialCaption;
    QSize clientTwips;
    bool closeButton;       // title-bar close button (control box)
    const char* background; // resource path, drawn unscaled from the top-left corner
    bool coloured;          // cyan labels, red and dark-blue text, white record bar
    std::array<LabelSpec, 7> labels;
    std::array<BoxSpec, 7> boxes;
    std::array<ButtonSpec, 9> buttons;
    Twips data;
    const char* dataToolTip;
    std::optional<Command> defaultButton;
    OpenMode mode;

    static const RecipeLayout& full();    // recMain
    static const RecipeLayout& compact(); // frm640x480, for screens 480 pixels high
};

} // namespace pantrio
