#include "model/ToolIconSelection.h"

#include "platform/Text.h"

#include <QHashFunctions>

namespace velmor {

bool ToolIconSelection::operator==(const ToolIconSelection& other) const
{
    return source == other.source && text::canonicallyEqual(name, other.name);
}

size_t qHash(const ToolIconSelection& selection, size_t seed) noexcept
{
    return qHashMulti(seed, toText(selection.source), text::canonicalForm(selection.name));
}

} // namespace velmor
