#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The pieces of the HTML reports written beside the data (the verification
// after a run, the restore's report): one look for both.
namespace rio::html {

QString esc(const QString& s);
// One cell, escaped: <td>...</td> (or the tag given); a class "num"
// right-aligns a number.
QString cell(const QString& s, const char* tag = "td", const char* cls = nullptr);
// One row of cells; cls is the row's class ("ko", "warn") when not empty;
// cells from firstNumber on are numbers.
QString row(const QStringList& cells, const QString& cls = QString(), int firstNumber = -1);
QString header(const QStringList& cells, int firstNumber = -1);
// A row of cells already in HTML (cellHtml() or esc() made them).
QString rowHtml(const QStringList& htmlCells, const QString& cls = QString(), int firstNumber = -1);
// A table's head, repeated on every printed page the table runs over: the
// header row and, when caption is not empty, a row above it spanning the
// table that says whose table it is (on screen the heading above the table
// says it). Opens the body: close the table with tableEnd().
QString tableStart(const QStringList& cells, int firstNumber = -1, const QString& caption = QString());
QString tableEnd();
// A plain name with the product's identifier after it in small type, as
// HTML: "Copia di sicurezza <span class="id">COPIO_CARTELLA_SALVATAGGIO</span>".
QString named(const QString& plain, const QString& id);
QString yesNo(bool v);
// Who runs the program, for the report.
QString userName();
// The page up to the opening of its body, with the reports' style: on paper
// a company's part starts on a new page, a table's head and caption repeat on
// each page it runs over, no row is cut in two and each page says its number.
QString pageStart(const QString& title);
// Writes a report file whole (a Windows path) or not at all (ReportFile);
// false when any of it could not be written, a full disk included, with the
// reason in Italian in failure when given. whileWaiting: as for
// ReportFile::commit.
bool writeFile(const QString& windowsPath, const QByteArray& content, QString* failure = nullptr,
               const std::function<void()>& whileWaiting = {});

} // namespace rio::html
