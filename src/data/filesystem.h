#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// The folder and file services of the year opening, over Windows paths. The
// core keeps paths as the Windows paths it forms by plain concatenation with
// "\"; hostPath() is the one place that maps them to this machine's files.
// Failures raise rio::Error with the run-time numbers (53, 55, 61, 70, 75, 76).
namespace rio::fs {

struct ManifestEntry;

// The host path of a Windows path. On Windows the path itself. Elsewhere the
// drive C: is the folder $RIAPERTURA_DRIVE_C (else
// ~/.local/share/riapertura/drive_c), drive X: its sibling drive_x and
// \\server\share\... the sibling unc/server/share/...; every component is
// resolved without regard to case against what exists on disk.
QString hostPath(const QString& windowsPath);

// The folder that stands for drive C: on this machine (empty on Windows).
QString driveCFolder();

// The Windows path of a path on this machine, as a user types it on the
// command line: on Windows the absolute path; elsewhere a path already in
// Windows form ("X:\...", "\\server\share\...") as it is, else one under
// a folder hostPath() maps a drive or share to; empty for any other.
QString windowsPathOf(const QString& path);

bool FolderExists(const QString& windowsPath);

// The services never follow a link (a symbolic link, or on Windows a
// junction): a link where they would read, write, rename or remove raises
// "<path> è un collegamento: non viene seguito" (75), so that nothing outside
// the folders they work on changes. IsLink: the path itself is one, even one
// that leads nowhere.
bool IsLink(const QString& windowsPath);

// True when anything has that name: a file, a folder or a link, even one
// that leads nowhere. A new name is chosen among those not taken.
bool NameTaken(const QString& windowsPath);

// Removes a folder and everything in it; a link inside is removed itself,
// never followed. A path that is itself a link raises the link error and
// nothing is removed. Returns whether nothing is left under that name (a
// missing folder: true).
bool RemoveFolder(const QString& windowsPath);

// Copies the whole tree of source into destination, creating it when absent;
// files already there are overwritten (names matched without regard to case),
// other files there are left alone. A destination ending in "\" is an
// existing folder that receives the source folder by its name. yield runs
// between files. Before a file is written, the destination's own side files
// of that name ("-journal", "-wal", "-shm") are removed: an old journal beside
// a fresh copy of a database would be played into it. A link in the source,
// at the destination or among its files raises the link error (see IsLink):
// the copy never follows one. With a manifest, every
// file copied is hashed from the same read and listed there, yield running
// every few MiB too. Without one, the kernel copies each file where the two
// files allow it (else read and write), and with a yield each file is copied
// on a worker thread while this thread calls yield every few tens of
// milliseconds. The names in leaveOut, directly under source, are not
// copied (names matched without regard to case).
void CopyFolder(const QString& source, const QString& destination, const std::function<void()>& yield = {},
                QList<ManifestEntry>* manifest = nullptr, const QStringList& leaveOut = {});

// Makes a folder tree just written reach the disk before anything relies on
// it: every file's data, then every folder's entries from the leaves up, then
// the folder that holds the tree (its name there). With dropCache each file's
// pages leave the cache once on disk, so that reading the tree back reads the
// disk. Symbolic links inside are not followed. With a yield the syncs wait
// on the worker thread while this thread calls it. Raises the run-time error
// naming the file or folder that could not be synced (75 for an I/O error).
void SyncFolder(const QString& windowsFolder, const std::function<void()>& yield = {},
                bool dropCache = false);
// The same for one file, here and now, never through a link at its name.
void SyncFile(const QString& windowsFile, bool dropCache = false);

// True when a database file has a non-empty journal or write-ahead log beside it: a
// write to it was interrupted and the engine will put it back when it is
// next opened for writing.
bool hasArchiveSideFiles(const QString& windowsArchivePath);

// Attributes of the directory query.
inline constexpr int vbNormal = 0;
inline constexpr int vbHidden = 2; // names starting with "." stand for hidden files
inline constexpr int vbDirectory = 16;

// The directory query: name of the first entry matching the path (ordinary
// files only, or folders too with vbDirectory), or "" when none does.
QString Dir(const QString& windowsPath, int attributes = vbNormal);

// Creates one folder level; its parent must exist.
void MkDir(const QString& windowsPath);

// Renames a file or folder (the Name ... As statement): on the same drive it
// is instant whatever the size, nothing is copied, and a process killed
// around it leaves either name, never both. The new name must not exist
// (58), nor be a link, even one that leads nowhere; a link at either name
// raises the link error (see IsLink); another drive raises 74; a missing
// source 53 or 76. The change of name reaches the disk before it returns:
// when the folder holding it cannot be synced, the rename is done and the
// error is raised (75 for an I/O error).
void Name(const QString& oldWindowsPath, const QString& newWindowsPath);

// The text log: opened for appending (created when absent, never through a
// link: a link at its name raises the link error); each line is
// '"' + text + '"' + CR LF in Windows-1252, written at once. A line of a
// fast flow (a stock recomputation logs one per article: a system write each
// cost a tenth of the whole run) may wait in memory and go with others in one
// write: until 64 KiB wait (a few hundred lines), a line is written at once,
// flush() or close(). When they go depends on the lines alone, never on the
// clock, so that a run makes the same writes every time.
class LogFile
{
public:
    explicit LogFile(const QString& windowsPath); // raises on failure
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    enum class Timing { AtOnce, MayWait };
    // Raises when the file is closed, or when a write fails (the lines not
    // written stay held, to be written by the next call).
    void writeLine(const QString& text, Timing timing = Timing::AtOnce);
    // Writes what is held; raises as writeLine.
    void flush();
    // Writes what is held, as far as it can, and closes: errors are ignored.
    void close();
    bool isOpen() const;

private:
    QString m_windowsPath;
    QString m_identity; // the host file, as this program's open logs know it
    std::unique_ptr<QFile> m_file;
    QByteArray m_held;
};

// Text in Windows-1252; a character the code page cannot hold becomes "?".
QByteArray toWindows1252(const QString& text);

} // namespace rio::fs
