#pragma once

#include <span>

namespace velmor {

// One symbol name and the font glyph drawn for it.
struct SymbolGlyph {
    const char* symbol;
    const char* glyph;
};

// The table SymbolIcons draws from, in no particular order.
std::span<const SymbolGlyph> symbolGlyphTable();

} // namespace velmor
