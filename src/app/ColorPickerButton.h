#pragma once
// A colour button with a drop-down: a palette of plain colours, "More
// Colors..." for any colour, and "None". It shows the colour it holds, or the
// caption "None" on the button face when it holds no colour.
#include "MapProfile.h"

#include <QToolButton>

class QMenu;

namespace tessaly {

class ColorPickerButton : public QToolButton {
    Q_OBJECT
  public:
    explicit ColorPickerButton(QWidget* parent = nullptr);

    // Shows a colour ($00BBGGRR) or, for -1, "None"; raises no signal.
    void setColor(TColor color);
    TColor color() const { return color_; }

  signals:
    // The user picked a colour, or "None" (-1).
    void picked(TColor color);

  private:
    void pick(TColor color);
    QMenu* menu_;
    TColor color_ = 0;
};

} // namespace tessaly
