#include "data/filesystem.h"

#include <QHash>

namespace rio::fs {

namespace {

// Code points of the bytes 0x80-0x9F of Windows-1252. The five bytes the
// code page leaves undefined stand for the C1 controls of the same value,
// as Windows converts them.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const QHash<char16_t, char>& highTable()
{
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> t;
        for (int i = 0; i < 32; ++i)
            t.insert(HighControls[i], static_cast<char>(0x80 + i));
        return t;
    }();
    return table;
}

} // namespace

QByteArray toWindows1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        const auto found = highTable().constFind(c);
        if (found != highTable().constEnd()) {
            out += found.value();
            continue;
        }
        // One "?" per character, also for a pair of surrogates.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        out += '?';
    }
    return out;
}

} // namespace rio::fs
