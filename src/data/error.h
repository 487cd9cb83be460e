#pragma once

#include <QString>
#include <exception>

namespace rio {

// A failure as the program reports it: a number and a description, in the
// form a VB program sees them ("Error <number> (<description>) in ...").
class Error : public std::exception
{
public:
    Error(qint64 number, QString description);

    qint64 number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    qint64 m_number;
    QString m_description;
    QByteArray m_what;
};

// Error numbers the steps and the front ends rely on.
namespace err {
// Database engine (ADO / OLE DB numbers as a signed 32-bit value).
inline constexpr qint64 NoTable = -2147217865;          // DB_E_NOTABLE, 0x80040E37
inline constexpr qint64 UnknownColumn = -2147217904;    // unknown column inside SQL
inline constexpr qint64 DataTypeMismatch = -2147217913; // "Data type mismatch in criteria expression."
inline constexpr qint64 EngineFailure = -2147467259;    // any other engine failure, a locked database
inline constexpr qint64 WorkgroupRefused = -2147217843; // workgroup file missing / bad account
inline constexpr qint64 NoCurrentRecord = 3021;         // BOF or EOF
inline constexpr qint64 ItemNotFound = 3265;            // unknown field name
inline constexpr qint64 ObjectClosed = 3704;            // operation on a closed object
// VB run time.
inline constexpr qint64 Overflow = 6;
inline constexpr qint64 TypeMismatch = 13;
inline constexpr qint64 InvalidUseOfNull = 94;
// File system (VB run-time numbers).
inline constexpr qint64 BadFileNameOrNumber = 52;
inline constexpr qint64 FileNotFound = 53;
inline constexpr qint64 FileAlreadyOpen = 55;
inline constexpr qint64 FileAlreadyExists = 58;
inline constexpr qint64 DiskFull = 61;
inline constexpr qint64 DeviceUnavailable = 68;
inline constexpr qint64 PermissionDenied = 70;
inline constexpr qint64 PathFileAccess = 75;
inline constexpr qint64 PathNotFound = 76;
inline constexpr qint64 RenameAcrossDisks = 74;
} // namespace err

} // namespace rio
