#include "identity/HistoryList.h"

#include <QHash>

#include <vector>

// Values live back to back in one UTF-16 arena; an open-addressing table of value numbers gives exact
// membership with one or two probes. A history of a million serial numbers costs a few tens of bytes per
// value instead of a string object and a hash node each.
struct HistoryList::Data
{
    std::vector<char16_t> arena;
    std::vector<qsizetype> offsets{0}; // value i is arena[offsets[i], offsets[i + 1])
    std::vector<quint32> table;        // 0 empty, else value number + 1
    size_t mask = 0;

    QStringView view(qsizetype index) const
    {
        const qsizetype begin = offsets[size_t(index)];
        return QStringView(arena.data() + begin, offsets[size_t(index) + 1] - begin);
    }
    qsizetype count() const { return qsizetype(offsets.size()) - 1; }
    static size_t hashOf(QStringView value) { return size_t(qHash(value, size_t(0x9e3779b97f4a7c15ULL))); }

    void insertSlot(quint32 number)
    {
        size_t i = hashOf(view(number)) & mask;
        while (table[i] != 0)
            i = (i + 1) & mask;
        table[i] = number + 1;
    }

    void grow()
    {
        const size_t capacity = table.empty() ? 64 : table.size() * 2;
        table.assign(capacity, 0);
        mask = capacity - 1;
        for (qsizetype n = 0; n < count(); ++n)
            insertSlot(quint32(n));
    }
};

HistoryList::HistoryList() : d(new Data) {}

HistoryList::~HistoryList()
{
    delete d;
}

void HistoryList::clear()
{
    delete d;
    d = new Data;
}

void HistoryList::append(const QString &value)
{
    const auto *chars = reinterpret_cast<const char16_t *>(value.utf16());
    d->arena.insert(d->arena.end(), chars, chars + value.size());
    d->offsets.push_back(qsizetype(d->arena.size()));
    // Keep the table at most half full so that probe runs stay short.
    if (size_t(d->count()) * 2 > d->table.size())
        d->grow();
    else
        d->insertSlot(quint32(d->count() - 1));
}

qsizetype HistoryList::size() const
{
    return d->count();
}

QString HistoryList::at(qsizetype index) const
{
    if (index < 0 || index >= d->count())
        return QString();
    return d->view(index).toString();
}

bool HistoryList::contains(const QString &value) const
{
    if (d->table.empty())
        return false;
    const QStringView needle(value);
    for (size_t i = Data::hashOf(needle) & d->mask; d->table[i] != 0; i = (i + 1) & d->mask) {
        if (d->view(d->table[i] - 1) == needle)
            return true;
    }
    return false;
}
