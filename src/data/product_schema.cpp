#include "data/product_schema.h"

#include <QCryptographicHash>

namespace rio::schema {

QStringList counterFields()
{
    QStringList fields{QStringLiteral("Progr_Fatture"),      QStringLiteral("Progr_ddt"),
                       QStringLiteral("Progr_OrdCli"),       QStringLiteral("Progr_OrdFor"),
                       QStringLiteral("Progr_Carico_Merce"), QStringLiteral("Progr_Preventivo"),
                       QStringLiteral("Progr_Bolla")};
    for (int i = 1; i <= 20; ++i)
        fields << QStringLiteral("Progr_%1").arg(i);
    fields << QStringLiteral("Codice_Libero") << QStringLiteral("Contatore_Corpo_Documenti")
           << QStringLiteral("Progr_Mov_Mag") << QStringLiteral("Progr_Mov_Cont")
           << QStringLiteral("Progr_Mov_Provv") << QStringLiteral("Progr_Mov_Trasp")
           << QStringLiteral("Progr_Mov_Iva");
    return fields;
}

QString passwordHash(const QString& password)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QStringList workgroupStatements()
{
    return {
        QStringLiteral("create table accounts(name TEXT COLLATE NOCASE PRIMARY KEY, password_sha256 TEXT)"),
        QStringLiteral("insert into accounts values('%1', '%2')")
            .arg(QLatin1String(ProductUser), passwordHash(QLatin1String(ProductPassword)))};
}

QStringList systemStatements(const QString& percorso, int releaseYear)
{
    QString quoted = percorso;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return {QStringLiteral("create table system(ID INTEGER PRIMARY KEY, Percorso TEXT COLLATE NOCASE, "
                           "Versione TEXT COLLATE NOCASE)"),
            QStringLiteral("insert into system(Percorso, Versione) values('%2', '%1.1')")
                .arg(releaseYear)
                .arg(quoted)};
}

QStringList archiveStatements(const QStringList& documentTables)
{
    QStringList s;
    s << QStringLiteral(
        "create table AZIENDE(ID_Azienda TEXT COLLATE NOCASE, Ragione_Sociale1 TEXT COLLATE NOCASE, "
        "Ragione_Sociale2 TEXT COLLATE NOCASE, Partita_IVA TEXT COLLATE NOCASE, "
        "Indirizzo TEXT COLLATE NOCASE, Citta TEXT COLLATE NOCASE)");
    s << QStringLiteral(
        "create table ANAG_ART(CodArt TEXT COLLATE NOCASE, DescrArt TEXT COLLATE NOCASE, "
        "UM TEXT COLLATE NOCASE, Giacenza1 REAL DEFAULT 0, giacenza2 REAL DEFAULT 0, "
        "giacenza3 REAL DEFAULT 0, giacenza4 REAL DEFAULT 0, giacenza5 REAL DEFAULT 0, "
        "CodIva TEXT COLLATE NOCASE, CostoStandard REAL DEFAULT 0, CostoMedio REAL DEFAULT 0, "
        "CostoUltimo REAL DEFAULT 0, PrezzoVendita REAL DEFAULT 0, Obsoleto BOOLEAN DEFAULT 0)");
    s << QStringLiteral("create index ANAG_ART_CodArt on ANAG_ART(CodArt)");
    // The customers and the suppliers, by the code the items carry.
    for (const char* table : {"ANAG_CLI", "ANAG_FOR"})
        s << QStringLiteral(
                 "create table %1(CodCliFor TEXT COLLATE NOCASE, Ragione_Sociale1 TEXT COLLATE NOCASE, "
                 "Partita_IVA TEXT COLLATE NOCASE, Citta TEXT COLLATE NOCASE)")
                 .arg(QLatin1String(table));
    s << QStringLiteral(
        "create table MOV_MAG(Progr_Mov_Mag INTEGER, DataMov DATE, DEP TEXT COLLATE NOCASE, "
        "Carico_Scarico TEXT COLLATE NOCASE, DescrMov TEXT COLLATE NOCASE, oRAMov DATETIME, "
        "TipoMov TEXT COLLATE NOCASE, CodCliFor TEXT COLLATE NOCASE, TipoCliFor TEXT COLLATE NOCASE, "
        "TipoDoc TEXT COLLATE NOCASE, DataDoc DATE, CodArt TEXT COLLATE NOCASE, "
        "CodIva TEXT COLLATE NOCASE, CostoMedio REAL DEFAULT 0, CostoUltimo REAL DEFAULT 0, "
        "CostoStandard REAL DEFAULT 0, Qta REAL DEFAULT 0, NumDoc TEXT COLLATE NOCASE, "
        "Prezzo REAL DEFAULT 0, Note TEXT COLLATE NOCASE DEFAULT '')");
    s << QStringLiteral("create index MOV_MAG_CodArt_Dep on MOV_MAG(CodArt, Dep)");
    s << QStringLiteral(
        "create table MOV_CONT(progr_mov_cont INTEGER, ID_MOV_CONT TEXT COLLATE NOCASE, "
        "Data_Mov_Cont DATE, DESCRIZIONE_OPERAZIONE TEXT COLLATE NOCASE, "
        "Tipo_Mov TEXT COLLATE NOCASE, Tipo_Documento TEXT COLLATE NOCASE, "
        "Numero_Documento REAL DEFAULT 0, UltimoAggiornamento TEXT COLLATE NOCASE, "
        "TipoCliFor TEXT COLLATE NOCASE, CodCLIFOR TEXT COLLATE NOCASE, "
        "CodAgente TEXT COLLATE NOCASE, ID_Generico TEXT COLLATE NOCASE, "
        "Sezione TEXT COLLATE NOCASE, Imponibile_Mov_Cont REAL DEFAULT 0, "
        "Imposta_Mov_Cont REAL DEFAULT 0, Totale_Mov_Cont REAL DEFAULT 0, Dep TEXT COLLATE NOCASE, "
        "Giorni_Scadenza INTEGER DEFAULT 0, ID_PARTITA TEXT COLLATE NOCASE, "
        "Stato_PArtita TEXT COLLATE NOCASE, Cod_Cantiere REAL DEFAULT 0, "
        "Cod_SubCantiere REAL DEFAULT 0, User TEXT COLLATE NOCASE, "
        "Note TEXT COLLATE NOCASE DEFAULT '')");
    s << QStringLiteral("create index MOV_CONT_Stato on MOV_CONT(Stato_PArtita)");
    s << QStringLiteral(
        "create table MOV_IVA(Progr_Mov_Iva INTEGER, Data_Mov DATE, CodIva TEXT COLLATE NOCASE, "
        "Imponibile REAL DEFAULT 0, Imposta REAL DEFAULT 0)");
    s << QStringLiteral(
        "create table MOV_PROVV(Progr_Mov_Provv INTEGER, Data_Mov DATE, CodAgente TEXT COLLATE NOCASE, "
        "Importo REAL DEFAULT 0)");
    s << QStringLiteral(
        "create table MOV_TRASP(Progr_Mov_Trasp INTEGER, Data_Mov DATE, Vettore TEXT COLLATE NOCASE, "
        "Colli INTEGER DEFAULT 0)");
    s << QStringLiteral(
        "create table CAUSALI(Tipo_Causale TEXT COLLATE NOCASE, Descrizione TEXT COLLATE NOCASE, "
        "Nome_Tabella_Archiviazione_dati_documento TEXT COLLATE NOCASE, "
        "Attivazione_causale BOOLEAN DEFAULT 0)");
    QStringList counters;
    for (const QString& f : counterFields())
        counters << f + QStringLiteral(" INTEGER DEFAULT 0");
    s << QStringLiteral("create table CONTATORI(%1)").arg(counters.join(QLatin1String(", ")));
    for (const QString& t : documentTables) {
        s << QStringLiteral("create table T_%1(Numero INTEGER, Data DATE, CodCliFor TEXT COLLATE NOCASE, "
                            "Totale REAL DEFAULT 0)")
                 .arg(t);
        s << QStringLiteral("create table C_%1(Numero INTEGER, Riga INTEGER, CodArt TEXT COLLATE NOCASE, "
                            "Qta REAL DEFAULT 0)")
                 .arg(t);
    }
    return s;
}

QList<Causal> demoCausals()
{
    return {{QStringLiteral("FT"), QStringLiteral("FATTURE"), true},
            {QStringLiteral("DDT"), QStringLiteral("DDT"), true},
            {QStringLiteral("OC"), QStringLiteral("ORDINI_CLIENTI"), true},
            {QStringLiteral("OF"), QStringLiteral("ORDINI_FORNITORI"), false},
            {QStringLiteral("PR"), QStringLiteral("PREVENTIVI"), true},
            {QStringLiteral("DB"), QStringLiteral("DISTINTA_BASE"), true},
            {QStringLiteral("LA"), QStringLiteral("LISTINO_AUTO_1"), true},
            {QStringLiteral("NC"), QString(), true}};
}

} // namespace rio::schema
