#pragma once

#include <QString>
#include <QStringList>

namespace rio {

// The five indicators of the status panel, top to bottom.
enum class StatusBox {
    Copia,
    RipristinoMagazzino,
    Inizializzazione,
    CreazioneMagazzino,
    CreazioneMovimContabili
};

// Labels of the status panel the run writes.
enum class PanelLabel { Azienda, AziendaLavorata, NumAzienda };

enum class Buttons { Ok, YesNo };
enum class Icon { None, Information, Exclamation, Critical };
enum class Answer { Ok, Yes, No };

// What the run and its steps need of the screen. The window, the console
// front end and the tests each implement it; the core never touches a widget.
class Host
{
public:
    virtual ~Host() = default;

    // Caption of the progress label lblArt (the progress service adds the
    // event-list line itself through appendEvent).
    virtual void setProgressCaption(const QString& caption) = 0;
    // One more line at the end of the event list.
    virtual void appendEvent(const QString& line) = 0;

    virtual void setStatus(StatusBox box, bool ticked) = 0;
    virtual void setLabel(PanelLabel label, const QString& caption) = 0;
    virtual void setRunEnabled(bool enabled) = 0;   // cmd
    virtual void setCloseEnabled(bool enabled) = 0; // cmdChiudi
    virtual void lockYears() = 0;                   // txtDbOld, txtDbNew

    // The user's choices, read at the moment the run needs them:
    // chklog, cmbSorgente's selected index (0 LOCAL, 1 SERVER), chkSplus.
    virtual bool logTicked() const = 0;
    virtual int dataSourceIndex() const = 0;
    virtual bool zetaFolderTicked() const = 0;

    // A modal message box; returns the answer.
    virtual Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) = 0;

    // Hourglass or default pointer: a state, not a stack.
    virtual void setBusy(bool hourglass) = 0;

    // Lets pending window messages be processed.
    virtual void yield() = 0;

    // Closes the main window (its closing sequence releases the run's objects).
    virtual void closeWindow() = 0;

    // A step of the run has ended for a company (slot 0: the common part),
    // with its wall time; for timings and the verification report.
    virtual void stepFinished(const QString& /*step*/, int /*slot*/, qint64 /*milliseconds*/, bool /*ok*/) {}

    // The verification report of a finished run: its Windows path (empty when
    // it could not be written) and a few summary lines.
    virtual void verificationReady(const QString& /*reportPath*/, const QStringList& /*summary*/) {}

    // Progress of the run for a progress bar: company i of n, and within it
    // done of total units of the current step (total 0: no step measure).
    virtual void setRunProgress(int /*company*/, int /*companies*/, qint64 /*done*/, qint64 /*total*/) {}
};

} // namespace rio
