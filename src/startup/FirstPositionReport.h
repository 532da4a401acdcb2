#pragma once

#include <QObject>

namespace pantrio {

// For timing the start from outside (scripts/bench-start): writes one line on stderr, with the
// wall-clock time, once a recipe's position has been painted on the record bar.
class FirstPositionReport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace pantrio
