-- The floor for one company: the same work as the year opening, as plain
-- set-based SQL in the sqlite3 shell. Run on copies: main = the 2023
-- archive, nuovo = the 2024 archive (already a copy of 2023).
.bail on
PRAGMA busy_timeout = 5000;
-- As the program's connections: freed pages are not zeroed one by one.
PRAGMA secure_delete = FAST;
PRAGMA nuovo.secure_delete = FAST;

-- Stock recomputation of 2023 from its movements.
BEGIN;
CREATE TEMP TABLE somme AS
    SELECT upper(CodArt) AS k,
           sum(CASE WHEN Dep = '01' THEN Qta END) AS g1, sum(CASE WHEN Dep = '02' THEN Qta END) AS g2,
           sum(CASE WHEN Dep = '03' THEN Qta END) AS g3, sum(CASE WHEN Dep = '04' THEN Qta END) AS g4,
           sum(CASE WHEN Dep = '05' THEN Qta END) AS g5
    FROM MOV_MAG WHERE Dep IN ('01', '02', '03', '04', '05') GROUP BY CodArt;
CREATE INDEX temp.somme_k ON somme(k);
UPDATE ANAG_ART SET
    Giacenza1 = coalesce((SELECT g1 FROM somme WHERE k = upper(trim(ANAG_ART.CodArt))), 0),
    giacenza2 = coalesce((SELECT g2 FROM somme WHERE k = upper(trim(ANAG_ART.CodArt))), 0),
    giacenza3 = coalesce((SELECT g3 FROM somme WHERE k = upper(trim(ANAG_ART.CodArt))), 0),
    giacenza4 = coalesce((SELECT g4 FROM somme WHERE k = upper(trim(ANAG_ART.CodArt))), 0),
    giacenza5 = coalesce((SELECT g5 FROM somme WHERE k = upper(trim(ANAG_ART.CodArt))), 0);
COMMIT;

-- Initialisation of 2024.
BEGIN;
DELETE FROM nuovo.MOV_MAG;
DELETE FROM nuovo.MOV_CONT;
DELETE FROM nuovo.MOV_IVA;
DELETE FROM nuovo.MOV_PROVV;
DELETE FROM nuovo.MOV_TRASP;
UPDATE nuovo.CONTATORI SET Progr_Mov_Mag = 0, Progr_Mov_Cont = 0;
COMMIT;

-- Opening movements and the 2024 stock.
BEGIN;
INSERT INTO nuovo.MOV_MAG(Progr_Mov_Mag, DataMov, DEP, Carico_Scarico, DescrMov, oRAMov, TipoMov, CodCliFor,
                          TipoCliFor, TipoDoc, DataDoc, CodArt, CodIva, CostoMedio, CostoUltimo, CostoStandard, Qta, NumDoc)
    SELECT row_number() OVER (ORDER BY rowid, d) - 1, '2024-01-01', d, 'C', 'RIPORTO DA ESERCIZIO PRECEDENTE',
           '1899-12-30 12:00:00', 'RIAPERTURA', 'VENTOR', 'F', 'RIAPERTURA', '2024-01-01', CodArt, CodIva, CostoMedio,
           CostoUltimo, CostoStandard, q, '0'
    FROM (SELECT rowid, '01' AS d, Giacenza1 AS q, * FROM ANAG_ART WHERE Giacenza1 <> 0
          UNION ALL SELECT rowid, '02', giacenza2, * FROM ANAG_ART WHERE giacenza2 <> 0);
UPDATE nuovo.CONTATORI SET Progr_Mov_Mag = (SELECT count(*) FROM nuovo.MOV_MAG);
UPDATE nuovo.ANAG_ART SET
    Giacenza1 = coalesce((SELECT sum(Qta) FROM nuovo.MOV_MAG m WHERE m.CodArt = upper(trim(nuovo.ANAG_ART.CodArt)) AND m.Dep = '01'), 0),
    giacenza2 = coalesce((SELECT sum(Qta) FROM nuovo.MOV_MAG m WHERE m.CodArt = upper(trim(nuovo.ANAG_ART.CodArt)) AND m.Dep = '02'), 0),
    giacenza3 = 0, giacenza4 = 0, giacenza5 = 0;
COMMIT;

-- Open items carried into 2024.
BEGIN;
INSERT INTO nuovo.MOV_CONT(progr_mov_cont, ID_MOV_CONT, Data_Mov_Cont, DESCRIZIONE_OPERAZIONE, Tipo_Mov, Tipo_Documento,
                           Numero_Documento, UltimoAggiornamento, TipoCliFor, CodCLIFOR, CodAgente, ID_Generico, Sezione,
                           Imponibile_Mov_Cont, Imposta_Mov_Cont, Totale_Mov_Cont, Dep, Giorni_Scadenza, ID_PARTITA,
                           Stato_PArtita, Cod_Cantiere, Cod_SubCantiere, User)
    SELECT row_number() OVER (ORDER BY rowid), substr(Data_Mov_Cont, 1, 4) || '*' || trim(TipoCliFor) || '*' || CodCLIFOR
               || '*' || trim(Tipo_Documento) || '*' || Numero_Documento,
           Data_Mov_Cont, upper(trim(substr(DESCRIZIONE_OPERAZIONE, 1, 254))), upper(trim(Tipo_Mov)), Tipo_Documento,
           Numero_Documento, datetime('now'), TipoCliFor, CodCLIFOR, CodAgente, ID_Generico, Sezione,
           Imponibile_Mov_Cont, Imposta_Mov_Cont, Totale_Mov_Cont, Dep, 0, ID_PARTITA, NULL, 0, 0, 'Larvinote'
    FROM MOV_CONT WHERE Stato_PArtita IS NULL;
UPDATE nuovo.CONTATORI SET Progr_Mov_Cont = (SELECT count(*) FROM nuovo.MOV_CONT);
COMMIT;
