#include "gui/frm_riapri_ui.h"

#include "context/wording.h"
#include "gui/event_list_model.h"
#include "gui/indicator_box.h"
#include "gui/powered_by_logo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>

namespace rio::gui {

namespace {

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* heading(const QString& text, const char* name, QWidget* parent)
{
    auto* label = named(new QLabel(text, parent), name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLineEdit* yearBox(const char* name, QWidget* parent)
{
    auto* box = named(new QLineEdit(parent), name);
    box->setAlignment(Qt::AlignCenter);
    box->setMaxLength(4);
    box->setFixedWidth(90);
    // The years are fixed: the boxes only show them, and Tab passes them by.
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

// Top: data source, the two years, the run button, the choice of the
// companies and the check button, the maker's logo. Returns the grid that lays them out.
QGridLayout* setupYearsAndChoices(FrmRiapriUi& ui, QWidget* form)
{
    ui.Label5 = heading(QStringLiteral("SORGENTE DATI"), "Label5", form);
    ui.cmbSorgente = named(new QComboBox(form), "cmbSorgente");
    ui.cmbSorgente->addItems({QStringLiteral("LOCAL"), QStringLiteral("SERVER")});
    ui.cmbSorgente->setCurrentIndex(0);
    ui.Label1 = heading(QStringLiteral("ESERCIZIO IN CORSO"), "Label1", form);
    ui.txtDbOld = yearBox("txtDbOld", form);
    ui.Label2 = heading(QStringLiteral("ESERCIZIO DA APRIRE"), "Label2", form);
    ui.txtDbNew = yearBox("txtDbNew", form);
    ui.cmd = named(new QPushButton(QStringLiteral("&ESEGUI"), form), "cmd");
    ui.cmd->setMinimumSize(110, 44);
    ui.cmd->setDefault(true);
    ui.cmdVerifica = named(new QPushButton(QStringLiteral("&VERIFICA"), form), "cmdVerifica");
    ui.cmdVerifica->setMinimumSize(110, 44);
    ui.cmdAziende = named(new QPushButton(QStringLiteral("Scegli a&ziende..."), form), "cmdAziende");
    ui.cmdAziende->setMinimumSize(110, 44);
    ui.cmdAziende->setToolTip(QStringLiteral("Sceglie quali aziende riaprire; senza scelta le riapre tutte"));
    ui.Label8 = named(new QLabel(QStringLiteral("Powered By"), form), "Label8");
    ui.Image1 = named(new QLabel(form), "Image1");
    ui.Image1->setPixmap(poweredByLogo(form->devicePixelRatioF()));

    auto* top = new QGridLayout;
    top->addWidget(ui.Label5, 0, 0);
    top->addWidget(ui.cmbSorgente, 1, 0);
    top->addWidget(ui.Label1, 0, 1);
    top->addWidget(ui.txtDbOld, 1, 1);
    top->addWidget(ui.Label2, 0, 2);
    top->addWidget(ui.txtDbNew, 1, 2);
    top->addWidget(ui.cmd, 0, 3, 2, 1, Qt::AlignVCenter);
    top->addWidget(ui.cmdAziende, 0, 4, 2, 1, Qt::AlignVCenter);
    top->addWidget(ui.cmdVerifica, 0, 5, 2, 1, Qt::AlignVCenter);
    top->setColumnStretch(6, 1);
    top->addWidget(ui.Label8, 0, 7, Qt::AlignRight);
    top->addWidget(ui.Image1, 1, 7, Qt::AlignRight);
    return top;
}

// Middle: the event list, the largest control, under its heading, its filter
// with the count of errors and warnings, and the log choice; the Zeta folder
// choice below it. Returns the heading's row.
QHBoxLayout* setupEventList(FrmRiapriUi& ui, QWidget* form)
{
    ui.Label3 = heading(QStringLiteral("LOG Eventi"), "Label3", form);
    ui.chklog = named(new QCheckBox(QStringLiteral("Crea file Log"), form), "chklog");
    ui.chklog->setChecked(true);
    ui.cmbFiltro = named(new QComboBox(form), "cmbFiltro");
    ui.cmbFiltro->addItems({QStringLiteral("Tutti gli eventi"), QStringLiteral("Solo avvisi ed errori")});
    ui.cmbFiltro->setToolTip(QStringLiteral("Cambia solo ciò che l'elenco mostra: le righe restano tutte"));
    ui.lblConteggio =
        named(new QLabel(QStringLiteral("0 righe di errore, 0 righe di avviso"), form), "lblConteggio");
    ui.lblConteggio->setTextFormat(Qt::PlainText);
    // Room for large counts from the start: a count that grows never moves
    // or widens the window.
    ui.lblConteggio->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui.lblConteggio->setMinimumWidth(ui.lblConteggio->fontMetrics().horizontalAdvance(
        QStringLiteral("99999 righe di errore, 99999 righe di avviso")));
    ui.lstEventi = named(new QListView(form), "lstEventi");
    ui.lstEventi->setUniformItemSizes(true);
    ui.lstEventi->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui.lstEventi->setSelectionMode(QAbstractItemView::SingleSelection);
    ui.lstEventi->setMinimumHeight(220);
    ui.lstEventi->setItemDelegate(new EventLineDelegate(ui.lstEventi));
    ui.actCopia = named(new QAction(QStringLiteral("Copia"), ui.lstEventi), "actCopia");
    ui.actCopia->setShortcut(QKeySequence::Copy);
    ui.actCopia->setShortcutContext(Qt::WidgetShortcut);
    ui.actSalvaElenco = named(new QAction(QStringLiteral("Salva elenco..."), ui.lstEventi), "actSalvaElenco");
    ui.lstEventi->addAction(ui.actCopia);
    ui.lstEventi->addAction(ui.actSalvaElenco);
    ui.lstEventi->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* eventsHeader = new QHBoxLayout;
    eventsHeader->addWidget(ui.Label3);
    eventsHeader->addSpacing(12);
    eventsHeader->addWidget(ui.cmbFiltro);
    eventsHeader->addWidget(ui.lblConteggio);
    eventsHeader->addStretch(1);
    eventsHeader->addWidget(ui.chklog);

    ui.chkSplus =
        named(new QCheckBox(QStringLiteral("Abilita aggiornamento in cartella Zeta (Abilitare Solo se "
                                           "comunicato dalla Ventor Soluzioni)"),
                            form),
              "chkSplus");
    return eventsHeader;
}

// A control that may be hidden without moving the others: its place stays.
void keepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

// The company being worked, and "Azienda n di m", hidden until a run has
// found the companies and started the first (nothing is known before).
void setupCompanyLabels(FrmRiapriUi& ui, QWidget* panel)
{
    ui.Label4 = named(new QLabel(QStringLiteral("Lavorazione Azienda:"), panel), "Label4");
    ui.lblAzienda = named(new QLabel(panel), "lblAzienda");
    ui.lblAzienda->setTextFormat(Qt::PlainText);
    ui.lblAzienda->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont companyFont = ui.lblAzienda->font();
    companyFont.setBold(true);
    ui.lblAzienda->setFont(companyFont);
    ui.lblAzienda->setFixedHeight(ui.lblAzienda->fontMetrics().height() + 4);
    ui.Label7 = named(new QLabel(QStringLiteral("Azienda"), panel), "Label7");
    ui.lblAziendaLavorata = named(new QLabel(panel), "lblAziendaLavorata");
    ui.Label6 = named(new QLabel(QStringLiteral("di"), panel), "Label6");
    ui.lblNumAzienda = named(new QLabel(panel), "lblNumAzienda");
    for (QLabel* label : {ui.Label7, ui.lblAziendaLavorata, ui.Label6, ui.lblNumAzienda}) {
        keepPlaceWhenHidden(label);
        label->hide();
    }
}

// The progress text and the progress bar, hidden until a step shows it.
void setupProgress(FrmRiapriUi& ui, QWidget* panel)
{
    // The progress text: a coloured bar whose width never follows its text,
    // so that a caption per article does not relayout the window.
    ui.lblArt = named(new QLabel(panel), "lblArt");
    ui.lblArt->setTextFormat(Qt::PlainText);
    ui.lblArt->setAutoFillBackground(true);
    QPalette bar = ui.lblArt->palette();
    bar.setColor(QPalette::Window, QColor(0x0b, 0x2e, 0x63));
    bar.setColor(QPalette::WindowText, QColor(0xff, 0xe0, 0x8a));
    ui.lblArt->setPalette(bar);
    ui.lblArt->setMargin(4);
    ui.lblArt->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    ui.lblArt->setFixedHeight(ui.lblArt->fontMetrics().height() + 12);

    ui.barProgresso = named(new QProgressBar(panel), "barProgresso");
    ui.barProgresso->setRange(0, 1000);
    ui.barProgresso->setValue(0);
    ui.barProgresso->setTextVisible(false);
    keepPlaceWhenHidden(ui.barProgresso);
    ui.barProgresso->hide();

    // One line each, of a fixed height, their places kept: what a run writes
    // into them never moves or grows the window.
    ui.lblTime = named(new QLabel(panel), "lblTime");
    ui.lblTime->setTextFormat(Qt::PlainText);
    ui.lblTime->setFixedHeight(ui.lblTime->fontMetrics().height() + 4);
    ui.lblOutcome = named(new QLabel(panel), "lblOutcome");
    ui.lblOutcome->setTextFormat(Qt::PlainText);
    QFont outcomeFont = ui.lblOutcome->font();
    outcomeFont.setBold(true);
    ui.lblOutcome->setFont(outcomeFont);
    ui.lblOutcome->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    ui.lblOutcome->setFixedHeight(QFontMetrics(outcomeFont).height() + 4);
    keepPlaceWhenHidden(ui.lblOutcome);
    ui.lblOutcome->hide();
}

// One box per step of the run, ticked as each ends.
void setupStepIndicators(FrmRiapriUi& ui, QWidget* panel)
{
    ui.chkCopia = named(new IndicatorBox(QStringLiteral("Copia di salvataggio dati..."), panel), "chkCopia");
    ui.chkRipristinoMagazzino =
        named(new IndicatorBox(QStringLiteral("Ripristino movimenti di Magazzino..."), panel),
              "chkRipristinoMagazzino");
    ui.chkInizializzazione =
        named(new IndicatorBox(QStringLiteral("&Inizializzazione Nuovo Archivio..."), panel),
              "chkInizializzazione");
    ui.chkCreazioneMagazzino =
        named(new IndicatorBox(QStringLiteral("Creazione nuovi Movimenti di magazzino..."), panel),
              "chkCreazioneMagazzino");
    ui.chkCreazioneMovimContabili =
        named(new IndicatorBox(QStringLiteral("Creazione nuovi Movimenti contabili..."), panel),
              "chkCreazioneMovimContabili");
}

// The panel's layout: company and progress on the left, the steps on the
// right.
void layOutStatusPanel(FrmRiapriUi& ui)
{
    auto* counter = new QHBoxLayout;
    counter->addWidget(ui.Label7);
    counter->addWidget(ui.lblAziendaLavorata);
    counter->addWidget(ui.Label6);
    counter->addWidget(ui.lblNumAzienda);
    counter->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addWidget(ui.Label4);
    left->addWidget(ui.lblAzienda);
    left->addLayout(counter);
    left->addStretch(1);
    left->addWidget(ui.lblArt);
    left->addWidget(ui.barProgresso);
    left->addWidget(ui.lblTime);
    left->addWidget(ui.lblOutcome);

    auto* right = new QVBoxLayout;
    for (QCheckBox* box :
         {static_cast<QCheckBox*>(ui.chkCopia), static_cast<QCheckBox*>(ui.chkRipristinoMagazzino),
          static_cast<QCheckBox*>(ui.chkInizializzazione), static_cast<QCheckBox*>(ui.chkCreazioneMagazzino),
          static_cast<QCheckBox*>(ui.chkCreazioneMovimContabili)})
        right->addWidget(box);

    auto* panel = new QHBoxLayout(ui.Picture1);
    panel->addLayout(left, 3);
    panel->addLayout(right, 2);
    auto* frameLayout = new QVBoxLayout(ui.Frame1);
    frameLayout->addWidget(ui.Picture1);
}

// Bottom: the status panel, STATO RIAPERTURA.
void setupStatusPanel(FrmRiapriUi& ui, QWidget* form)
{
    ui.Frame1 = named(new QGroupBox(QStringLiteral("STATO RIAPERTURA:"), form), "Frame1");
    ui.Picture1 = named(new QFrame(ui.Frame1), "Picture1");
    ui.Picture1->setFrameShape(QFrame::StyledPanel);
    setupCompanyLabels(ui, ui.Picture1);
    setupProgress(ui, ui.Picture1);
    setupStepIndicators(ui, ui.Picture1);
    layOutStatusPanel(ui);
}

// The close button, the rehearsal's, the restore's, and the report's, hidden
// until there is a report. Returns their row.
QHBoxLayout* setupButtons(FrmRiapriUi& ui, QWidget* form)
{
    ui.cmdSimula = named(new QPushButton(QStringLiteral("&Simula..."), form), "cmdSimula");
    ui.cmdSimula->setMinimumHeight(32);
    ui.cmdSimula->setToolTip(QStringLiteral(
        "Esegue l'intera riapertura su una copia di lavoro della cartella dati, poi rimossa: l'installazione "
        "non viene modificata; il rapporto di verifica va in dati\\Tmp"));
    ui.cmdRipristina = named(new QPushButton(QStringLiteral("&Ripristina copia..."), form), "cmdRipristina");
    ui.cmdRipristina->setMinimumHeight(32);
    ui.cmdRipristina->setToolTip(QStringLiteral(
        "Rimette una copia di sicurezza al posto della cartella dati (la cartella attuale è messa "
        "da parte, non cancellata)"));
    ui.cmdChiudi = named(new QPushButton(QStringLiteral("&Chiudi"), form), "cmdChiudi");
    ui.cmdChiudi->setMinimumSize(110, 32);
    ui.cmdRapporto =
        named(new QPushButton(QStringLiteral("&Apri rapporto di verifica"), form), "cmdRapporto");
    ui.cmdRapporto->setMinimumHeight(32);
    ui.cmdRapporto->hide();
    ui.lblVersione = named(new QLabel(QStringLiteral("Versione ") + programVersion(), form), "lblVersione");
    ui.lblVersione->setEnabled(false); // grey: information, not a control
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ui.cmdSimula);
    bottom->addWidget(ui.cmdRipristina);
    bottom->addWidget(ui.cmdRapporto);
    bottom->addStretch(1);
    bottom->addWidget(ui.lblVersione);
    bottom->addWidget(ui.cmdChiudi);
    return bottom;
}

// The order the Tab key follows: the choices of a run, the buttons that
// start it, the event list with its filter, the lower buttons. The year
// boxes and the status boxes only show: they take no focus.
void setupTabOrder(const FrmRiapriUi& ui)
{
    QWidget* const order[] = {ui.cmbSorgente, ui.chkSplus,      ui.chklog,      ui.cmd,
                              ui.cmdAziende,  ui.cmdVerifica,   ui.cmbFiltro,   ui.lstEventi,
                              ui.cmdSimula,   ui.cmdRipristina, ui.cmdRapporto, ui.cmdChiudi};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace

void FrmRiapriUi::setupUi(QWidget* form)
{
    // The pieces create their controls in this order, which is also the
    // order of the form's children.
    QGridLayout* top = setupYearsAndChoices(*this, form);
    QHBoxLayout* eventsHeader = setupEventList(*this, form);
    setupStatusPanel(*this, form);
    QHBoxLayout* bottom = setupButtons(*this, form);

    auto* layout = new QVBoxLayout(form);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(eventsHeader);
    layout->addWidget(lstEventi, 1);
    layout->addWidget(chkSplus);
    layout->addWidget(Frame1);
    layout->addLayout(bottom);

    setupTabOrder(*this);
}

void FrmRiapriUi::setChoicesEnabled(bool enabled)
{
    for (QWidget* choice :
         {static_cast<QWidget*>(cmbSorgente), static_cast<QWidget*>(chkSplus), static_cast<QWidget*>(chklog),
          static_cast<QWidget*>(cmd), static_cast<QWidget*>(cmdAziende), static_cast<QWidget*>(cmdVerifica),
          static_cast<QWidget*>(cmdSimula), static_cast<QWidget*>(cmdRipristina)})
        choice->setEnabled(enabled);
}

} // namespace rio::gui
