#include "platform/RandomUuid.h"

#include <QRandomGenerator>

#include <array>
#include <random>

namespace velmor {

namespace {

// Each thread draws from its own generator, seeded once from the system's: no
// lock and no system call per id.
std::mt19937_64& threadGenerator()
{
    thread_local std::mt19937_64 generator = [] {
        std::array<quint32, 16> seed{};
        QRandomGenerator::system()->fillRange(seed.data(), seed.size());
        std::seed_seq sequence(seed.begin(), seed.end());
        return std::mt19937_64(sequence);
    }();
    return generator;
}

} // namespace

QUuid randomUuid()
{
    std::mt19937_64& generator = threadGenerator();
    const quint64 first = generator();
    const quint64 second = generator();
    const quint64 high = (first & ~quint64{0xF000}) | 0x4000; // version 4
    const quint64 low = (second & ~(quint64{0xC} << 60)) | (quint64{0x8} << 60); // RFC 4122 variant
    return QUuid(static_cast<uint>(high >> 32), static_cast<ushort>(high >> 16), static_cast<ushort>(high),
                 static_cast<uchar>(low >> 56), static_cast<uchar>(low >> 48), static_cast<uchar>(low >> 40),
                 static_cast<uchar>(low >> 32), static_cast<uchar>(low >> 24), static_cast<uchar>(low >> 16),
                 static_cast<uchar>(low >> 8), static_cast<uchar>(low));
}

} // namespace velmor
