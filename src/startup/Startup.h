#pragma once

#include <QPointer>

#include <memory>

namespace pantrio {

struct Services;
class RecipeWindow;
class IntroWindow;

// The start of the program: the first-run flag decides between the introduction, the recipe
// window and ending at once; the screen's height decides which recipe window opens.
class Startup
{
public:
    explicit Startup(Services& services);
    ~Startup();

    // The start routine. Returns once a window is open, or when none is to be opened.
    void run();
    // Opens the compact window on a screen exactly 480 pixels high, the full one otherwise.
    // Only one recipe window is ever opened.
    void openRecipeWindow();

    // True while a window of the program is open; when false the program has ended.
    bool hasOpenWindow() const;

private:
    Services& services_;
    std::unique_ptr<RecipeWindow> recipe_;
    QPointer<IntroWindow> intro_;
};

} // namespace pantrio
