#pragma once

// A fresh drive C: for every test case of the file services: a temporary
// folder that RIAPERTURA_DRIVE_C names, with helpers that write and read
// files under it by their path relative to the drive.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class DriveFixture : public QObject
{
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_drive;

    // Called by the test's init() and cleanup() slots.
    void makeDrive()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_drive = m_dir->path() + QStringLiteral("/drive_c");
        QDir().mkpath(m_drive);
        qputenv("RIAPERTURA_DRIVE_C", m_drive.toUtf8());
    }
    void dropDrive() { m_dir.reset(); }

    QString host(const QString& relative) const { return m_drive + QLatin1Char('/') + relative; }

    void write(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(host(relative)).absolutePath());
        QFile f(host(relative));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QByteArray read(const QString& relative) const
    {
        QFile f(host(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};
