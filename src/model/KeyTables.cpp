#include "model/KeyTables.h"

namespace velmor {

const QHash<QString, std::uint16_t>& keyCodesByName()
{
    static const QHash<QString, std::uint16_t> table{
        {"a", 0},       {"s", 1},        {"d", 2},       {"f", 3},        {"h", 4},
        {"g", 5},       {"z", 6},        {"x", 7},       {"c", 8},        {"v", 9},
        {"b", 11},      {"q", 12},       {"w", 13},      {"e", 14},       {"r", 15},
        {"y", 16},      {"t", 17},       {"1", 18},      {"2", 19},       {"3", 20},
        {"4", 21},      {"6", 22},       {"5", 23},      {"=", 24},       {"9", 25},
        {"7", 26},      {"-", 27},       {"8", 28},      {"0", 29},       {"]", 30},
        {"o", 31},      {"u", 32},       {"[", 33},      {"i", 34},       {"p", 35},
        {"return", 36}, {"l", 37},       {"j", 38},      {"'", 39},       {"k", 40},
        {";", 41},      {"\\", 42},      {",", 43},      {"/", 44},       {"n", 45},
        {"m", 46},      {".", 47},       {"tab", 48},    {"space", 49},   {"`", 50},
        {"backspace", 51}, {"escape", 53}, {"<", 43},    {">", 47},
    };
    return table;
}

const QHash<SpecialKey, std::uint16_t>& specialKeyCodes()
{
    using K = SpecialKey;
    static const QHash<SpecialKey, std::uint16_t> table{
        {K::arrowLeft, 123},        {K::arrowRight, 124},       {K::arrowDown, 125},
        {K::arrowUp, 126},          {K::pageUp, 116},           {K::pageDown, 121},
        {K::returnKey, 36},         {K::space, 49},             {K::tab, 48},
        {K::functionKey(1), 122},   {K::functionKey(2), 120},   {K::functionKey(3), 99},
        {K::functionKey(4), 118},   {K::functionKey(5), 96},    {K::functionKey(6), 97},
        {K::functionKey(7), 98},    {K::functionKey(8), 100},   {K::functionKey(9), 101},
        {K::functionKey(10), 109},  {K::functionKey(11), 103},  {K::functionKey(12), 111},
    };
    return table;
}

} // namespace velmor
