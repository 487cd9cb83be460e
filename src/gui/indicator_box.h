#pragma once

#include <QCheckBox>

namespace rio::gui {

// A status check box that only the program sets: clicks, the space bar and
// its mnemonic leave it as it is; it stays readable but takes no focus.
class IndicatorBox : public QCheckBox
{
    Q_OBJECT

public:
    IndicatorBox(const QString& text, QWidget* parent = nullptr);

protected:
    bool hitButton(const QPoint& pos) const override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace rio::gui
