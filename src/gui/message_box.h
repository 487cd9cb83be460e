#pragma once

#include "context/host.h"

#include <QString>

#include <functional>

class QWidget;

namespace rio::gui {

// Every message box of the window goes through here, so that tests can answer
// them without a screen.
class MessageBox
{
public:
    struct Request
    {
        QString text;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QString title;
    };

    // Shows a modal box and returns the answer (No when a Yes/No box is
    // dismissed without choosing).
    static Answer show(QWidget* parent, const Request& request);

    // Tests: the next box is answered with this, without being shown; several
    // calls answer the following boxes in turn.
    static void setNextAnswer(Answer answer);
    // Tests: every box without a next answer goes to the handler instead of
    // the screen (an empty handler restores the screen).
    static void setHandler(std::function<Answer(const Request&)> handler);
    // Tests: forgets the next answers and the handler.
    static void reset();
};

} // namespace rio::gui
