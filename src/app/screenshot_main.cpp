// riapertura-screenshot PNG: runs the year opening in the window on the
// installation of $RIAPERTURA_DRIVE_C, answering every box (Yes to the
// confirmation), and saves a picture of the window as it stands at the end.
// For the documentation; scripts/screenshot runs it under Xvfb.
#include "gui/frm_riapri.h"
#include "gui/message_box.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Uso: riapertura-screenshot FILE.png\n", stderr);
        return 2;
    }
    const QString target = QString::fromLocal8Bit(argv[1]);

    rio::gui::MessageBox::setHandler([](const rio::gui::MessageBox::Request& r) {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(r.title), qPrintable(r.text));
        return r.buttons == rio::Buttons::YesNo ? rio::Answer::Yes : rio::Answer::Ok;
    });
    rio::gui::FrmRiapri window;
    window.resize(860, 720);
    window.show();
    QCoreApplication::processEvents();
    window.cmd_Click();
    if (window.exitStatus()) {
        std::fputs("La riapertura ha terminato il programma: nessuna immagine.\n", stderr);
        return 1;
    }
    // Let the last lines and the scrolling reach the screen.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!window.grab().save(target)) {
        std::fprintf(stderr, "Impossibile scrivere %s\n", qPrintable(target));
        return 1;
    }
    return 0;
}
