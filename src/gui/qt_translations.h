#pragma once

class QCoreApplication;

namespace rio::gui {

// Loads Qt's own Italian texts (the buttons of the message boxes, the file
// dialog) from the translations installed with Qt, qtbase_it.qm; needs the
// application object and installs the translator on it for the program's
// life. Returns false, changing nothing, when they are not installed: the
// boxes then keep Qt's English buttons.
bool installItalianQtTexts(QCoreApplication& app);

} // namespace rio::gui
