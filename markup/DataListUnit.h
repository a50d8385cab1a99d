#pragma once

#include <QtGlobal>
#include <vector>

// An ordered list of 32-bit integers (the colourer's spans: start, end, start, end, ...).
class TDataList {
public:
    int Add(qint32 value)
    {
        m_values.push_back(value);
        return int(m_values.size()) - 1;
    }
    qint32 Get(int index) const { return m_values.at(size_t(index)); }
    int Count() const { return int(m_values.size()); }
    void Clear() { m_values.clear(); }

private:
    std::vector<qint32> m_values;
};
