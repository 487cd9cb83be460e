#include "gui/frm_riapri_ui.h"

#include "gui/indicator_box.h"
#include "gui/powered_by_logo.h"

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
    return box;
}

} // namespace

void FrmRiapriUi::setupUi(QWidget* form)
{
    // Top: data source, the two years, the run button, the maker's logo.
    Label5 = heading(QStringLiteral("SORGENTE DATI"), "Label5", form);
    cmbSorgente = named(new QComboBox(form), "cmbSorgente");
    cmbSorgente->addItems({QStringLiteral("LOCAL"), QStringLiteral("SERVER")});
    cmbSorgente->setCurrentIndex(0);
    Label1 = heading(QStringLiteral("ESERCIZIO IN CORSO"), "Label1", form);
    txtDbOld = yearBox("txtDbOld", form);
    Label2 = heading(QStringLiteral("ESERCIZIO DA APRIRE"), "Label2", form);
    txtDbNew = yearBox("txtDbNew", form);
    cmd = named(new QPushButton(QStringLiteral("&ESEGUI"), form), "cmd");
    cmd->setMinimumSize(110, 44);
    cmd->setDefault(true);
    cmdVerifica = named(new QPushButton(QStringLiteral("&VERIFICA"), form), "cmdVerifica");
    cmdVerifica->setMinimumSize(110, 44);
    Label8 = named(new QLabel(QStringLiteral("Powered By"), form), "Label8");
    Image1 = named(new QLabel(form), "Image1");
    Image1->setPixmap(poweredByLogo(form->devicePixelRatioF()));

    auto* top = new QGridLayout;
    top->addWidget(Label5, 0, 0);
    top->addWidget(cmbSorgente, 1, 0);
    top->addWidget(Label1, 0, 1);
    top->addWidget(txtDbOld, 1, 1);
    top->addWidget(Label2, 0, 2);
    top->addWidget(txtDbNew, 1, 2);
    top->addWidget(cmd, 0, 3, 2, 1, Qt::AlignVCenter);
    top->addWidget(cmdVerifica, 0, 4, 2, 1, Qt::AlignVCenter);
    top->setColumnStretch(5, 1);
    top->addWidget(Label8, 0, 6, Qt::AlignRight);
    top->addWidget(Image1, 1, 6, Qt::AlignRight);

    // Middle: the event list, the largest control.
    Label3 = heading(QStringLiteral("LOG Eventi"), "Label3", form);
    chklog = named(new QCheckBox(QStringLiteral("Crea file Log"), form), "chklog");
    chklog->setChecked(true);
    lstEventi = named(new QListView(form), "lstEventi");
    lstEventi->setUniformItemSizes(true);
    lstEventi->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstEventi->setSelectionMode(QAbstractItemView::SingleSelection);
    lstEventi->setMinimumHeight(220);

    auto* eventsHeader = new QHBoxLayout;
    eventsHeader->addWidget(Label3);
    eventsHeader->addStretch(1);
    eventsHeader->addWidget(chklog);

    chkSplus = named(new QCheckBox(QStringLiteral("Abilita aggiornamento in cartella Zeta (Abilitare Solo se "
                                                  "comunicato dalla Ventor Soluzioni)"),
                                   form),
                     "chkSplus");

    // Bottom: the status panel.
    Frame1 = named(new QGroupBox(QStringLiteral("STATO RIAPERTURA:"), form), "Frame1");
    Picture1 = named(new QFrame(Frame1), "Picture1");
    Picture1->setFrameShape(QFrame::StyledPanel);

    Label4 = named(new QLabel(QStringLiteral("Lavorazione Azienda:"), Picture1), "Label4");
    lblAzienda = named(new QLabel(Picture1), "lblAzienda");
    lblAzienda->setTextFormat(Qt::PlainText);
    lblAzienda->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont companyFont = lblAzienda->font();
    companyFont.setBold(true);
    lblAzienda->setFont(companyFont);
    Label7 = named(new QLabel(QStringLiteral("Azienda"), Picture1), "Label7");
    lblAziendaLavorata = named(new QLabel(QStringLiteral("1"), Picture1), "lblAziendaLavorata");
    Label6 = named(new QLabel(QStringLiteral("di"), Picture1), "Label6");
    lblNumAzienda = named(new QLabel(QStringLiteral("1"), Picture1), "lblNumAzienda");

    // The progress text: a coloured bar whose width never follows its text,
    // so that a caption per article does not relayout the window.
    lblArt = named(new QLabel(Picture1), "lblArt");
    lblArt->setTextFormat(Qt::PlainText);
    lblArt->setAutoFillBackground(true);
    QPalette bar = lblArt->palette();
    bar.setColor(QPalette::Window, QColor(0x0b, 0x2e, 0x63));
    bar.setColor(QPalette::WindowText, QColor(0xff, 0xe0, 0x8a));
    lblArt->setPalette(bar);
    lblArt->setMargin(4);
    lblArt->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    lblArt->setFixedHeight(lblArt->fontMetrics().height() + 12);

    barProgresso = named(new QProgressBar(Picture1), "barProgresso");
    barProgresso->setRange(0, 1000);
    barProgresso->setValue(0);
    barProgresso->setTextVisible(false);
    barProgresso->hide();

    chkCopia = named(new IndicatorBox(QStringLiteral("Copia di salvataggio dati..."), Picture1), "chkCopia");
    chkRipristinoMagazzino =
        named(new IndicatorBox(QStringLiteral("Ripristino movimenti di Magazzino..."), Picture1),
              "chkRipristinoMagazzino");
    chkInizializzazione =
        named(new IndicatorBox(QStringLiteral("&Inizializzazione Nuovo Archivio..."), Picture1),
              "chkInizializzazione");
    chkCreazioneMagazzino =
        named(new IndicatorBox(QStringLiteral("Creazione nuovi Movimenti di magazzino..."), Picture1),
              "chkCreazioneMagazzino");
    chkCreazioneMovimContabili =
        named(new IndicatorBox(QStringLiteral("Creazione nuovi Movimenti contabili..."), Picture1),
              "chkCreazioneMovimContabili");

    auto* counter = new QHBoxLayout;
    counter->addWidget(Label7);
    counter->addWidget(lblAziendaLavorata);
    counter->addWidget(Label6);
    counter->addWidget(lblNumAzienda);
    counter->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addWidget(Label4);
    left->addWidget(lblAzienda);
    left->addLayout(counter);
    left->addStretch(1);
    left->addWidget(lblArt);
    left->addWidget(barProgresso);

    auto* right = new QVBoxLayout;
    for (QCheckBox* box :
         {static_cast<QCheckBox*>(chkCopia), static_cast<QCheckBox*>(chkRipristinoMagazzino),
          static_cast<QCheckBox*>(chkInizializzazione), static_cast<QCheckBox*>(chkCreazioneMagazzino),
          static_cast<QCheckBox*>(chkCreazioneMovimContabili)})
        right->addWidget(box);

    auto* panel = new QHBoxLayout(Picture1);
    panel->addLayout(left, 3);
    panel->addLayout(right, 2);
    auto* frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(Picture1);

    cmdChiudi = named(new QPushButton(QStringLiteral("&Chiudi"), form), "cmdChiudi");
    cmdChiudi->setMinimumSize(110, 32);
    cmdRapporto = named(new QPushButton(QStringLiteral("Apri &rapporto di verifica"), form), "cmdRapporto");
    cmdRapporto->setMinimumHeight(32);
    cmdRapporto->hide();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdRapporto);
    bottom->addStretch(1);
    bottom->addWidget(cmdChiudi);

    auto* layout = new QVBoxLayout(form);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(eventsHeader);
    layout->addWidget(lstEventi, 1);
    layout->addWidget(chkSplus);
    layout->addWidget(Frame1);
    layout->addLayout(bottom);

    QWidget::setTabOrder(txtDbOld, txtDbNew);
    QWidget::setTabOrder(txtDbNew, cmd);
    QWidget::setTabOrder(cmd, cmdVerifica);
    QWidget::setTabOrder(cmdVerifica, lstEventi);
    QWidget::setTabOrder(lstEventi, cmdChiudi);
    QWidget::setTabOrder(cmdChiudi, chklog);
    QWidget::setTabOrder(chklog, cmbSorgente);
    QWidget::setTabOrder(cmbSorgente, chkCreazioneMovimContabili);
    QWidget::setTabOrder(chkCreazioneMovimContabili, chkCreazioneMagazzino);
    QWidget::setTabOrder(chkCreazioneMagazzino, chkRipristinoMagazzino);
    QWidget::setTabOrder(chkRipristinoMagazzino, chkInizializzazione);
    QWidget::setTabOrder(chkInizializzazione, chkCopia);
    QWidget::setTabOrder(chkCopia, chkSplus);
}

} // namespace rio::gui
