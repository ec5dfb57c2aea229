#pragma once

// Pass and fail counts of the write cycles of this run, and the first-pass yield derived from them. Kept in
// memory only.
class ProductionCounters final
{
public:
    void record(bool passed);
    void reset();

    int passCount() const { return m_pass; }
    int failCount() const { return m_fail; }
    int total() const { return m_pass + m_fail; }
    // Percent of passes, truncated towards zero (2 of 3 is 66); 0 before the first cycle.
    int fpy() const;

private:
    int m_pass = 0;
    int m_fail = 0;
};
