#include "config/RandomSource.h"

#include <array>
#include <cstdint>

namespace {

// The additive feedback generator r[i] = r[i-3] + r[i-31] (modulo 2^32), its state seeded with 1 through
// the Park-Miller generator and its first 310 outputs discarded; each output is the sum shifted right once.
class UnseededCRand final
{
public:
    UnseededCRand() { restart(); }

    void restart()
    {
        m_state[0] = 1;
        for (int i = 1; i < Degree; ++i) {
            // 16807 * previous modulo 2^31 - 1, without overflow (Schrage's method).
            const int32_t previous = int32_t(m_state[i - 1]);
            const int32_t hi = previous / 127773;
            const int32_t lo = previous % 127773;
            int32_t word = 16807 * lo - 2836 * hi;
            if (word < 0)
                word += 2147483647;
            m_state[i] = uint32_t(word);
        }
        m_front = Separation;
        m_rear = 0;
        for (int i = 0; i < Degree * 10; ++i)
            next();
    }

    int next()
    {
        m_state[m_front] += m_state[m_rear];
        const uint32_t result = m_state[m_front] >> 1;
        m_front = (m_front + 1) % Degree;
        m_rear = (m_rear + 1) % Degree;
        return int(result);
    }

private:
    static constexpr int Degree = 31;
    static constexpr int Separation = 3;
    std::array<uint32_t, Degree> m_state{};
    int m_front = Separation;
    int m_rear = 0;
};

UnseededCRand &defaultSequence()
{
    static UnseededCRand sequence;
    return sequence;
}

std::function<int()> &nextFunction()
{
    static std::function<int()> fn;
    return fn;
}

} // namespace

int RandomSource::next()
{
    const auto &fn = nextFunction();
    return fn ? fn() : defaultSequence().next();
}

void RandomSource::setNextFunctionForTesting(std::function<int()> next)
{
    nextFunction() = std::move(next);
}

void RandomSource::restartDefaultSequence()
{
    defaultSequence().restart();
}
