#include "DataControl.h"

#include "store/RecordCursor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QToolButton>

namespace pantrio {

namespace {

// A record-bar arrow: a triangle, with a bar for the first and last arrows.
QIcon arrowIcon(bool left, bool bar)
{
    QPixmap pm(12, 12);
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
    return QIcon(pm);
}

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

DataControl::DataControl(OpenMode mode, QWidget* parent) : QWidget(parent), mode_(mode)
{
    setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    const std::array<std::pair<bool, bool>, 4> looks = {{{true, true}, {true, false}, {false, false}, {false, true}}};
    const char* names[] = {"first", "previous", "next", "last"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(names[i]));
        b->setIcon(arrowIcon(looks[size_t(i)].first, looks[size_t(i)].second));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(false);
        b->setFixedWidth(20);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        connect(b, &QToolButton::clicked, this, [this, i] { arrowClicked(i); });
        arrows_[size_t(i)] = b;
    }
    caption_ = new QLabel(QStringLiteral("Recipe Number"), this);
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setObjectName(QStringLiteral("caption"));
    row->addWidget(arrows_[0]);
    row->addWidget(arrows_[1]);
    row->addWidget(caption_, 1);
    row->addWidget(arrows_[2]);
    row->addWidget(arrows_[3]);
}

DataControl::~DataControl() = default;

void DataControl::setCaption(const QString& caption)
{
    caption_->setText(caption);
}

QString DataControl::caption() const
{
    return caption_->text();
}

void DataControl::bind(QWidget* box, Field field)
{
    bound_.emplace_back(box, field);
}

bool DataControl::open()
{
    cursor_.reset();
    openError_.clear();
    try {
        cursor_ = RecordCursor::open(databaseName_, {mode_, 2000});
    } catch (const StoreError& e) {
        openError_ = e.message();
        showCurrent();
        return false;
    }
    cursor_->onValidate = [this] {
        stageEdits();
        emit validate();
    };
    cursor_->onReposition = [this] {
        showCurrent();
        emit reposition();
    };
    showCurrent();
    emit reposition();
    return true;
}

void DataControl::refresh()
{
    if (!cursor_) {
        open();
        return;
    }
    cursor_->refresh();
}

void DataControl::updateRecord()
{
    if (!cursor_)
        throw StoreError(StoreError::Kind::Closed, openError_);
    cursor_->update();
}

void DataControl::close()
{
    if (cursor_)
        cursor_->close();
}

void DataControl::showCurrent()
{
    for (const auto& [box, field] : bound_) {
        QString text;
        if (cursor_ && (cursor_->hasCurrent() || cursor_->isAdding()))
            text = cursor_->field(field).value_or(QString());
        setBoxText(box, text);
    }
}

void DataControl::stageEdits()
{
    if (!cursor_ || !(cursor_->hasCurrent() || cursor_->isAdding()))
        return;
    for (const auto& [box, field] : bound_)
        if (boxEdited(box))
            cursor_->setField(field, boxText(box));
}

void DataControl::arrowClicked(int which)
{
    if (!cursor_)
        return;
    try {
        switch (which) {
        case 0: cursor_->moveFirst(); break;
        case 1:
            // The arrows stop at the ends.
            if (cursor_->absolutePosition() > 0 || cursor_->isAdding())
                cursor_->movePrevious();
            else
                cursor_->moveFirst();
            break;
        case 2:
            if (cursor_->absolutePosition() >= 0 && cursor_->absolutePosition() + 1 >= cursor_->recordCount())
                cursor_->moveLast();
            else
                cursor_->moveNext();
            break;
        case 3: cursor_->moveLast(); break;
        }
    } catch (const StoreError& e) {
        emit failed(e.message());
    }
}

} // namespace pantrio
