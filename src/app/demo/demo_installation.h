#pragma once

#include "app/demo/demo_archive.h"
#include "app/demo/demo_options.h"

#include <QList>
#include <QString>

#include <functional>
#include <stdexcept>

namespace rio::demo {

// The file the generator leaves in the folder it writes, so that a later
// demo may replace the installation and nothing else.
inline constexpr auto MarkerFileName = ".riapertura-demo";

// The folder already holds an installation of the product.
class DemoRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct InstallationSummary
{
    QString installationRoot; // the root written in the system table
    QList<ArchiveSummary> companies;
};

// The product folder found in dir taken as drive C: ("" when none).
QString existingInstallation(const QString& dir);

// Writes the installation into options.dir taken as drive C:. report gets
// each company's summary once written. Raises DemoRefused when the folder
// holds an installation already, std::runtime_error on other failures.
InstallationSummary
writeDemoInstallation(const DemoOptions& options,
                      const std::function<void(int slot, const ArchiveSummary&)>& report = {});

} // namespace rio::demo
