#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <vector>

namespace rio {

// Stock of warehouses 01..05 (index 0..4).
using WarehouseStocks = std::array<double, 5>;

// The articles of an archive by code, each with the stock summed for it.
// One flat table: a movement's lookup costs a probe of a small index and
// one cache line of its entry, where a hash of strings would chase a node
// and a separately allocated code for each of a million movements.
// Keys are UTF-8 bytes, compared exactly (the callers upper-case them).
class StockTable
{
public:
    // 64 bytes: one cache line.
    struct Entry
    {
        WarehouseStocks stocks{};
        qint64 rowid = 0; // the first row of the file with this key
        quint32 hash = 0;
        quint32 keyOffset = 0;
        quint32 keyLength = 0;
        bool askedFor = false; // some article's lookup finds it
        bool moved = false;    // some movement was summed into it
    };

    // The entry of a key, added with the row when absent (a later row of
    // the same key leaves the first). Entries stay in the order added.
    Entry& add(QByteArrayView key, qint64 rowid);
    Entry* find(QByteArrayView key);
    QByteArrayView keyOf(const Entry& entry) const;

    std::vector<Entry>& entries() { return m_entries; }
    const std::vector<Entry>& entries() const { return m_entries; }

private:
    static quint32 hashOf(QByteArrayView key);
    quint32* slotFor(QByteArrayView key, quint32 hash);
    void grow();

    std::vector<Entry> m_entries;
    std::vector<quint32> m_slots; // entry index + 1; 0 empty; a power of two in size
    QByteArray m_keys;            // every key, one after the other
};

// The code in the form the archive compares it by: ASCII letters
// upper-cased (into out, which is returned).
QByteArrayView upperKey(QByteArrayView code, QByteArray& out);
// The same without the blanks around it: the key an article is looked up by.
QByteArrayView lookupKey(QByteArrayView code, QByteArray& out);

} // namespace rio
