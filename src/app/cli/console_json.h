#pragma once

#include "context/host.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace rio {
struct PreliminaryCheck;
struct RunState;
struct SafetyCopy;
struct CopyCheck;
struct VerificationReport;
} // namespace rio

namespace rio::cli {

// What one console command did, gathered as it goes, for --json: printed
// at the end as one object on standard output, schema 1 (README.md, "Risultati
// per altri programmi"). Every key is there for every command, empty or null
// when the command has nothing of that kind, so a reader never has to guess.
class JsonReport
{
public:
    // command: "check", "riapertura", "elenca-copie", "ripristina",
    // "annulla-ripristino" (or "" when the options were not understood).
    explicit JsonReport(QString command);

    // An event line of a run or restore: the error and warning lines that are
    // not closing lines become findings (the closing lines are the companies').
    void eventLine(const QString& line, EventMark mark);
    // The company the run works on (the host's CompanyInfo::Slot).
    void companyInWork(const QString& slotText);
    // A box, with its kind: "errore" (Icon::Critical), "attenzione",
    // "informazione" or "" (no icon).
    void message(const QString& title, const QString& text, Icon icon);
    void outcome(const QString& text);
    void verification(const VerificationReport& report);
    void reportPath(const QString& windowsPath);
    void restoreEnded(const QString& outcome, bool restored, const QString& reportPath);
    // Whether the restore or its undoing put a folder in place, unless
    // restoreEnded said so already.
    void restoreDone(bool done);

    void check(const PreliminaryCheck& check);
    void copy(const SafetyCopy& copy, const CopyCheck& check, bool takenByDefault);
    // The data folder the last restore set aside (Windows path; "" none).
    void setAside(const QString& windowsPath);
    // The copy a restore worked on (null in the object when never set).
    void restoredCopy(const QString& name, const QString& windowsPath);
    // What the run's record says: the safety copy, and the companies when no
    // verification report came (an interrupted run).
    void run(const RunState& state);
    // The log under that root (a Windows path ending in "\"), when its file is there.
    void logUnder(const QString& root);

    // The command is a rehearsal (--simulazione): "simulazione" is true.
    void setRehearsal(bool rehearsal) { m_rehearsal = rehearsal; }

    // The object, indented, with a final newline.
    QByteArray document(int exitStatus) const;

private:
    void finding(const QString& level, int slot, const QString& area, const QString& text);

    QString m_command;
    QJsonArray m_findings;
    QJsonArray m_companies;
    QJsonArray m_messages;
    QJsonArray m_copies;
    QJsonValue m_outcome = QJsonValue::Null;
    QJsonValue m_safetyCopy = QJsonValue::Null;
    QJsonValue m_log = QJsonValue::Null;
    QJsonValue m_report = QJsonValue::Null;
    QJsonArray m_csv;
    QJsonValue m_setAside = QJsonValue::Null;
    QJsonObject m_restore;
    bool m_haveReport = false;
    bool m_rehearsal = false;
    int m_slotInWork = 0;
};

// Whether the arguments ask for --json, read before they are understood:
// a command line with a mistake still answers with the object.
bool jsonAsked(const QStringList& arguments);

} // namespace rio::cli
