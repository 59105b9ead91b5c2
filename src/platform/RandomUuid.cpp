#include "platform/RandomUuid.h"

#include <QRandomGenerator>

#include <random>

namespace velmor {

namespace {

// One generator per thread, seeded by the system: no lock shared between threads.
std::mt19937_64& threadGenerator()
{
    thread_local std::mt19937_64 generator = [] {
        quint32 seed[8];
        QRandomGenerator::system()->fillRange(seed);
        std::seed_seq sequence(std::begin(seed), std::end(seed));
        return std::mt19937_64(sequence);
    }();
    return generator;
}

} // namespace

QUuid randomUuid()
{
    std::mt19937_64& generator = threadGenerator();
    const quint64 halves[2] = {generator(), generator()};
    const quint64 high = (halves[0] & ~quint64{0xF000}) | 0x4000; // version 4
    const quint64 low = (halves[1] & ~(quint64{0xC} << 60)) | (quint64{0x8} << 60); // RFC 4122 variant
    return QUuid(static_cast<uint>(high >> 32), static_cast<ushort>(high >> 16), static_cast<ushort>(high),
                 static_cast<uchar>(low >> 56), static_cast<uchar>(low >> 48), static_cast<uchar>(low >> 40),
                 static_cast<uchar>(low >> 32), static_cast<uchar>(low >> 24), static_cast<uchar>(low >> 16),
                 static_cast<uchar>(low >> 8), static_cast<uchar>(low));
}

} // namespace velmor
