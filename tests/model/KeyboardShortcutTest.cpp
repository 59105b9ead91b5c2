#include "model/KeyTables.h"
#include "model/KeyboardShortcut.h"
#include "platform/Json.h"
#include "platform/Text.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;
using Mods = KeyboardShortcut::Modifiers;

namespace {
KeyboardShortcut decode(const char* text) { return KeyboardShortcut::fromJson(json::parse(text)); }
} // namespace

TEST(KeyboardShortcutModifiers, SetOperationsEventFlagsAndGlyphsInControlOptionShiftCommandOrder)
{
    Mods mods{Mods::shift, Mods::command};
    EXPECT_FALSE(mods.contains(Mods{Mods::shift, Mods::control})); // all bits, not any
    EXPECT_FALSE(mods.insert(Mods::shift));
    EXPECT_TRUE(mods.insert(Mods::option));
    EXPECT_EQ(mods.remove(Mods::control), std::nullopt);
    EXPECT_EQ(mods.remove(Mods{Mods::option, Mods::control}), Mods::option); // only what was there
    EXPECT_EQ(mods.rawValue(), 9);
    // Update-with adds in any case and hands back what was already there.
    EXPECT_EQ(mods.update(Mods::control), std::nullopt);
    EXPECT_EQ(mods.update(Mods{Mods::shift, Mods::option}), Mods::shift);
    EXPECT_EQ(mods.update(Mods(1 << 16)), std::nullopt);
    EXPECT_EQ(mods.rawValue(), (1 << 16) | 15);

    // Event flags: only the four modifier bits count (0x10000 is caps lock).
    EXPECT_EQ(Mods::fromEventFlags(0x20000 | 0x80000 | 0x100000).rawValue(), 13);
    EXPECT_EQ(Mods::fromEventFlags(0x40000).rawValue(), 2);
    EXPECT_TRUE(Mods::fromEventFlags(0x10000 | 0xFFFFull << 32 | 0x1FF).isEmpty());

    EXPECT_EQ(Mods(15).symbols(), QStringLiteral("⌃⌥⇧⌘"));
    EXPECT_EQ(Mods(19).symbols(), QStringLiteral("⌃⇧")); // bit 16 adds nothing
    EXPECT_EQ((KeyboardShortcut{1, "s", Mods(9)}).displayText(), QStringLiteral("⇧⌘S"));
    EXPECT_EQ((KeyboardShortcut{48, "⇥", Mods::command}).displayText(), QStringLiteral("⌘⇥"));
}

TEST(KeyboardShortcut, JsonKeepsUnknownBitsRejectsBadFieldsAndEqualityFollowsCanonicalKeyText)
{
    const KeyboardShortcut s = decode(R"({"keyCode": 13, "key": "W", "modifiers": 19, "extra": [1]})");
    EXPECT_EQ(s, (KeyboardShortcut{13, "W", Mods(19)}));
    EXPECT_EQ(s.toJson(), (QJsonObject{{"key", "W"}, {"keyCode", 13}, {"modifiers", 19}}));

    const KeyboardShortcut wide = decode(R"({"keyCode": 65535, "key": "", "modifiers": -9223372036854775808})");
    EXPECT_EQ(wide.keyCode, 65535);
    EXPECT_EQ(KeyboardShortcut::fromJson(wide.toJson()).modifiers.rawValue(), std::numeric_limits<qint64>::min());

    for (const char* bad : {R"({"keyCode": 70000, "key": "W", "modifiers": 0})",
                            R"({"keyCode": -1, "key": "W", "modifiers": 0})",
                            R"({"keyCode": 1.5, "key": "W", "modifiers": 0})", R"({"keyCode": 13, "modifiers": 0})",
                            R"({"keyCode": 13, "key": null, "modifiers": 0})", R"({"keyCode": 13, "key": "W"})",
                            R"({"keyCode": "13", "key": "W", "modifiers": 0})",
                            R"({"keyCode": 13, "key": "W", "modifiers": 1e19})"})
        EXPECT_THROW(decode(bad), json::DecodeError) << bad;

    // Equality and hashing follow canonical key text.
    const KeyboardShortcut upper{13, "W", {}};
    const KeyboardShortcut composed{1, QString(QChar(0x00E9)), Mods::shift};
    const KeyboardShortcut decomposed{1, QString("e") + QChar(0x0301), Mods::shift};
    EXPECT_EQ(composed, decomposed);
    EXPECT_EQ((QSet<KeyboardShortcut>{composed, decomposed, upper}).size(), 2);
    EXPECT_NE(upper, (KeyboardShortcut{13, "w", {}}));
    EXPECT_NE(composed, (KeyboardShortcut{1, composed.key, Mods::control}));
    EXPECT_NE(composed, (KeyboardShortcut{2, composed.key, Mods::shift}));
}

TEST(KeyTables, NamesLookUpInAnyCaseWithUniqueCodesAndSpecialKeysCoverF1ToF12AndGlyphs)
{
    EXPECT_EQ(KeyboardShortcut::fromKeyName("Return"), (KeyboardShortcut{36, "Return", {}}));
    EXPECT_EQ(KeyboardShortcut::fromKeyName("W", Mods::control), (KeyboardShortcut{13, "W", Mods(2)}));
    EXPECT_EQ(KeyboardShortcut::fromKeyName("\\")->keyCode, 42);
    for (const char* unknown : {"F13", "", "f1", " w", "enter", "up"})
        EXPECT_FALSE(KeyboardShortcut::fromKeyName(unknown)) << unknown;

    // Only the angle brackets share codes, with comma and full stop.
    EXPECT_EQ(KeyboardShortcut::fromKeyName("<")->keyCode, KeyboardShortcut::fromKeyName(",")->keyCode);
    EXPECT_EQ(KeyboardShortcut::fromKeyName(">")->keyCode, KeyboardShortcut::fromKeyName(".")->keyCode);
    const auto& table = keyCodesByName();
    QSet<std::uint16_t> codes;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        EXPECT_EQ(text::lowercased(it.key()), it.key()); // lookups lower-case the name
        codes.insert(it.value());
    }
    EXPECT_EQ(codes.size(), table.size() - 2);

    // Special keys: F1 to F12 only; the others show glyphs and post the codes of their names.
    EXPECT_EQ(KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(12)), (KeyboardShortcut{111, "F12", {}}));
    QSet<std::uint16_t> functionCodes;
    for (int n = 1; n <= 12; ++n) {
        const auto f = KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(n), Mods::shift);
        ASSERT_TRUE(f) << n;
        EXPECT_EQ(f->displayText(), QStringLiteral("⇧F%1").arg(n));
        functionCodes.insert(f->keyCode);
    }
    EXPECT_EQ(functionCodes.size(), 12);
    for (const std::int64_t n : {std::int64_t{13}, std::int64_t{0}, std::int64_t{-1}, std::int64_t{1} << 40})
        EXPECT_FALSE(KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(n))) << n;
    EXPECT_NE(SpecialKey::functionKey(0), SpecialKey::arrowUp);
    EXPECT_EQ((QSet<SpecialKey>{SpecialKey::tab, SpecialKey::tab, SpecialKey::functionKey(1), SpecialKey::functionKey(2),
                                SpecialKey::functionKey(1)}).size(), 3);

    EXPECT_EQ(KeyboardShortcut::fromSpecialKey(SpecialKey::pageDown, Mods(3))->displayText(), "⌃⇧PAGEDOWN");
    EXPECT_EQ(KeyboardShortcut::fromSpecialKey(SpecialKey::arrowLeft), (KeyboardShortcut{123, "←", {}}));
    const std::tuple<SpecialKey, const char*, const char*> named[] = {
        {SpecialKey::returnKey, "return", "⏎"}, {SpecialKey::space, "space", "␣"}, {SpecialKey::tab, "tab", "⇥"}};
    for (const auto& [key, name, glyph] : named) {
        const auto s = KeyboardShortcut::fromSpecialKey(key);
        EXPECT_EQ(s->key, QString::fromUtf8(glyph));
        EXPECT_EQ(s->keyCode, KeyboardShortcut::fromKeyName(name)->keyCode);
    }
}
