#pragma once

#include "context/host.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

// A screen for tests: records everything the run shows and answers message
// boxes from a queue (OK / Yes by default).
class FakeHost : public rio::Host
{
public:
    struct Box
    {
        QString text;
        rio::Buttons buttons;
        rio::Icon icon;
        QString title;
    };

    void showProgressText(const QString& caption) override { progressCaption = caption; }
    void addEvent(const QString& line) override { events << line; }
    void showStageDone(rio::Stage box, bool ticked) override { status[box] = ticked; }
    void showCompanyInfo(rio::CompanyInfo label, const QString& caption) override
    {
        labels[label] = caption;
        labelLog.append({label, caption});
    }
    void allowNewRun(bool enabled) override { runEnabled = enabled; }
    void allowClose(bool enabled) override { closeEnabled = enabled; }
    void lockYears() override { yearsLocked = true; }
    bool logWanted() const override { return logOn; }
    bool stopRequested() const override { return stop; } // the console's Ctrl-C
    rio::DataSource dataSource() const override
    {
        return server ? rio::DataSource::Server : rio::DataSource::Local;
    }
    bool zetaFolderChosen() const override { return zetaFolder; }
    QList<int> chosenCompanies() const override { return chosen; }
    rio::Answer message(const QString& text, rio::Buttons buttons, rio::Icon icon,
                        const QString& title) override;
    void showBusy(bool hourglass) override { busy = hourglass; }
    void yield() override;
    void closeProgram() override { windowClosed = true; }
    void setRunProgress(const rio::RunProgressReport& report) override { progress.append(report); }
    void stepFinished(const QString& step, int slot, qint64 milliseconds, bool ok) override
    {
        steps.append({step, slot, milliseconds, ok});
        if (onStepFinished)
            onStepFinished(step, slot);
    }
    void showRunOutcome(const QString& text, rio::Tone tone) override
    {
        outcome = text;
        outcomeTone = tone;
    }
    void verificationReady(const QString& path, const QStringList& lines) override
    {
        reportPath = path;
        summary = lines;
    }

    bool ticked(rio::Stage box) const;
    // Boxes whose text contains the fragment.
    int boxesContaining(const QString& fragment) const;

    QString progressCaption;
    QStringList events;
    std::map<rio::Stage, bool> status;
    std::map<rio::CompanyInfo, QString> labels;
    QList<std::pair<rio::CompanyInfo, QString>> labelLog; // every caption set, in order
    bool runEnabled = true;
    bool closeEnabled = true;
    bool yearsLocked = false;
    bool logOn = true;
    bool server = false; // the data source chosen
    bool zetaFolder = false;
    QList<int> chosen; // the companies chosen; empty: every one
    bool busy = false;
    bool stop = false; // the user asks the run to stop
    bool windowClosed = false;
    int yields = 0;
    QList<Box> boxes;
    QList<rio::Answer> answers;    // next answers, first first
    std::function<void()> onYield; // runs at every yield (a test's hook)
    std::function<void(const QString&, int)> onStepFinished;
    struct Step
    {
        QString name;
        int slot;
        qint64 milliseconds;
        bool ok;
    };
    QList<Step> steps;
    QList<rio::RunProgressReport> progress; // every report shown, in order
    QString reportPath;
    QStringList summary;
    QString outcome; // the status panel's last words on the run
    rio::Tone outcomeTone = rio::Tone::Plain;
};
