#pragma once

#include "gui/message_box.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QWidget>

// A control of the window by its object name; a missing one ends the program.
template <typename W = QWidget> W* child(const QWidget& window, const char* name)
{
    W* w = window.findChild<W*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// What a control shows: a label's or a button's text, an edit's content, a
// frame's title.
inline QString text(const QWidget& window, const char* name)
{
    QWidget* w = child(window, name);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title();
    qFatal("no text for %s", name);
}

// What every window test starts from: no box may wait for a person. A test
// class derives from it, calls answerUnexpectedBoxes() in init() and
// rio::gui::MessageBox::reset() in cleanup(); a case that expects boxes sets
// its own handler.
class UnexpectedBoxes
{
protected:
    int m_unexpectedBoxes = 0;

    // Boxes no case expects are answered (No to a question) and counted.
    void answerUnexpectedBoxes()
    {
        m_unexpectedBoxes = 0;
        rio::gui::MessageBox::setHandler([this](const rio::gui::MessageBox::Request& r) {
            ++m_unexpectedBoxes;
            return r.buttons == rio::Buttons::Ok ? rio::Answer::Ok : rio::Answer::No;
        });
    }
};
