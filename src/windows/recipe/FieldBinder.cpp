#include "FieldBinder.h"

#include "store/RecipeBrowser.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace pantrio {

namespace {

QString boxText(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    return static_cast<QPlainTextEdit*>(box)->toPlainText();
}

bool boxEdited(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->isModified();
    return static_cast<QPlainTextEdit*>(box)->document()->isModified();
}

void setBoxText(QWidget* box, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(text);
        line->setCursorPosition(0);
        line->setModified(false);
        return;
    }
    auto* edit = static_cast<QPlainTextEdit*>(box);
    edit->setPlainText(text);
    edit->document()->setModified(false);
}

} // namespace

FieldBinder::FieldBinder(RecipeBrowser& browser, QObject* parent) : QObject(parent), browser_(browser)
{
    connect(&browser_, &RecipeBrowser::validating, this, &FieldBinder::stageEdits);
    connect(&browser_, &RecipeBrowser::positionChanged, this, &FieldBinder::showCurrent);
}

void FieldBinder::bind(QWidget* box, Field field)
{
    bound_.emplace_back(box, field);
}

void FieldBinder::showCurrent()
{
    for (const auto& [box, field] : bound_)
        setBoxText(box, browser_.value(field).value_or(QString()));
}

void FieldBinder::stageEdits()
{
    if (!browser_.hasCurrent() && !browser_.isAdding())
        return;
    // A box typed back to clean (undo) still hands over its text, so that an edit staged
    // earlier is dropped.
    for (const auto& [box, field] : bound_)
        if (boxEdited(box) || browser_.isStaged(field))
            browser_.stage(field, boxText(box));
}

} // namespace pantrio
