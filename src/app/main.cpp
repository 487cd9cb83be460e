// riapertura: the window that opens the new financial year.
#include "data/one_heap.h"
#include "gui/frm_riapri.h"
#include "gui/qt_translations.h"

#include <QApplication>

int main(int argc, char** argv)
{
    rio::keepOneHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("riapertura"));
    // Qt's own buttons and dialogs in Italian, like the rest of the window.
    rio::gui::installItalianQtTexts(app);
    // The window decides when the program ends, and with which status.
    QApplication::setQuitOnLastWindowClosed(false);

    rio::gui::FrmRiapri window;
    QObject::connect(&window, &rio::gui::FrmRiapri::programEnded, &app,
                     [](int status) { QCoreApplication::exit(status); });
    window.show();
    return app.exec();
}
