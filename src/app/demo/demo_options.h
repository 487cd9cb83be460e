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

// The exit statuses of riapertura-demo.
enum DemoExit : int { DemoWritten = 0, DemoFailed = 1, DemoUsage = 2, DemoRefusedFolder = 3 };

// Reads "DIR [--companies N] [--articles N] [--movements N] [--open-items N]
// [--seed S] [--x86]" (arguments without the program name), as the console
// reads its options. On a mistake returns nothing and sets error to one
// Italian line ending with "usare --help". On --help or --version returns
// nothing, leaves error empty and sets information to the text to print.
std::optional<DemoOptions> parseDemoArguments(const QStringList& arguments, QString& error,
                                              QString* information = nullptr);

} // namespace rio::demo
