#include "gui/message_box.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace rio::gui {

namespace {

QList<Answer>& nextAnswers()
{
    static QList<Answer> answers;
    return answers;
}

std::function<Answer(const MessageBox::Request&)>& handler()
{
    static std::function<Answer(const MessageBox::Request&)> h;
    return h;
}

std::function<QString(const QString&)>& saveFileHandler()
{
    static std::function<QString(const QString&)> h;
    return h;
}

std::function<bool(const QString&)>& openFileHandler()
{
    static std::function<bool(const QString&)> h;
    return h;
}

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Answer MessageBox::show(QWidget* parent, const Request& request)
{
    if (!nextAnswers().isEmpty())
        return nextAnswers().takeFirst();
    if (handler())
        return handler()(request);

    QMessageBox box(qtIcon(request.icon), request.title, request.text, QMessageBox::NoButton, parent);
    if (request.buttons != Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sì"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

void MessageBox::setNextAnswer(Answer answer)
{
    nextAnswers().append(answer);
}

void MessageBox::setHandler(std::function<Answer(const Request&)> h)
{
    handler() = std::move(h);
}

void MessageBox::reset()
{
    nextAnswers().clear();
    handler() = nullptr;
    saveFileHandler() = nullptr;
    openFileHandler() = nullptr;
}

QString MessageBox::askSaveFile(QWidget* parent, const QString& caption, const QString& suggested)
{
    if (saveFileHandler())
        return saveFileHandler()(suggested);
    return QFileDialog::getSaveFileName(parent, caption, suggested, QStringLiteral("File di testo (*.txt)"));
}

void MessageBox::setSaveFileHandler(std::function<QString(const QString&)> h)
{
    saveFileHandler() = std::move(h);
}

bool MessageBox::openFile(const QString& path)
{
    if (openFileHandler())
        return openFileHandler()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void MessageBox::setOpenFileHandler(std::function<bool(const QString&)> h)
{
    openFileHandler() = std::move(h);
}

} // namespace rio::gui
