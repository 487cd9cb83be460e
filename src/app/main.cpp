// riapertura: the window that opens the new financial year.
#include "data/one_heap.h"
#include "gui/frm_riapri.h"

#include <QApplication>

int main(int argc, char** argv)
{
    rio::keepOneHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("riapertura"));
    // The window decides when the program ends, and with which status.
    QApplication::setQuitOnLastWindowClosed(false);

    rio::gui::FrmRiapri window;
    QObject::connect(&window, &rio::gui::FrmRiapri::programEnded, &app,
                     [](int status) { QCoreApplication::exit(status); });
    window.show();
    return app.exec();
}
