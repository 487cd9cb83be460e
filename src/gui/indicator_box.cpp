#include "gui/indicator_box.h"

#include <QKeyEvent>

namespace rio::gui {

IndicatorBox::IndicatorBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    // Nothing to operate: Tab passes it by.
    setFocusPolicy(Qt::NoFocus);
}

bool IndicatorBox::hitButton(const QPoint&) const
{
    return false;
}

void IndicatorBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) {
        event->ignore();
        return;
    }
    QCheckBox::keyPressEvent(event);
}

bool IndicatorBox::event(QEvent* event)
{
    // The caption's mnemonic (Alt+I) would toggle the box.
    if (event->type() == QEvent::Shortcut)
        return true;
    return QCheckBox::event(event);
}

} // namespace rio::gui
