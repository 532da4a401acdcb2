#include "Module1.h"

#include "FirstRun.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/ScreenMetrics.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "windows/recipe/RecipeWindow.h"

namespace pantrio {

namespace {
const QString App = QStringLiteral("DezoruDozazor");
const QString Section = QStringLiteral("Counts");
const QString Key = QStringLiteral("FirstTime");
} // namespace

Module1::Module1(Services& services) : services_(services) {}

Module1::~Module1()
{
    delete intro_.data();
}

void Module1::Main()
{
    const QString flag = services_.settings.read(App, Section, Key, QString());
    if (flag.isEmpty()) {
        // Set before the introduction shows, so it is seen once however its window is left.
        services_.settings.write(App, Section, Key, QStringLiteral("1"));
        intro_ = new FirstRun(services_, [this] { OpenRecipeWindow(); });
        intro_->show();
        return;
    }
    bool isNumber = false;
    const double value = services_.settings.read(App, Section, Key, QString()).trimmed().toDouble(&isNumber);
    if (!isNumber) {
        services_.messages.show(
            QStringLiteral("Pantrio cannot start: its first-run setting (%1, section %2, key %3) holds \"%4\", "
                           "which is not a number.")
                .arg(App, Section, Key, flag),
            services_.program.title, MessageIcon::Critical);
        return;
    }
    if (value == 1.0)
        OpenRecipeWindow();
    // Any other number: nothing opens, and the program ends.
}

void Module1::OpenRecipeWindow()
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

FirstRun* Module1::introWindow() const
{
    return intro_.data();
}

bool Module1::hasOpenWindow() const
{
    return (recipe_ && recipe_->isVisible()) || (intro_ && intro_->isVisible());
}

} // namespace pantrio
