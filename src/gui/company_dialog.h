#pragma once

#include "run/company_choice.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace rio::gui {

// "Scegli aziende...": the companies found, each with its name, whether its
// new-year folder already exists and the outcome of its last opening, each with
// a tick. The companies of the current choice are ticked (every one when
// there is none). OK is refused while none is ticked.
class DlgAziende : public QDialog
{
    Q_OBJECT

public:
    // chosen: the current choice (empty: every company).
    DlgAziende(const QList<CompanyOverview>& companies, const QList<int>& chosen, QWidget* parent = nullptr);

    // Once accepted: the slots ticked, ascending; empty when every company
    // found is ticked, so that a company added later is opened too, as
    // without a choice.
    QList<int> chosenCompanies() const { return m_chosen; }

public slots:
    void cmdTutte_Click();
    void cmdNessuna_Click();
    void accept() override;

private:
    QList<int> ticked() const;
    void updateButtons();

    QList<CompanyOverview> m_companies;
    QTreeWidget* m_list = nullptr;
    QLabel* m_hint = nullptr;
    QPushButton* m_ok = nullptr;
    QList<int> m_chosen;
};

} // namespace rio::gui
