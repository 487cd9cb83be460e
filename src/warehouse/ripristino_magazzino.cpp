#include "warehouse/ripristino_magazzino.h"

#include "context/run_context.h"
#include "data/batch_commit.h"
#include "data/database.h"
#include "data/value.h"

#include <QSet>

#include <vector>

namespace rio {

namespace {

const QStringList& campiGiacenza()
{
    static const QStringList campi{QStringLiteral("Giacenza1"), QStringLiteral("giacenza2"),
                                   QStringLiteral("giacenza3"), QStringLiteral("giacenza4"),
                                   QStringLiteral("giacenza5")};
    return campi;
}

struct Articolo
{
    qint64 rowid = 0;
    Value codArt;
    Value descrArt;
};

// The row an article key finds: the first in the file whose CodArt equals the
// key, letter case aside and blanks counting.
struct RigaTrovata
{
    qint64 rowid = 0;
    QString descrArt;
};

std::vector<Articolo> leggiArticoli(RunContext& ctx, Connection& Db)
{
    std::vector<Articolo> articoli;
    Query q(Db, QStringLiteral("select rowid, CodArt, DescrArt from ANAG_ART order by CodArt"));
    q.exec();
    while (q.next()) {
        ctx.yield();
        articoli.push_back({q.value(0).toLongLong(), q.value(1), q.value(2)});
    }
    return articoli;
}

QHash<QString, RigaTrovata> mappaRighe(const std::vector<Articolo>& articoli)
{
    QHash<QString, RigaTrovata> righe;
    for (const Articolo& a : articoli) {
        if (isNull(a.codArt))
            continue;
        const QString chiave = asciiUpper(textOf(a.codArt));
        auto it = righe.find(chiave);
        if (it == righe.end() || a.rowid < it->rowid)
            righe.insert(chiave, {a.rowid, textOrEmpty(a.descrArt)});
    }
    return righe;
}

} // namespace

QString chiaveArticolo(const QString& codiceArticolo)
{
    return asciiUpper(trimBlanks(codiceArticolo));
}

QHash<QString, QtaDeposito> LEGGO_MOVIMENTI(Connection& Db, const std::function<void()>& yield)
{
    QHash<QString, QtaDeposito> somme;
    Query q(Db, QStringLiteral("select CodArt, Dep, sum(Qta) as QtaRecuperata from MOV_MAG "
                               "where Dep in ('01','02','03','04','05') group by CodArt, Dep"));
    q.exec();
    while (q.next()) {
        if (yield)
            yield();
        const Value codArt = q.value(0);
        const Value dep = q.value(1);
        const Value qta = q.value(2);
        if (isNull(codArt) || isNull(dep) || isNull(qta))
            continue;
        const int deposito = textOf(dep).toInt();
        if (deposito < 1 || deposito > 5)
            continue;
        auto it = somme.find(asciiUpper(textOf(codArt)));
        if (it == somme.end())
            it = somme.insert(asciiUpper(textOf(codArt)), QtaDeposito{});
        (*it)[deposito - 1] += numberOf(qta);
    }
    return somme;
}

void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda)
{
    Q_UNUSED(Numero_Azienda);
    ctx.host().showBusy(true);

    const std::vector<Articolo> articoli = leggiArticoli(ctx, Db);
    if (articoli.empty()) {
        ctx.message(QStringLiteral("Nessun Movimento trovato!"), Buttons::Ok, Icon::Exclamation,
                    QStringLiteral("Ventor"));
        ctx.host().showBusy(false);
        return;
    }

    const QHash<QString, RigaTrovata> righe = mappaRighe(articoli);
    const QHash<QString, QtaDeposito> somme = LEGGO_MOVIMENTI(Db, [&ctx] { ctx.yield(); });

    RowUpdater salva(Db, QStringLiteral("ANAG_ART"), campiGiacenza());
    BatchCommit commit(Db);
    QSet<qint64> salvate;
    qint64 fatti = 0;
    for (const Articolo& a : articoli) {
        ctx.yield();
        ctx.stepProgress(++fatti, qint64(articoli.size()));
        const QString CodiceArticolo = textOf(a.codArt);
        const QString chiave = chiaveArticolo(CodiceArticolo);
        const auto riga = righe.constFind(chiave);
        // An article whose row the search does not find (its code has blanks
        // around it and no trimmed twin) gets no caption and nothing written.
        if (riga == righe.constEnd())
            continue;
        ctx.setProgress(QStringLiteral("Ripristino in corso articolo: ") + CodiceArticolo +
                        QStringLiteral(" - ") + riga->descrArt);
        // Articles with the same key find the same row and would write the
        // same quantities into it again.
        if (salvate.contains(riga->rowid))
            continue;
        const QtaDeposito qta = somme.value(chiave, QtaDeposito{});
        salva.update(riga->rowid, {qta[0], qta[1], qta[2], qta[3], qta[4]});
        salvate.insert(riga->rowid);
        commit.rowWritten();
    }
    commit.finish();

    ctx.host().showStageDone(Stage::RipristinoMagazzino, true);
    ctx.host().allowNewRun(true);
}

} // namespace rio
