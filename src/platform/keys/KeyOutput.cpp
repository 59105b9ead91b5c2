#include "platform/keys/KeyOutput.h"

#include "platform/keys/UinputKeyOutput.h"

#include <atomic>

namespace velmor::keys {

namespace {
std::atomic<KeyOutput*> installed{nullptr};
} // namespace

KeyOutput& KeyOutput::instance()
{
    if (KeyOutput* output = installed.load())
        return *output;
    static UinputKeyOutput uinput;
    return uinput;
}

void KeyOutput::setInstance(KeyOutput* output) { installed.store(output); }

} // namespace velmor::keys
