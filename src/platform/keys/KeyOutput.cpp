#include "platform/keys/KeyOutput.h"

#include "platform/keys/UinputKeyOutput.h"

#include "platform/ProcessWide.h"

namespace velmor::keys {

KeyOutput& KeyOutput::instance() { return ProcessWide<KeyOutput>::get<UinputKeyOutput>(); }

void KeyOutput::setInstance(KeyOutput* output) { ProcessWide<KeyOutput>::install(output); }

} // namespace velmor::keys
