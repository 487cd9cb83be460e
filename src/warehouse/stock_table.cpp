#include "warehouse/stock_table.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstring>

namespace rio {

static_assert(sizeof(StockTable::Entry) == 64);

quint32 StockTable::hashOf(QByteArrayView key)
{
    return quint32(qHashBits(key.data(), size_t(key.size()), 0));
}

QByteArrayView StockTable::keyOf(const Entry& entry) const
{
    const qsizetype length = entry.m_bits & Entry::LengthMask;
    if (length <= Entry::InlineBytes)
        return QByteArrayView(entry.m_key.bytes, length);
    return QByteArrayView(m_keys.constData() + entry.m_key.offset, length);
}

bool StockTable::holds(const Entry& entry, QByteArrayView key) const
{
    const QByteArrayView own = keyOf(entry);
    return own.size() == key.size() && std::memcmp(own.data(), key.data(), size_t(key.size())) == 0;
}

quint64* StockTable::slotFor(QByteArrayView key, quint32 hash)
{
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        quint64& slot = m_slots[i];
        if (slot == 0)
            return &slot;
        if (quint32(slot >> 32) == hash && holds(entryAt(quint32(slot) - 1), key))
            return &slot;
    }
}

void StockTable::claim(qint64 coming)
{
    const qint64 held =
        qint64(m_blocks.size() * BlockEntries * sizeof(Entry) + m_blocks.capacity() * sizeof(m_blocks[0]) +
               m_slots.capacity() * sizeof(quint64)) +
        m_keys.capacity() + coming;
    if (held <= m_claim.held())
        return;
    constexpr qint64 Step = 1024 * 1024;
    m_claim.hold((held + Step - 1) / Step * Step);
}

void StockTable::makeRoom()
{
    if (m_count < m_blocks.size() * BlockEntries)
        return;
    claim(qint64(BlockEntries * sizeof(Entry)));
    m_blocks.push_back(std::make_unique<Entry[]>(BlockEntries));
}

void StockTable::grow()
{
    const size_t next = m_slots.empty() ? 1024 : m_slots.size() * 2;
    claim(qint64(next * sizeof(quint64))); // the old slots and the new, while they move
    std::vector<quint64> old(next, 0);
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (const quint64 slot : old) {
        if (slot == 0)
            continue;
        size_t i = quint32(slot >> 32) & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

StockTable::Entry& StockTable::add(QByteArrayView key, qint64 rowid)
{
    if ((m_count + 1) * 2 > m_slots.size())
        grow();
    const quint32 hash = hashOf(key);
    quint64* slot = slotFor(key, hash);
    if (*slot != 0)
        return entryAt(quint32(*slot) - 1);
    makeRoom();
    Entry& e = entryAt(m_count);
    e.rowid = rowid;
    e.m_bits = quint32(key.size()) & Entry::LengthMask;
    if (key.size() <= Entry::InlineBytes) {
        std::memcpy(e.m_key.bytes, key.data(), size_t(key.size()));
    } else {
        e.m_key.offset = quint32(m_keys.size());
        m_keys.append(key.data(), key.size());
    }
    ++m_count;
    *slot = (quint64(hash) << 32) | quint64(m_count);
    return e;
}

StockTable::Entry* StockTable::find(QByteArrayView key)
{
    if (m_slots.empty())
        return nullptr;
    const quint64 slot = *slotFor(key, hashOf(key));
    return slot == 0 ? nullptr : &entryAt(quint32(slot) - 1);
}

void StockTable::findAll(const QByteArrayView* keys, Entry** found, size_t n)
{
    if (m_slots.empty()) {
        std::fill(found, found + n, nullptr);
        return;
    }
    constexpr size_t Batch = 32;
    const size_t mask = m_slots.size() - 1;
    quint32 hashes[Batch];
    for (size_t from = 0; from < n; from += Batch) {
        const size_t count = std::min(Batch, n - from);
        for (size_t i = 0; i < count; ++i) {
            hashes[i] = hashOf(keys[from + i]);
            __builtin_prefetch(&m_slots[hashes[i] & mask]);
        }
        // The first slot of the same hash: nearly always the key's.
        for (size_t i = 0; i < count; ++i) {
            found[from + i] = nullptr;
            for (size_t j = hashes[i] & mask; m_slots[j] != 0; j = (j + 1) & mask) {
                if (quint32(m_slots[j] >> 32) == hashes[i]) {
                    found[from + i] = &entryAt(quint32(m_slots[j]) - 1);
                    __builtin_prefetch(found[from + i]);
                    break;
                }
            }
        }
        for (size_t i = 0; i < count; ++i) {
            Entry*& e = found[from + i];
            if (e && !holds(*e, keys[from + i])) {
                const quint64 slot = *slotFor(keys[from + i], hashes[i]); // another key of the same hash
                e = slot == 0 ? nullptr : &entryAt(quint32(slot) - 1);
            }
        }
    }
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
