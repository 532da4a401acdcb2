#include "RecordBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace pantrio {

namespace {

// A record-bar arrow: a triangle, with a bar for the first and last arrows. Drawn for each
// common pixel ratio, so the arrows stay sharp on high-density screens.
QIcon arrowIcon(bool left, bool bar)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0, 3.0}) {
        QPixmap pm(QSize(12, 12) * ratio);
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0));
        QPainterPath tri;
        const qreal tip = left ? 2.5 : 9.5;
        const qreal base = left ? 8.5 : 3.5;
        tri.moveTo(tip, 6);
        tri.lineTo(base, 1.5);
        tri.lineTo(base, 10.5);
        tri.closeSubpath();
        p.drawPath(tri);
        if (bar)
            p.drawRect(QRectF(left ? 1 : 9.5, 1.5, 1.5, 9));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

struct ArrowLook
{
    RecordBar::Arrow arrow;
    const char* objectName;
    const char* spokenName;
    bool pointsLeft;
    bool hasBar;
};

constexpr std::array<ArrowLook, 4> Arrows = {{
    {RecordBar::Arrow::First, "first", "First recipe", true, true},
    {RecordBar::Arrow::Previous, "previous", "Previous recipe", true, false},
    {RecordBar::Arrow::Next, "next", "Next recipe", false, false},
    {RecordBar::Arrow::Last, "last", "Last recipe", false, true},
}};

} // namespace

RecordBar::RecordBar(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    for (size_t i = 0; i < Arrows.size(); ++i) {
        const ArrowLook& look = Arrows[i];
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(look.objectName));
        b->setIcon(arrowIcon(look.pointsLeft, look.hasBar));
        b->setAccessibleName(QLatin1String(look.spokenName));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(false);
        b->setFixedWidth(20);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        connect(b, &QToolButton::clicked, this, [this, arrow = look.arrow] { emit arrowPressed(arrow); });
        arrows_[i] = b;
    }
    position_ = new QLabel(QStringLiteral("Recipe Number"), this);
    position_->setAlignment(Qt::AlignCenter);
    position_->setObjectName(QStringLiteral("caption"));
    row->addWidget(arrows_[0]);
    row->addWidget(arrows_[1]);
    row->addWidget(position_, 1);
    row->addWidget(arrows_[2]);
    row->addWidget(arrows_[3]);
}

void RecordBar::setPositionText(const QString& text)
{
    position_->setText(text);
}

const std::array<std::pair<QKeySequence, RecordBar::Arrow>, 4>& RecordBar::keys()
{
    static const std::array<std::pair<QKeySequence, RecordBar::Arrow>, 4> keys = {{
        {QKeySequence(Qt::CTRL | Qt::Key_Home), RecordBar::Arrow::First},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), RecordBar::Arrow::Previous},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), RecordBar::Arrow::Next},
        {QKeySequence(Qt::CTRL | Qt::Key_End), RecordBar::Arrow::Last},
    }};
    return keys;
}

bool RecordBar::isRecordKey(const QKeyEvent* key)
{
    const QKeySequence pressed(key->keyCombination());
    for (const auto& entry : keys())
        if (entry.first == pressed)
            return true;
    return false;
}

} // namespace pantrio
