#pragma once

// The placement record of the main window as the main settings file keeps it: flags, the minimised and maximised
// positions and the restored rectangle (right and bottom exclusive: right = left + width).
struct WindowPlacement {
    int flags = 0;
    int minX = -1;
    int minY = -1;
    int maxX = -1;
    int maxY = -1;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The window whose size the main settings store saves and applies.
class PlacementTarget
{
  public:
    virtual ~PlacementTarget() = default;
    virtual WindowPlacement placement() const = 0;
    // Applies the maximised position and the restored rectangle (flags and the minimised position are not used).
    virtual void setPlacement(const WindowPlacement &placement) = 0;
    // The pixels per inch of the screen the window is on.
    virtual int pixelsPerInch() const = 0;
};
