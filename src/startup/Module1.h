#pragma once

#include <QPointer>

#include <memory>

namespace pantrio {

struct Services;
class RecipeWindow;
class FirstRun;

// The start of the program: the first-run flag decides between the introduction, the recipe
// window and ending at once; the screen's height decides which recipe window opens.
class Module1
{
public:
    explicit Module1(Services& services);
    ~Module1();

    // The start routine. Returns once a window is open, or when none is to be opened.
    void Main();
    // Opens the compact window on a screen exactly 480 pixels high, the full one otherwise.
    void OpenRecipeWindow();

    RecipeWindow* recipeWindow() const { return recipe_.get(); }
    FirstRun* introWindow() const;
    // True while a window of the program is open; when false the program has ended.
    bool hasOpenWindow() const;

private:
    Services& services_;
    std::unique_ptr<RecipeWindow> recipe_;
    QPointer<FirstRun> intro_;
};

} // namespace pantrio
