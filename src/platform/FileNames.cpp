#include "platform/FileNames.h"

#include <algorithm>

namespace velmor {

bool isPlainFileName(const QString& name)
{
    // A leading "." covers ".", ".." and hidden files alike.
    if (name.isEmpty() || name.startsWith(u'.'))
        return false;
    // Unpaired surrogates would all map to one replacement character on disk.
    if (!name.isValidUtf16())
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == u'/' || c == u'\\' || c.category() == QChar::Other_Control;
    });
}

} // namespace velmor
