#pragma once

#include "run/restore.h"

#include <QDialog>
#include <QList>

#include <atomic>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QTreeWidget;

namespace rio::gui {

// "Ripristina copia...": the safety copies under the root, newest first, with
// their date, age, size, what they hold (the data before the opening, or
// already the new year) and whether they match their manifest. The copies are read
// back one after the other on a worker thread, with a progress bar and a
// button that interrupts the reading. The newest copy made before an opening
// is preselected; the user picks the copy to restore, or undoes the last
// restore, or removes an old copy (never the newest complete one).
class DlgRipristino : public QDialog
{
    Q_OBJECT

public:
    DlgRipristino(const QString& root, const QList<SafetyCopy>& copies, QWidget* parent = nullptr);
    ~DlgRipristino() override;

    // The name of the copy picked, once the dialog is accepted.
    const QString& chosenCopy() const { return m_chosen; }
    // Accepted to undo the last restore instead (chosenCopy empty).
    bool undoChosen() const { return m_undo; }
    // The background reading is still going on, or its findings are still
    // on their way to the list.
    bool checking() const { return m_checking; }

public slots:
    void cmdInterrompi_Click();
    void cmdRipristinaCopia_Click();
    void cmdAnnullaRipristino_Click();
    // Asks (default No), then removes the selected copy; its row stays, marked removed.
    void cmdRimuoviCopia_Click();

private:
    void startChecking();
    void showProgress(int row, qint64 done, qint64 total);
    void showCheck(int row, const CopyCheck& check);
    void checkingEnded();
    void updateButtons();
    int selectedRow() const;

    QString m_root;
    QList<SafetyCopy> m_copies;
    QList<bool> m_removed;
    QList<std::optional<CopyCheck>> m_checks;
    QTreeWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_interrupt = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_undoButton = nullptr;
    QThread* m_worker = nullptr;
    std::atomic_bool m_cancelled{false};
    bool m_checking = false;
    QString m_chosen;
    bool m_undo = false;
};

} // namespace rio::gui
