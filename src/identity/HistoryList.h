#pragma once

#include <QString>

// A single-value history (MBSN, PSN or Bluetooth address): values in file order with exact,
// case-sensitive membership.
class HistoryList final
{
public:
    HistoryList();
    ~HistoryList();
    HistoryList(const HistoryList &) = delete;
    HistoryList &operator=(const HistoryList &) = delete;

    void clear();
    void append(const QString &value);
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    QString at(qsizetype index) const;
    bool contains(const QString &value) const;

private:
    struct Data;
    Data *d;
};
