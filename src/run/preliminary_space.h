#pragma once

#include <QList>
#include <QtGlobal>

namespace rio {

// What one company's run writes, from its old-year folder and archive rows.
struct CompanyVolume
{
    qint64 folderBytes = 0;  // the old-year folder, copied whole into the new year
    qint64 archiveBytes = 0; // the old-year archive
    qint64 articles = 0;
    qint64 articleTextBytes = 0; // codes and descriptions, in bytes
    qint64 openItems = 0;
    qint64 openItemTextBytes = 0; // the key fields the spreadsheet shows
    qint64 parties = 0;           // customers and suppliers with open items: a report row each
    qint64 refusedItems = 0;      // each an error line in the log
    qint64 namedRows = 0;         // rows the report names one by one (twins, skipped codes, refused items)
    qint64 nameBytes = 0;         // the company's name, on every spreadsheet line
    bool rowsRead = false;        // false: the archive was not read, the rows above are 0
};

// The bytes a run adds on the root's drive at its peak, part by part.
struct SpaceFigure
{
    qint64 copy = 0;       // the safety copy of the data folder, with its manifest
    qint64 newFolders = 0; // the new-year folders, copies of the old-year ones
    qint64 journal = 0;    // the engine's journal beside the archive being written, one at a time
    qint64 log = 0;        // the log's growth
    qint64 report = 0;     // the verification report and its two spreadsheets
    qint64 margin = 0;
    qint64 total() const { return copy + newFolders + journal + log + report + margin; }
};

// The figure for a data folder of dataFolderBytes and these companies: the
// log's lines per article (one per recomputation, in the old and the new year) and per
// refused item times their length, the spreadsheets' lines per article and
// per item, the report's lines per named row, and a margin of 2% and 1 MiB.
// The copy's manifest holds a line per file of the data folder's dataFolderFiles.
SpaceFigure spaceFigure(qint64 dataFolderBytes, qint64 dataFolderFiles,
                        const QList<CompanyVolume>& companies);

} // namespace rio
