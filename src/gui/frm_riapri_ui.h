#pragma once

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QWidget;

namespace rio::gui {

class IndicatorBox;

// The controls of the main window, created and laid out by setupUi.
struct FrmRiapriUi
{
    QLabel* Label5 = nullptr;
    QComboBox* cmbSorgente = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtDbOld = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtDbNew = nullptr;
    QPushButton* cmd = nullptr;
    QPushButton* cmdVerifica = nullptr; // the check before the run, writing nothing
    QPushButton* cmdAziende = nullptr;  // chooses the companies the run opens
    QLabel* Label8 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    QCheckBox* chklog = nullptr;
    QComboBox* cmbFiltro = nullptr; // every line, or only the warnings and errors
    QLabel* lblConteggio = nullptr; // how many errors and warnings the list holds
    QListView* lstEventi = nullptr;
    QAction* actCopia = nullptr;       // lstEventi's menu: the selected line to the clipboard
    QAction* actSalvaElenco = nullptr; // lstEventi's menu: every line to a text file
    QCheckBox* chkSplus = nullptr;
    QGroupBox* Frame1 = nullptr;
    QFrame* Picture1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblAzienda = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* lblAziendaLavorata = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* lblNumAzienda = nullptr;
    QLabel* lblArt = nullptr;
    QProgressBar* barProgresso = nullptr;
    QLabel* lblTime = nullptr;    // elapsed time and the estimate of what is left
    QLabel* lblOutcome = nullptr; // how the last run ended
    IndicatorBox* chkCopia = nullptr;
    IndicatorBox* chkRipristinoMagazzino = nullptr;
    IndicatorBox* chkInizializzazione = nullptr;
    IndicatorBox* chkCreazioneMagazzino = nullptr;
    IndicatorBox* chkCreazioneMovimContabili = nullptr;
    QPushButton* cmdSimula = nullptr;     // the whole run on a scratch copy, the installation untouched
    QPushButton* cmdRipristina = nullptr; // restores a safety copy
    QPushButton* cmdRapporto = nullptr;   // opens the verification report
    QPushButton* cmdChiudi = nullptr;
    QLabel* lblVersione = nullptr; // the program's version

    // The choices of a run and the buttons that start one (a run, the check,
    // a restore): all enabled, or all disabled while one is in progress.
    void setChoicesEnabled(bool enabled);

    // Creates every control in its start-up state inside form.
    void setupUi(QWidget* form);
};

} // namespace rio::gui
