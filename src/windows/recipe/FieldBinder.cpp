#include "FieldBinder.h"

#include "store/RecipeBrowser.h"
#include "windows/LongText.h"

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
    const QTextOption::WrapMode wrap = wrapModeFor(text);
    if (edit->wordWrapMode() != wrap) {
        edit->clear(); // the old text is never laid out in the new mode
        edit->setWordWrapMode(wrap);
    }
    edit->setPlainText(text);
    edit->document()->setModified(false);
}

// True when the box still shows `text` just as setBoxText left it (no typing, nothing to undo),
// so that setting it again would only lay the text out anew. Never copies a box's text.
bool showsUntouched(QWidget* box, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return !line->isModified() && !line->isUndoAvailable() && !line->isRedoAvailable()
               && line->text().size() == text.size();
    const QTextDocument* doc = static_cast<QPlainTextEdit*>(box)->document();
    return !doc->isModified() && !doc->isUndoAvailable() && !doc->isRedoAvailable()
           && doc->characterCount() - 1 == text.size();
}

// Back to the beginning, as setting the text would have gone.
void rewind(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setCursorPosition(0);
    else
        static_cast<QPlainTextEdit*>(box)->moveCursor(QTextCursor::Start);
}

// After a save, a multi-line box holds what was just stored: taking its text as shown costs a
// comparison where showing the value again would lay out the whole document.
bool keepTyped(QWidget* box, const QString& text)
{
    auto* edit = qobject_cast<QPlainTextEdit*>(box);
    if (!edit || !edit->document()->isModified() || edit->document()->characterCount() - 1 != text.size()
        || edit->toPlainText() != text)
        return false;
    edit->document()->clearUndoRedoStacks();
    edit->document()->setModified(false);
    if (edit->wordWrapMode() != wrapModeFor(text))
        edit->setWordWrapMode(wrapModeFor(text));
    edit->moveCursor(QTextCursor::Start);
    return true;
}

} // namespace

FieldBinder::FieldBinder(RecipeBrowser& browser, QObject* parent) : QObject(parent), browser_(browser)
{
    connect(&browser_, &RecipeBrowser::validating, this, &FieldBinder::stageEdits);
    connect(&browser_, &RecipeBrowser::positionChanged, this, &FieldBinder::showCurrent);
}

void FieldBinder::bind(QWidget* box, Field field)
{
    bound_.push_back({box, field, QString()});
}

void FieldBinder::showCurrent()
{
    for (Binding& b : bound_) {
        QString value = browser_.value(b.field).value_or(QString());
        // Laying out a big value again costs seconds, and an untouched box already shows it.
        if (value == b.shown && showsUntouched(b.box, value)) {
            rewind(b.box);
            continue;
        }
        if (keepTyped(b.box, value)) {
            b.shown = std::move(value);
            continue;
        }
        setBoxText(b.box, value);
        b.shown = std::move(value);
    }
}

void FieldBinder::stageEdits()
{
    if (!browser_.hasCurrent() && !browser_.isAdding())
        return;
    // A box typed back to clean (undo) still hands over its text, so that an edit staged
    // earlier is dropped.
    for (const Binding& b : bound_)
        if (boxEdited(b.box) || browser_.isStaged(b.field))
            browser_.stage(b.field, boxText(b.box));
}

} // namespace pantrio
