#pragma once

#include <QUuid>

namespace velmor {

// A fresh random (version 4) UUID drawn from the calling thread's generator,
// which the system's random source seeded. As unique as QUuid::createUuid(),
// which asks the kernel for every id; this one is for records made on the hot
// path of every button press.
QUuid randomUuid();

} // namespace velmor
