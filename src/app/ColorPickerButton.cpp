#include "ColorPickerButton.h"

#include "MapHtml.h"
#include "Prompts.h"
#include "TextConv.h"

#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace tessaly {

namespace {
struct NamedColor {
    const char* name;
    TColor color; // $00BBGGRR
};
// The plain colours of the palette; no desktop (system) colours.
const NamedColor kPalette[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080},  {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080},  {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},     {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
};

QColor toQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QIcon swatch(const QColor& color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}
} // namespace

ColorPickerButton::ColorPickerButton(QWidget* parent) : QToolButton(parent) {
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setMinimumWidth(90);
    menu_ = new QMenu(this);
    for (const NamedColor& c : kPalette) {
        QAction* a = menu_->addAction(swatch(toQColor(c.color)), c.name);
        a->setObjectName(QString("color") + c.name);
        TColor value = c.color;
        connect(a, &QAction::triggered, this, [this, value] { pick(value); });
    }
    menu_->addSeparator();
    QAction* more = menu_->addAction("More Colors...");
    more->setObjectName("moreColors");
    connect(more, &QAction::triggered, this, [this] {
        if (std::optional<std::int32_t> c =
                prompts().chooseColor({"Color", color_ == -1 ? 0xFFFFFF : color_}))
            pick(*c);
    });
    QAction* none = menu_->addAction("None");
    none->setObjectName("noColor");
    connect(none, &QAction::triggered, this, [this] { pick(-1); });
    setMenu(menu_);
}

void ColorPickerButton::setColor(TColor color) {
    color_ = color;
    // No colour: the caption "None" on the button face's own colour.
    QColor shown = color == -1
                       ? QGuiApplication::palette().color(QPalette::Button)
                       : (color & 0x80000000 ? QColor(qs(ColorToHTML(color))) : toQColor(color));
    setIcon(swatch(shown));
    setText(color == -1 ? "None" : "");
    setToolTip(color == -1 ? "None" : qs(ColorToHTML(color)));
}

void ColorPickerButton::pick(TColor color) {
    setColor(color);
    emit picked(color);
}

} // namespace tessaly
