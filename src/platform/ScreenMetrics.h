#pragma once

namespace pantrio {

// The screen as the window choice sees it: sizes in twips (1440 to the inch).
class ScreenMetrics
{
public:
    virtual ~ScreenMetrics() = default;
    virtual float heightTwips() const = 0;
    virtual float twipsPerPixelX() const = 0;
};

// One logical Qt pixel is 15 twips; high-dpi screens scale as Qt does.
class QtScreenMetrics final : public ScreenMetrics
{
public:
    float heightTwips() const override;
    float twipsPerPixelX() const override { return 15.0f; }
};

} // namespace pantrio
