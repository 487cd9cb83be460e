#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

namespace rio {

// A file beside the data (a report, a spreadsheet) that is there whole or not
// at all: its bytes go to a working name in the same folder (the final name
// and ".parziale"), are synced, and only then take the final name, whose
// folder is synced in turn. A failure at any stage leaves nothing under the
// final name and removes the working file; one killed half-way leaves only
// the working file, which says what it is.
class ReportFile
{
public:
    // Opens the working file (Windows path of the final name). A failure is
    // kept, and says so at commit().
    explicit ReportFile(const QString& windowsPath);
    // Not committed: the working file goes.
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Adds bytes; once a write has failed, the rest is dropped.
    void write(const QByteArray& bytes);
    // Flushes, syncs, closes and renames the file to its final name, then
    // syncs the folder; false when any of it failed (nothing is then under
    // the final name). With whileWaiting, the flush and the syncs wait for
    // the disk on the worker thread while this one calls it (a spreadsheet
    // of a hundred megabytes takes a while to reach the disk); what it
    // raises is raised once the wait has ended, the file not renamed.
    bool commit(const std::function<void()>& whileWaiting = {});
    // Why it failed, in Italian ("disco pieno", ...); empty while it has not.
    QString failure() const { return m_failure; }
    const QString& windowsPath() const { return m_windowsPath; }

private:
    void fail(int error);

    QString m_windowsPath;
    QString m_final;
    QFile m_file;
    QString m_failure;
    bool m_committed = false;
};

// Removes from windowsFolder (with or without its final backslash) the working files a killed run left of its
// report and spreadsheets (verifica_Riapertura_... and
// simulazione_Riapertura_..., ending ".parziale"); a link among them goes
// itself, never what it leads to. Returns the Windows paths removed. To be
// called under the installation lock, before the run writes any.
QStringList removeLeftoverReportFiles(const QString& windowsFolder);
// The names of those files in windowsFolder, removing nothing.
QStringList leftoverReportFileNames(const QString& windowsFolder);

} // namespace rio
