#pragma once

#include "app/demo/demo_options.h"

#include <QString>

namespace rio::demo {

// What one company archive holds.
struct ArchiveSummary
{
    QString companyName;
    int articles = 0;
    int movements = 0;
    int openItems = 0;
    int closedItems = 0;
};

// Writes the old-year archive of company slot into hostFile (a new SQLite file):
// the product's tables and indexes, the AZIENDE row, articles, warehouse and
// accounting movements, causals with their document tables, counters. The
// data depend only on the seed, the slot and the sizes. Raises
// std::runtime_error on failure.
ArchiveSummary writeCompanyArchive(const QString& hostFile, int slot, const DemoOptions& options);

} // namespace rio::demo
