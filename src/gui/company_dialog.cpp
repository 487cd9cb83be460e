#include "gui/company_dialog.h"

#include "context/layout.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace rio::gui {

namespace {

enum Column { Company, Name, NewYear, Last, Columns };

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

DlgAziende::DlgAziende(const QList<CompanyOverview>& companies, const QList<int>& chosen, QWidget* parent)
    : QDialog(parent), m_companies(companies)
{
    setObjectName(QStringLiteral("dlgAziende"));
    setWindowTitle(QStringLiteral("Scegli aziende"));

    auto* heading = named(new QLabel(this), "lblAziende");
    heading->setWordWrap(true);
    heading->setText(QStringLiteral("Aziende da riaprire: quelle non spuntate restano come sono (la copia di "
                                    "sicurezza comprende comunque l'intera cartella dati)."));

    m_list = named(new QTreeWidget(this), "lstAziende");
    m_list->setColumnCount(Columns);
    m_list->setHeaderLabels({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"),
                             QStringLiteral("Cartella %1").arg(layout::AnnoDaAprire),
                             QStringLiteral("Ultima riapertura")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setMinimumSize(720, 200);
    for (const CompanyOverview& c : companies) {
        auto* item = new QTreeWidgetItem(
            m_list, {layout::companyFolderName(c.slot), c.name,
                     c.newYear ? QStringLiteral("presente") : QStringLiteral("assente"), c.lastOutcome});
        item->setData(Company, Qt::UserRole, c.slot);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Company,
                            chosen.isEmpty() || chosen.contains(c.slot) ? Qt::Checked : Qt::Unchecked);
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_list, &QTreeWidget::itemChanged, this, &DlgAziende::updateButtons);

    m_hint = named(new QLabel(this), "lblScelta");
    auto* all = named(new QPushButton(QStringLiteral("&Tutte"), this), "cmdTutte");
    auto* none = named(new QPushButton(QStringLiteral("&Nessuna"), this), "cmdNessuna");
    connect(all, &QPushButton::clicked, this, &DlgAziende::cmdTutte_Click);
    connect(none, &QPushButton::clicked, this, &DlgAziende::cmdNessuna_Click);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = named(buttons->button(QDialogButtonBox::Ok), "cmdOk");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdAnnulla"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
    connect(buttons, &QDialogButtonBox::accepted, this, &DlgAziende::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(all);
    row->addWidget(none);
    row->addWidget(m_hint, 1);
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list, 1);
    layout->addLayout(row);
    updateButtons();
}

QList<int> DlgAziende::ticked() const
{
    QList<int> numbers;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->checkState(Company) == Qt::Checked)
            numbers << item->data(Company, Qt::UserRole).toInt();
    }
    return numbers;
}

void DlgAziende::updateButtons()
{
    const qsizetype count = ticked().size();
    m_ok->setEnabled(count > 0);
    m_hint->setText(count == 0 ? QStringLiteral("Scegliere almeno un'azienda.")
                               : QStringLiteral("Scelte: %1 di %2").arg(count).arg(m_companies.size()));
}

void DlgAziende::cmdTutte_Click()
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setCheckState(Company, Qt::Checked);
}

void DlgAziende::cmdNessuna_Click()
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setCheckState(Company, Qt::Unchecked);
}

void DlgAziende::accept()
{
    const QList<int> numbers = ticked();
    // A run that opens nothing would still end as done.
    if (numbers.isEmpty())
        return;
    m_chosen = numbers.size() == m_companies.size() ? QList<int>() : numbers;
    QDialog::accept();
}

} // namespace rio::gui
