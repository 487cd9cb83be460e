#pragma once

#include "data/engine_memory.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <memory>
#include <vector>

namespace rio {

// Stock of warehouses 01..05 (index 0..4).
using WarehouseStocks = std::array<double, 5>;

// The articles of an archive by code, each with the stock summed for it.
// One flat table: a movement's lookup reads one slot of a compact index
// (the key's hash beside its entry's place, so that a probe looks at no
// other entry) and one cache line of its entry, the code inside it when
// short; a hash of strings would chase a node and a separately allocated
// code for each of a million movements, and miss the processor's caches
// once the articles run to tens of thousands.
// Keys are UTF-8 bytes, compared exactly (the callers upper-case them).
// What the table holds is claimed from the engine's memory
// (data/engine_memory.h): an archive of many articles leaves the engine
// fewer pages rather than growing the process. The entries live in blocks
// of a fixed size, which fit where the engine's freed pages were; one
// block growing by doubling would leave the heap its old blocks as holes,
// and the process the size of them. Build it on the thread of the
// connections it is read from.
class StockTable
{
public:
    // 64 bytes: one cache line.
    struct Entry
    {
        WarehouseStocks stocks{};
        qint64 rowid = 0; // the first row of the file with this key
        bool askedFor() const { return m_bits & AskedFor; }
        void setAskedFor() { m_bits |= AskedFor; }
        bool moved() const { return m_bits & Moved; } // some movement was summed into it

    private:
        friend class StockTable;
        static constexpr quint32 AskedFor = 1u << 31;
        static constexpr quint32 Moved = 1u << 30;
        static constexpr quint32 LengthMask = Moved - 1;
        static constexpr qsizetype InlineBytes = 12;
        quint32 m_bits = 0; // the key's length and the two flags
        union {
            char bytes[InlineBytes]; // a key that fits
            quint32 offset;          // where a longer one starts among the table's keys
        } m_key{};
    };

    // The entry of a key, added with the row when absent (a later row of
    // the same key leaves the first). Entries stay in the order added.
    Entry& add(QByteArrayView key, qint64 rowid);
    Entry* find(QByteArrayView key);
    // find() for each of n keys, into found: the memory waits of their
    // slots and entries overlap instead of coming one after the other.
    void findAll(const QByteArrayView* keys, Entry** found, size_t n);
    QByteArrayView keyOf(const Entry& entry) const;
    // Adds a movement's quantity to the entry's stock of a warehouse (0..4).
    static void addMovement(Entry& entry, int warehouse, double quantity)
    {
        entry.stocks[size_t(warehouse)] += quantity;
        entry.m_bits |= Entry::Moved;
    }

    // The entries in the order added, for a range-for.
    template <class E, class Table> class Range
    {
    public:
        struct iterator
        {
            Table* table;
            size_t index;
            E& operator*() const { return table->entryAt(index); }
            iterator& operator++()
            {
                ++index;
                return *this;
            }
            bool operator==(const iterator& other) const { return index == other.index; }
        };
        explicit Range(Table* table) : m_table(table) {}
        iterator begin() const { return {m_table, 0}; }
        iterator end() const { return {m_table, m_table->m_count}; }
        size_t size() const { return m_table->m_count; }

    private:
        Table* m_table;
    };
    Range<Entry, StockTable> entries() { return Range<Entry, StockTable>(this); }
    Range<const Entry, const StockTable> entries() const
    {
        return Range<const Entry, const StockTable>(this);
    }
    // The memory claimed for what the table holds.
    qint64 bytesHeld() const { return m_claim.held(); }
    Entry& entryAt(size_t index) { return m_blocks[index / BlockEntries][index % BlockEntries]; }
    const Entry& entryAt(size_t index) const { return m_blocks[index / BlockEntries][index % BlockEntries]; }

private:
    static quint32 hashOf(QByteArrayView key);
    bool holds(const Entry& entry, QByteArrayView key) const;
    quint64* slotFor(QByteArrayView key, quint32 hash);
    void grow();
    // Room for one more entry.
    void makeRoom();
    // Claims what the table holds plus `coming`, a megabyte at a time, so
    // that the engine gives up its pages now and then rather than at every
    // block.
    void claim(qint64 coming);

    static constexpr size_t BlockEntries = 1024; // 64 KB
    std::vector<std::unique_ptr<Entry[]>> m_blocks;
    size_t m_count = 0;
    // The key's hash in the high half, its entry's index + 1 in the low
    // half; 0 is empty. A power of two in size, at most half full.
    std::vector<quint64> m_slots;
    QByteArray m_keys; // the keys too long for their entry, one after the other
    EngineMemoryClaim m_claim;
};

// The code in the form the archive compares it by: ASCII letters
// upper-cased (into out, which is returned).
QByteArrayView upperKey(QByteArrayView code, QByteArray& out);
// The same without the blanks around it: the key an article is looked up by.
QByteArrayView lookupKey(QByteArrayView code, QByteArray& out);

} // namespace rio
