// riapertura-screenshot PNG [DIALOG_PNG]: runs the year opening in the window
// on the installation of $RIAPERTURA_DRIVE_C, answering every box (Yes to the
// confirmation), and saves a picture of the window as it stands at the end;
// with a second file, then opens "Ripristina copia...", waits for its copies
// to be read back, and saves a picture of that dialog.
// For the documentation; scripts/screenshot runs it under Xvfb.
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "gui/qt_translations.h"
#include "gui/restore_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <cstdio>

namespace {

// The restore dialog once its copies are read back, or null.
rio::gui::DlgRipristino* restoreDialog(rio::gui::FrmRiapri& window)
{
    window.cmdRipristina_Click();
    auto* dialog = window.findChild<rio::gui::DlgRipristino*>();
    QElapsedTimer waited;
    waited.start();
    while (dialog && dialog->checking() && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return dialog;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    rio::gui::installItalianQtTexts(app);
    if (argc != 2 && argc != 3) {
        std::fputs("Uso: riapertura-screenshot FILE.png [DIALOGO.png]\n", stderr);
        return 2;
    }
    const QString target = QString::fromLocal8Bit(argv[1]);

    rio::gui::MessageBox::setHandler([](const rio::gui::MessageBox::Request& r) {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(r.title), qPrintable(r.text));
        return r.buttons == rio::Buttons::Ok ? rio::Answer::Ok : rio::Answer::Yes;
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
    if (argc == 3) {
        const QString dialogTarget = QString::fromLocal8Bit(argv[2]);
        rio::gui::DlgRipristino* dialog = restoreDialog(window);
        if (!dialog || !dialog->grab().save(dialogTarget)) {
            std::fprintf(stderr, "Impossibile scrivere %s\n", qPrintable(dialogTarget));
            return 1;
        }
    }
    return 0;
}
