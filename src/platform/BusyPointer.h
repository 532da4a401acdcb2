#pragma once

namespace pantrio {

// The screen-wide mouse pointer: a value that is set, not a stack, so repeated
// "busy" calls never pile up.
class BusyPointer
{
public:
    virtual ~BusyPointer() = default;
    virtual void setBusy(bool busy) = 0;
};

class QtBusyPointer final : public BusyPointer
{
public:
    ~QtBusyPointer() override;
    void setBusy(bool busy) override;

private:
    bool busy_ = false;
};

} // namespace pantrio
