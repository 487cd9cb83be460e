#include "warehouse/stock_table.h"

#include <QHashFunctions>

#include <cstring>

namespace rio {

quint32 StockTable::hashOf(QByteArrayView key)
{
    return quint32(qHashBits(key.data(), size_t(key.size()), 0));
}

QByteArrayView StockTable::keyOf(const Entry& entry) const
{
    return QByteArrayView(m_keys.constData() + entry.keyOffset, entry.keyLength);
}

quint32* StockTable::slotFor(QByteArrayView key, quint32 hash)
{
    const size_t mask = m_slots.size() - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        quint32& slot = m_slots[i];
        if (slot == 0)
            return &slot;
        const Entry& e = m_entries[slot - 1];
        if (e.hash == hash && e.keyLength == quint32(key.size()) &&
            std::memcmp(m_keys.constData() + e.keyOffset, key.data(), size_t(key.size())) == 0)
            return &slot;
    }
}

void StockTable::grow()
{
    // At most half full: a probe rarely looks past its first slot.
    m_slots.assign(m_slots.empty() ? 1024 : m_slots.size() * 2, 0);
    const size_t mask = m_slots.size() - 1;
    for (size_t n = 0; n < m_entries.size(); ++n) {
        size_t i = size_t(m_entries[n].hash) & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = quint32(n + 1);
    }
}

StockTable::Entry& StockTable::add(QByteArrayView key, qint64 rowid)
{
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        grow();
    const quint32 hash = hashOf(key);
    quint32* slot = slotFor(key, hash);
    if (*slot != 0)
        return m_entries[*slot - 1];
    Entry e;
    e.rowid = rowid;
    e.hash = hash;
    e.keyOffset = quint32(m_keys.size());
    e.keyLength = quint32(key.size());
    m_keys.append(key.data(), key.size());
    m_entries.push_back(e);
    *slot = quint32(m_entries.size());
    return m_entries.back();
}

StockTable::Entry* StockTable::find(QByteArrayView key)
{
    if (m_slots.empty())
        return nullptr;
    const quint32 slot = *slotFor(key, hashOf(key));
    return slot == 0 ? nullptr : &m_entries[slot - 1];
}

QByteArrayView upperKey(QByteArrayView code, QByteArray& out)
{
    out.resize(code.size());
    char* o = out.data();
    for (qsizetype i = 0; i < code.size(); ++i) {
        const char c = code[i];
        o[i] = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    }
    return QByteArrayView(out.constData(), out.size());
}

QByteArrayView lookupKey(QByteArrayView code, QByteArray& out)
{
    qsizetype begin = 0;
    qsizetype end = code.size();
    while (begin < end && code[begin] == ' ')
        ++begin;
    while (end > begin && code[end - 1] == ' ')
        --end;
    return upperKey(code.sliced(begin, end - begin), out);
}

} // namespace rio
