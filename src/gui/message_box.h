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
    // Tests: forgets the next answers and the handlers.
    static void reset();

    // The name of a file to write, chosen by the user in a dialog that
    // proposes suggested; empty when cancelled.
    static QString askSaveFile(QWidget* parent, const QString& caption, const QString& suggested);
    // Tests: the file is chosen by the handler instead of a dialog.
    static void setSaveFileHandler(std::function<QString(const QString& suggested)> handler);

    // Opens a file with the program the desktop has for it (the report in a
    // browser); false when none starts.
    static bool openFile(const QString& path);
    // Tests: the handler opens it instead of the desktop.
    static void setOpenFileHandler(std::function<bool(const QString& path)> handler);
};

} // namespace rio::gui
