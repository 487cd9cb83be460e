#pragma once

// What the console's tests share: a stream read back, the options as parsed,
// and the built riapertura-cli run on its own (RIAPERTURA_CLI).
#include "app/cli/cli_options.h"
#include "cli_process.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>

// A stream the host writes to, read back as text.
struct Capture
{
    std::FILE* file = std::tmpfile();
    ~Capture() { std::fclose(file); }
    QString text() const
    {
        std::fflush(file);
        std::rewind(file);
        QByteArray bytes;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, qsizetype(n));
        return QString::fromUtf8(bytes);
    }
};

inline rio::cli::CliOptions options(const QStringList& args)
{
    const rio::cli::ParsedOptions parsed =
        rio::cli::parseOptions(QStringList{QStringLiteral("riapertura-cli")} + args);
    if (!parsed.ok)
        qFatal("%s", qPrintable(parsed.text));
    return parsed.options;
}

inline const QString Confirm =
    QStringLiteral("Prima di continuare è preferibile scollegare tutti gli utenti\r\nContinuare?");
