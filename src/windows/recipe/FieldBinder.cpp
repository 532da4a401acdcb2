#include "FieldBinder.h"

#include "app/RecipeSession.h"
#include "ui/LongText.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>

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

// Block by block, so that a big document is never copied out whole.
bool documentHolds(const QTextDocument& doc, const QString& text)
{
    if (doc.characterCount() - 1 != text.size())
        return false;
    qsizetype at = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (at > 0) {
            if (text.at(at - 1) != QLatin1Char('\n'))
                return false;
        }
        const QString line = block.text();
        if (QStringView(text).mid(at, line.size()) != line)
            return false;
        at += line.size() + 1;
    }
    return at == text.size() + 1;
}

// True when the box already holds `text` with nothing to undo that setting it would drop.
bool holds(QWidget* box, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return !line->isUndoAvailable() && !line->isRedoAvailable() && line->text() == text;
    return documentHolds(*static_cast<QPlainTextEdit*>(box)->document(), text);
}

// Leaves a box that holds its value as setting the value would have left it.
void settle(QWidget* box, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setCursorPosition(0);
        line->setModified(false);
        return;
    }
    auto* edit = static_cast<QPlainTextEdit*>(box);
    edit->document()->clearUndoRedoStacks();
    if (edit->wordWrapMode() != wrapModeFor(text))
        edit->setWordWrapMode(wrapModeFor(text));
    edit->moveCursor(QTextCursor::Start);
    edit->document()->setModified(false);
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

} // namespace

FieldBinder::FieldBinder(RecipeSession& session, QObject* parent) : QObject(parent), session_(session)
{
    connect(&session_, &RecipeSession::currentChanged, this, &FieldBinder::showCurrent);
}

void FieldBinder::bind(QWidget* box, Field field)
{
    bound_.emplace_back(box, field);
}

void FieldBinder::showCurrent()
{
    for (const auto& [box, field] : bound_) {
        const QString value = session_.value(field).value_or(QString());
        // Laying out a big value again costs seconds; a box that holds it already (the same
        // value on the next recipe, or the text just saved) is only brought back to its start.
        if (holds(box, value))
            settle(box, value);
        else
            setBoxText(box, value);
    }
}

RecipeEdits FieldBinder::edits() const
{
    RecipeEdits edits;
    // A box typed back to clean (undo) still hands over its text, so that an edit left
    // pending earlier is dropped.
    for (const auto& [box, field] : bound_)
        if (boxEdited(box) || session_.isPending(field))
            edits.emplace_back(field, boxText(box));
    return edits;
}

} // namespace pantrio
