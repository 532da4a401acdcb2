#pragma once

#include <array>
#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace pantrio {

// The record bar: first/previous/next/last arrows around the position text. It only
// reports which arrow was pressed; the window decides what moving means.
class RecordBar : public QWidget
{
    Q_OBJECT
public:
    enum class Arrow { First, Previous, Next, Last };

    explicit RecordBar(QWidget* parent = nullptr);

    void setPositionText(const QString& text);

signals:
    void arrowPressed(pantrio::RecordBar::Arrow arrow);

private:
    std::array<QToolButton*, 4> arrows_{};
    QLabel* position_ = nullptr;
};

} // namespace pantrio
