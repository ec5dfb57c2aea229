#pragma once

#include <QString>

// One line of the IMEI history: when the set was recorded and its IMEIs joined by commas.
struct ImeiHistoryRecord
{
    QString dateTime;
    QString imeis;
};

// The IMEI history held in memory: records in file order, kept compact and indexed so that a
// history of years answers duplicate queries at once.
class ImeiHistory final
{
public:
    ImeiHistory();
    ~ImeiHistory();
    ImeiHistory(const ImeiHistory &) = delete;
    ImeiHistory &operator=(const ImeiHistory &) = delete;

    void clear();
    void append(const QString &dateTime, const QString &imeis);
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    ImeiHistoryRecord at(qsizetype index) const;

    // True when the IMEI text of any record contains `candidate` (case-sensitive substring).
    bool contains(const QString &candidate) const;

private:
    struct Data;
    Data *d;
};
