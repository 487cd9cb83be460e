-- The floor for one company: the same work as the year opening, as set-based
-- SQL in the sqlite3 shell, leaving the same archives. Run on copies:
-- main = the old year's archive, nuovo = the new year's archive (a copy of
-- the old one taken before its stock is recomputed); @apertura is the first
-- day of the new year, 'yyyy-01-01'. The bench reads the emptying of the
-- active causals' T_/C_ tables from a file it writes beforehand (the table
-- names are data).
.bail on
PRAGMA busy_timeout = 5000;
-- The program's connection settings: a 64 MB page cache, freed pages
-- not zeroed one by one; journal and synchronous left at the engine's
-- defaults, as the program leaves them.
PRAGMA main.cache_size = -65536;
PRAGMA nuovo.cache_size = -65536;
PRAGMA main.secure_delete = FAST;
PRAGMA nuovo.secure_delete = FAST;
-- The program bounds the engine's memory for all its archives together at
-- 48 MB (pages read longest ago give way beyond it): the same bound here.
PRAGMA soft_heap_limit = 50331648;

-- Stock recomputation of the old year. The sums: per upper-cased movement code
-- (blanks kept), warehouses 01-05, movements without code or quantity left
-- out; a table scan in file order feeds the grouping, so within a code the
-- quantities add in rowid order, as the program adds them. The rows written:
-- per upper-cased article code, the first row in the file, only where the
-- code has no blanks around it (a padded code has no row of its own: its
-- lookup trims it); every other row keeps its stock.
BEGIN;
CREATE TEMP TABLE somme_old AS
    SELECT upper(CodArt) AS k,
           sum(CASE WHEN Dep = '01' THEN cast(Qta AS real) END) AS g1,
           sum(CASE WHEN Dep = '02' THEN cast(Qta AS real) END) AS g2,
           sum(CASE WHEN Dep = '03' THEN cast(Qta AS real) END) AS g3,
           sum(CASE WHEN Dep = '04' THEN cast(Qta AS real) END) AS g4,
           sum(CASE WHEN Dep = '05' THEN cast(Qta AS real) END) AS g5
    FROM main.MOV_MAG NOT INDEXED
    WHERE Dep IN ('01', '02', '03', '04', '05') AND CodArt IS NOT NULL AND Qta IS NOT NULL
    GROUP BY upper(CodArt);
CREATE UNIQUE INDEX temp.somme_old_k ON somme_old(k);
UPDATE main.ANAG_ART SET
    Giacenza1 = coalesce(s.g1, 0.0), giacenza2 = coalesce(s.g2, 0.0), giacenza3 = coalesce(s.g3, 0.0),
    giacenza4 = coalesce(s.g4, 0.0), giacenza5 = coalesce(s.g5, 0.0)
FROM (SELECT min(rowid) AS r, upper(CodArt) AS k FROM main.ANAG_ART
      WHERE CodArt IS NOT NULL GROUP BY upper(CodArt)) AS w
     LEFT JOIN somme_old AS s ON s.k = w.k
WHERE main.ANAG_ART.rowid = w.r AND w.k = trim(w.k);
COMMIT;

-- Initialisation of the new year: the movements, the active causals' documents,
-- every counter of the first CONTATORI row.
BEGIN;
DELETE FROM nuovo.MOV_MAG;
DELETE FROM nuovo.MOV_CONT;
DELETE FROM nuovo.MOV_IVA;
DELETE FROM nuovo.MOV_PROVV;
DELETE FROM nuovo.MOV_TRASP;
.read floor_documents.sql
UPDATE nuovo.CONTATORI SET
    Progr_Fatture = 0, Progr_ddt = 0, Progr_OrdCli = 0, Progr_OrdFor = 0, Progr_Carico_Merce = 0,
    Progr_Preventivo = 0, Progr_Bolla = 0, Progr_1 = 0, Progr_2 = 0, Progr_3 = 0, Progr_4 = 0, Progr_5 = 0,
    Progr_6 = 0, Progr_7 = 0, Progr_8 = 0, Progr_9 = 0, Progr_10 = 0, Progr_11 = 0, Progr_12 = 0,
    Progr_13 = 0, Progr_14 = 0, Progr_15 = 0, Progr_16 = 0, Progr_17 = 0, Progr_18 = 0, Progr_19 = 0,
    Progr_20 = 0, Codice_Libero = 0, Contatore_Corpo_Documenti = 0, Progr_Mov_Mag = 0, Progr_Mov_Cont = 0,
    Progr_Mov_Provv = 0, Progr_Mov_Trasp = 0, Progr_Mov_Iva = 0
WHERE rowid = (SELECT min(rowid) FROM nuovo.CONTATORI);
COMMIT;

-- Opening movements from the recomputed old-year stock (warehouses 01 and 02,
-- in file order), numbered from the reset counter.
BEGIN;
INSERT INTO nuovo.MOV_MAG(Progr_Mov_Mag, DataMov, DEP, Carico_Scarico, DescrMov, oRAMov, TipoMov, CodCliFor,
                          TipoCliFor, TipoDoc, DataDoc, CodArt, CodIva, CostoMedio, CostoUltimo, CostoStandard, Qta, NumDoc)
    SELECT row_number() OVER (ORDER BY r, d) - 1, @apertura, d, 'C', 'RIPORTO DA ESERCIZIO PRECEDENTE',
           '1899-12-30 ' || time('now', 'localtime'), 'RIAPERTURA', 'VENTOR', 'F', 'RIAPERTURA', @apertura, CodArt,
           CodIva, CostoMedio, CostoUltimo, CostoStandard, q, '0'
    FROM (SELECT rowid AS r, '01' AS d, Giacenza1 AS q, * FROM main.ANAG_ART WHERE Giacenza1 <> 0
          UNION ALL SELECT rowid, '02', giacenza2, * FROM main.ANAG_ART WHERE giacenza2 <> 0);
UPDATE nuovo.CONTATORI SET Progr_Mov_Mag = (SELECT count(*) FROM nuovo.MOV_MAG)
WHERE rowid = (SELECT min(rowid) FROM nuovo.CONTATORI);
COMMIT;

-- Stock recomputation of the new year from the opening movements, by the same rules.
BEGIN;
CREATE TEMP TABLE somme_new AS
    SELECT upper(CodArt) AS k,
           sum(CASE WHEN Dep = '01' THEN cast(Qta AS real) END) AS g1,
           sum(CASE WHEN Dep = '02' THEN cast(Qta AS real) END) AS g2,
           sum(CASE WHEN Dep = '03' THEN cast(Qta AS real) END) AS g3,
           sum(CASE WHEN Dep = '04' THEN cast(Qta AS real) END) AS g4,
           sum(CASE WHEN Dep = '05' THEN cast(Qta AS real) END) AS g5
    FROM nuovo.MOV_MAG NOT INDEXED
    WHERE Dep IN ('01', '02', '03', '04', '05') AND CodArt IS NOT NULL AND Qta IS NOT NULL
    GROUP BY upper(CodArt);
CREATE UNIQUE INDEX temp.somme_new_k ON somme_new(k);
UPDATE nuovo.ANAG_ART SET
    Giacenza1 = coalesce(s.g1, 0.0), giacenza2 = coalesce(s.g2, 0.0), giacenza3 = coalesce(s.g3, 0.0),
    giacenza4 = coalesce(s.g4, 0.0), giacenza5 = coalesce(s.g5, 0.0)
FROM (SELECT min(rowid) AS r, upper(CodArt) AS k FROM nuovo.ANAG_ART
      WHERE CodArt IS NOT NULL GROUP BY upper(CodArt)) AS w
     LEFT JOIN somme_new AS s ON s.k = w.k
WHERE nuovo.ANAG_ART.rowid = w.r AND w.k = trim(w.k);
COMMIT;

-- Open items carried into the new year, numbered from the reset counter; the
-- movement's id joins year, customer/supplier, document type and number
-- (a whole number without its ".0"); an amount of 0 or none is left to the
-- column's default.
BEGIN;
INSERT INTO nuovo.MOV_CONT(progr_mov_cont, ID_MOV_CONT, Data_Mov_Cont, DESCRIZIONE_OPERAZIONE, Tipo_Mov, Tipo_Documento,
                           Numero_Documento, UltimoAggiornamento, TipoCliFor, CodCLIFOR, CodAgente, ID_Generico, Sezione,
                           Imponibile_Mov_Cont, Imposta_Mov_Cont, Totale_Mov_Cont, Dep, Giorni_Scadenza, ID_PARTITA,
                           Stato_PArtita, Cod_Cantiere, Cod_SubCantiere, User)
    SELECT row_number() OVER (ORDER BY rowid),
           substr(Data_Mov_Cont, 1, 4) || '*' || trim(TipoCliFor) || '*' || CodCLIFOR || '*' || trim(Tipo_Documento)
               || '*' || CASE WHEN typeof(Numero_Documento) = 'real' AND Numero_Documento = cast(Numero_Documento AS integer)
                              THEN cast(cast(Numero_Documento AS integer) AS text) ELSE trim(Numero_Documento) END,
           Data_Mov_Cont, upper(trim(substr(DESCRIZIONE_OPERAZIONE, 1, 254))), upper(trim(Tipo_Mov)), Tipo_Documento,
           Numero_Documento, strftime('%d/%m/%Y %H:%M:%S', 'now', 'localtime'), TipoCliFor, CodCLIFOR, CodAgente,
           ID_Generico, Sezione,
           CASE WHEN Imponibile_Mov_Cont <> 0 THEN Imponibile_Mov_Cont ELSE 0.0 END,
           CASE WHEN Imposta_Mov_Cont <> 0 THEN Imposta_Mov_Cont ELSE 0.0 END,
           CASE WHEN Totale_Mov_Cont <> 0 THEN Totale_Mov_Cont ELSE 0.0 END,
           Dep, 0, ID_PARTITA, NULL, 0, 0, 'Larvinote'
    FROM main.MOV_CONT WHERE Stato_PArtita IS NULL;
UPDATE nuovo.CONTATORI SET Progr_Mov_Cont = (SELECT count(*) FROM nuovo.MOV_CONT)
WHERE rowid = (SELECT min(rowid) FROM nuovo.CONTATORI);
COMMIT;
