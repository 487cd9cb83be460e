#include "gui/restore_dialog.h"

#include "context/run_context.h"
#include "gui/message_box.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace rio::gui {

namespace {

enum Column { Name, Taken, Age, Size, Kind, Check, Columns };

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QColor colourOf(CopyCheck::State state)
{
    switch (state) {
    case CopyCheck::State::Verified:
        return QColor(0x17, 0x6b, 0x1c);
    case CopyCheck::State::NoManifest:
    case CopyCheck::State::Cancelled:
        return QColor(0x8a, 0x5a, 0x00);
    case CopyCheck::State::Differs:
    case CopyCheck::State::Unreadable:
        break;
    }
    return QColor(0xb0, 0x00, 0x00);
}

} // namespace

DlgRipristino::DlgRipristino(const QString& root, const QList<SafetyCopy>& copies, QWidget* parent)
    : QDialog(parent), m_root(root), m_copies(copies), m_removed(copies.size(), false),
      m_checks(copies.size())
{
    setObjectName(QStringLiteral("dlgRipristino"));
    setWindowTitle(QStringLiteral("Ripristina copia di sicurezza"));

    auto* heading = named(new QLabel(this), "lblCopie");
    heading->setWordWrap(true);
    heading->setText(
        copies.isEmpty()
            ? QStringLiteral("Nessuna copia di sicurezza (Copia_dati_...) in %1.").arg(root)
            : QStringLiteral("Copie di sicurezza in %1, dalla più recente. Ogni copia è riletta e "
                             "confrontata con il suo manifesto.")
                  .arg(root));

    m_list = named(new QTreeWidget(this), "lstCopie");
    m_list->setColumnCount(Columns);
    m_list->setHeaderLabels({QStringLiteral("Copia"), QStringLiteral("Data e ora"), QStringLiteral("Età"),
                             QStringLiteral("Dimensione"), QStringLiteral("Contenuto"),
                             QStringLiteral("Verifica")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMinimumSize(860, 160);
    const QDateTime now = QDateTime::currentDateTime();
    for (const SafetyCopy& copy : copies) {
        auto* item =
            new QTreeWidgetItem(m_list, {copy.name, copy.takenText(), copy.ageText(now), copy.sizeText(),
                                         copy.kindText(), QStringLiteral("da verificare")});
        item->setTextAlignment(Size, Qt::AlignRight | Qt::AlignVCenter);
        // What undoes the opening stands out.
        if (copy.beforeOpening()) {
            QFont bold = item->font(Kind);
            bold.setBold(true);
            item->setFont(Kind, bold);
        }
    }
    for (int c = Name; c < Check; ++c)
        m_list->resizeColumnToContents(c);
    m_list->header()->setStretchLastSection(true);

    m_status = named(new QLabel(this), "lblVerifica");
    m_interrupt = named(new QPushButton(QStringLiteral("&Interrompi verifica"), this), "cmdInterrompi");
    m_bar = named(new QProgressBar(this), "barVerifica");
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    auto* note =
        named(new QLabel(QStringLiteral("La copia scelta prende il posto della cartella dati; la cartella "
                                        "attuale non è cancellata ma messa da parte accanto ad essa, e la "
                                        "sua cartella Tmp (log e rapporti) è conservata."),
                         this),
              "lblAvviso");
    note->setWordWrap(true);
    const QString aside = setAsideFolder(root);
    auto* asideNote = named(new QLabel(this), "lblMessaDaParte");
    asideNote->setWordWrap(true);
    asideNote->setText(aside.isEmpty()
                           ? QStringLiteral("Nessun ripristino da annullare.")
                           : QStringLiteral("L'ultimo ripristino ha messo da parte la cartella dati "
                                            "di prima in %1 (%2): \"Annulla l'ultimo ripristino\" la "
                                            "rimette al suo posto.")
                                 .arg(aside, dataKindText(aside)));
    m_undoButton = named(new QPushButton(QStringLiteral("Annulla l'&ultimo ripristino..."), this),
                         "cmdAnnullaRipristino");
    m_undoButton->setEnabled(!aside.isEmpty());
    m_remove = named(new QPushButton(QStringLiteral("Ri&muovi copia..."), this), "cmdRimuoviCopia");
    m_restore = named(new QPushButton(QStringLiteral("&Ripristina..."), this), "cmdRipristinaCopia");
    auto* close = named(new QPushButton(QStringLiteral("&Annulla"), this), "cmdAnnulla");
    close->setDefault(true);

    auto* progress = new QHBoxLayout;
    progress->addWidget(m_status, 1);
    progress->addWidget(m_interrupt);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_undoButton);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(m_restore);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list, 1);
    layout->addLayout(progress);
    layout->addWidget(m_bar);
    layout->addWidget(note);
    layout->addWidget(asideNote);
    layout->addLayout(buttons);

    connect(m_interrupt, &QPushButton::clicked, this, &DlgRipristino::cmdInterrompi_Click);
    connect(m_restore, &QPushButton::clicked, this, &DlgRipristino::cmdRipristinaCopia_Click);
    connect(m_undoButton, &QPushButton::clicked, this, &DlgRipristino::cmdAnnullaRipristino_Click);
    connect(m_remove, &QPushButton::clicked, this, &DlgRipristino::cmdRimuoviCopia_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &DlgRipristino::updateButtons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (m_restore->isEnabled())
            cmdRipristinaCopia_Click();
    });
    // What a technician undoing an opening wants; none when no copy is of that kind.
    if (const SafetyCopy* chosen = defaultSafetyCopy(m_copies))
        m_list->setCurrentItem(m_list->topLevelItem(int(chosen - m_copies.constData())));
    startChecking();
    updateButtons();
}

DlgRipristino::~DlgRipristino()
{
    m_cancelled = true;
    if (m_worker)
        m_worker->wait();
}

void DlgRipristino::startChecking()
{
    if (m_copies.isEmpty()) {
        m_status->setText(QStringLiteral("Nessuna copia da verificare."));
        m_interrupt->setEnabled(false);
        m_bar->setValue(m_bar->maximum());
        return;
    }
    // The worker only reads files; what it finds reaches the dialog as queued
    // calls, which are dropped if the dialog is gone by then.
    const QList<SafetyCopy> copies = m_copies;
    m_worker = QThread::create([this, copies] {
        for (int row = 0; row < copies.size() && !m_cancelled; ++row) {
            const CopyCheck check = checkSafetyCopy(
                copies[row].path,
                [this, row](qint64 done, qint64 total) {
                    QMetaObject::invokeMethod(
                        this, [this, row, done, total] { showProgress(row, done, total); },
                        Qt::QueuedConnection);
                },
                [this] { return m_cancelled.load(); });
            QMetaObject::invokeMethod(
                this, [this, row, check] { showCheck(row, check); }, Qt::QueuedConnection);
        }
    });
    m_worker->setParent(this);
    m_checking = true;
    connect(m_worker, &QThread::finished, this, &DlgRipristino::checkingEnded, Qt::QueuedConnection);
    m_status->setText(QStringLiteral("Verifica delle copie in corso..."));
    m_worker->start();
}

void DlgRipristino::showProgress(int row, qint64 done, qint64 total)
{
    const double within = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 1.0;
    m_bar->setValue(int((row + within) / m_copies.size() * m_bar->maximum()));
    m_status->setText(QStringLiteral("Verifica di %1 in corso (%2 di %3)...")
                          .arg(m_copies[row].name)
                          .arg(row + 1)
                          .arg(m_copies.size()));
}

void DlgRipristino::showCheck(int row, const CopyCheck& check)
{
    m_checks[row] = check;
    if (m_removed[row])
        return;
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    item->setText(Check, check.text());
    item->setToolTip(Check, check.problems.isEmpty() ? check.text() : check.problems.join(QLatin1Char('\n')));
    item->setForeground(Check, colourOf(check.state));
    if (check.state == CopyCheck::State::Differs || check.state == CopyCheck::State::Unreadable) {
        QFont bold = item->font(Check);
        bold.setBold(true);
        item->setFont(Check, bold);
    }
    updateButtons();
}

void DlgRipristino::checkingEnded()
{
    m_checking = false;
    const bool interrupted = m_cancelled;
    for (int row = 0; row < m_copies.size(); ++row)
        if (!m_checks[row] && !m_removed[row])
            m_list->topLevelItem(row)->setText(Check, QStringLiteral("verifica interrotta"));
    m_status->setText(interrupted
                          ? QStringLiteral("Verifica interrotta.")
                          : (m_copies.size() == 1
                                 ? QStringLiteral("Verifica completata: 1 copia.")
                                 : QStringLiteral("Verifica completata: %1 copie.").arg(m_copies.size())));
    if (!interrupted)
        m_bar->setValue(m_bar->maximum());
    m_interrupt->setEnabled(false);
    updateButtons();
}

int DlgRipristino::selectedRow() const
{
    const int row = m_list->currentItem() && m_list->currentItem()->isSelected()
                        ? m_list->indexOfTopLevelItem(m_list->currentItem())
                        : -1;
    return row >= 0 && !m_removed[row] ? row : -1;
}

void DlgRipristino::updateButtons()
{
    const int row = selectedRow();
    // A copy known not to match is refused by the restore: not offered.
    const bool refused = row >= 0 && m_checks[row] && !m_checks[row]->restorable() &&
                         m_checks[row]->state != CopyCheck::State::Cancelled;
    m_restore->setEnabled(row >= 0 && !refused);
    // Not while the copies are read: the one being read would go from under the reading.
    const bool newest = row >= 0 && &m_copies[row] == newestCompleteCopy(m_copies);
    m_remove->setEnabled(row >= 0 && !newest && !checking());
    m_remove->setToolTip(newest ? QStringLiteral("La copia completa più recente non può essere rimossa")
                                : QString());
    m_interrupt->setEnabled(checking() && !m_cancelled);
}

void DlgRipristino::cmdInterrompi_Click()
{
    m_cancelled = true;
    m_interrupt->setEnabled(false);
    m_status->setText(QStringLiteral("Interruzione della verifica..."));
}

void DlgRipristino::cmdAnnullaRipristino_Click()
{
    m_chosen.clear();
    m_undo = true;
    m_cancelled = true;
    if (m_worker)
        m_worker->wait();
    accept();
}

void DlgRipristino::cmdRimuoviCopia_Click()
{
    const int row = selectedRow();
    if (row < 0 || checking())
        return;
    const SafetyCopy& copy = m_copies[row];
    bool onlyBefore = copy.beforeOpening();
    for (int other = 0; other < m_copies.size() && onlyBefore; ++other)
        onlyBefore = other == row || m_removed[other] || !m_copies[other].beforeOpening();
    const QString question =
        QStringLiteral("Rimuovere definitivamente la copia di sicurezza %1 (%2, %3, %4, %5)?")
            .arg(copy.name, copy.takenText(), copy.ageText(), copy.sizeText(), copy.kindText()) +
        (onlyBefore ? QStringLiteral("\n\nÈ l'unica copia con i dati di prima della riapertura: senza di "
                                     "essa la riapertura non può più essere annullata.")
                    : QString());
    if (MessageBox::show(this, {question, Buttons::YesNoDefaultNo, Icon::Exclamation,
                                QLatin1String(ApplicationTitle)}) != Answer::Yes)
        return;
    const QString problem = removeSafetyCopy(m_root, copy.name);
    if (!problem.isEmpty()) {
        MessageBox::show(this, {QStringLiteral("Impossibile rimuovere la copia: %1.").arg(problem),
                                Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle)});
        return;
    }
    m_removed[row] = true;
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    item->setText(Check, QStringLiteral("rimossa"));
    item->setForeground(Check, QColor(0x80, 0x80, 0x80));
    item->setFlags(Qt::NoItemFlags);
    m_status->setText(QStringLiteral("Copia %1 rimossa.").arg(copy.name));
    updateButtons();
}

void DlgRipristino::cmdRipristinaCopia_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_chosen = m_copies[row].name;
    // The restore reads the copy again itself: the background reading stops.
    m_cancelled = true;
    if (m_worker)
        m_worker->wait();
    accept();
}

} // namespace rio::gui
