#include "Startup.h"

#include "IntroWindow.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/ScreenMetrics.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "store/ShortText.h"
#include "windows/recipe/RecipeWindow.h"

namespace pantrio {

Startup::Startup(Services& services) : services_(services) {}

Startup::~Startup()
{
    delete intro_.data();
}

void Startup::run()
{
    const QString flag = firstRunFlag(services_.settings);
    if (flag.isEmpty()) {
        // Set before the introduction shows, so it is seen once however its window is left.
        setFirstRunFlag(services_.settings);
        intro_ = new IntroWindow(services_, [this] { openRecipeWindow(); });
        intro_->show();
        return;
    }
    bool isNumber = false;
    const double value = flag.trimmed().toDouble(&isNumber);
    if (!isNumber) {
        services_.messages.show(
            QStringLiteral("Pantrio cannot start: its first-run setting (%1, section %2, key %3) holds \"%4\", "
                           "which is not a number.")
                .arg(QString(FirstRunKey.app), QString(FirstRunKey.section), QString(FirstRunKey.name),
                     shortText(flag)),
            services_.program.title, MessageIcon::Critical);
        return;
    }
    if (value == 1.0)
        openRecipeWindow();
    // Any other number: nothing opens, and the program ends.
}

void Startup::openRecipeWindow()
{
    if (recipe_)
        return;
    const float heightTwips = services_.screen.heightTwips();
    const float twipsPerPixel = services_.screen.twipsPerPixelX();
    const float pixels = heightTwips / twipsPerPixel;
    const RecipeLayout& layout = pixels == 480.0f ? RecipeLayout::compact() : RecipeLayout::full();
    recipe_ = std::make_unique<RecipeWindow>(layout, services_);
    recipe_->show();
    recipe_->open();
}

bool Startup::hasOpenWindow() const
{
    return (recipe_ && recipe_->isVisible()) || (intro_ && intro_->isVisible());
}

} // namespace pantrio
