#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace rio::demo {

// What riapertura-demo writes: the folder taken as drive C: and the sizes.
struct DemoOptions
{
    QString dir;
    int companies = 3;
    int articles = 300;
    int movements = 3000;
    int openItems = 40;
    quint32 seed = 2023;
    bool x86 = false;
};

// Reads "DIR [--companies N] [--articles N] [--movements N] [--open-items N]
// [--seed S] [--x86]" (arguments without the program name). On a mistake
// returns nothing and sets error to an Italian message.
std::optional<DemoOptions> parseDemoArguments(const QStringList& arguments, QString& error);

QString demoUsage();

} // namespace rio::demo
