#pragma once

#include <array>
#include <QKeySequence>
#include <QString>
#include <QWidget>
#include <utility>

class QLabel;
class QToolButton;

class QKeyEvent;

namespace pantrio {

// The record bar: first/previous/next/last arrows around the position text. It only
// reports which arrow was pressed; the window decides what moving means.
class RecordBar : public QWidget
{
    Q_OBJECT
public:
    enum class Arrow { First, Previous, Next, Last };

    // Keys that move through the collection from anywhere in the window. In a text box Ctrl+Home
    // and Ctrl+End would jump to the start or end of its text; Home, End and the Page keys still do.
    static const std::array<std::pair<QKeySequence, Arrow>, 4>& keys();
    static bool isRecordKey(const QKeyEvent* key);

    explicit RecordBar(QWidget* parent = nullptr);

    void setPositionText(const QString& text);

signals:
    void arrowPressed(pantrio::RecordBar::Arrow arrow);

private:
    std::array<QToolButton*, 4> arrows_{};
    QLabel* position_ = nullptr;
};

} // namespace pantrio
