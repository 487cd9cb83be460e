#include "run/preliminary_space.h"

#include <algorithm>

namespace rio {

namespace {

// The copy's manifest: a hash and a path under the data folder per file.
constexpr qint64 ManifestLineBytes = 64 + 2 + 256 + 2;
// "ripristino in corso articolo: " + code + " - " + description, quoted,
// with CR LF; a log byte per character (Windows-1252).
constexpr qint64 ArticleLineBytes = 30 + 3 + 4;
// The writer's refusal or error line for one item (its longest text).
constexpr qint64 RefusedItemLineBytes = 320;
// The lines of a company's steps, timings and closing, and of the run.
constexpr qint64 CompanyLogBytes = 16 * 1024;
constexpr qint64 RunLogBytes = 16 * 1024;
// A stock line: "Azienda_10", the name, the code, the warehouse, three
// quantities, quotes, separators and CR LF; an open item's line: the same
// with its keys, two totals and the outcome.
constexpr qint64 StockLineBytes = 64;
constexpr qint64 ItemLineBytes = 96;
// The customer's or supplier's name beside each open item's line (the
// check does not read the names: a long one), and a customer's or
// supplier's row of the report's tables, its name included.
constexpr qint64 PartyNameBytes = 100;
constexpr qint64 PartyRowBytes = 320;
// The report's page for a company, and a finding that names one row.
constexpr qint64 CompanyReportBytes = 32 * 1024;
constexpr qint64 NamedRowBytes = 1024;
constexpr qint64 RunReportBytes = 32 * 1024;

} // namespace

SpaceFigure spaceFigure(qint64 dataFolderBytes, qint64 dataFolderFiles, const QList<CompanyVolume>& companies)
{
    SpaceFigure f;
    f.copy = dataFolderBytes + dataFolderFiles * ManifestLineBytes;
    f.log = RunLogBytes;
    f.report = RunReportBytes;
    for (const CompanyVolume& c : companies) {
        f.newFolders += c.folderBytes;
        // The engine journals the pages it changes, at most the whole file.
        f.journal = std::max(f.journal, c.archiveBytes);
        f.log += CompanyLogBytes + 2 * (c.articles * ArticleLineBytes + c.articleTextBytes) +
                 c.refusedItems * RefusedItemLineBytes;
        f.report += CompanyReportBytes + c.namedRows * NamedRowBytes +
                    2 * (c.articles * (StockLineBytes + c.nameBytes) + c.articleTextBytes) +
                    c.openItems * (ItemLineBytes + c.nameBytes + PartyNameBytes) + c.openItemTextBytes +
                    c.parties * PartyRowBytes;
    }
    const qint64 parts = f.copy + f.newFolders + f.journal + f.log + f.report;
    f.margin = parts / 50 + 1024 * 1024;
    return f;
}

} // namespace rio
