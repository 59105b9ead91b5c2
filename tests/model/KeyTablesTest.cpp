#include "model/KeyTables.h"
#include "model/KeyboardShortcut.h"
#include "platform/Text.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;
using Mods = KeyboardShortcut::Modifiers;

TEST(KeyNameShortcut, LooksUpAnyLetterCaseAndKeepsTheNameAsGiven)
{
    EXPECT_EQ(KeyboardShortcut::fromKeyName("Return"), (KeyboardShortcut{36, "Return", {}}));
    EXPECT_EQ(KeyboardShortcut::fromKeyName("W", Mods::control), (KeyboardShortcut{13, "W", Mods(2)}));
    EXPECT_EQ(KeyboardShortcut::fromKeyName("\\")->keyCode, 42);
    for (const char* unknown : {"F13", "", "f1", " w", "enter", "up"})
        EXPECT_FALSE(KeyboardShortcut::fromKeyName(unknown)) << unknown;
}

TEST(KeyNameShortcut, OnlyAngleBracketsShareCodesWithCommaAndFullStop)
{
    EXPECT_EQ(KeyboardShortcut::fromKeyName("<")->keyCode, KeyboardShortcut::fromKeyName(",")->keyCode);
    EXPECT_EQ(KeyboardShortcut::fromKeyName(">")->keyCode, KeyboardShortcut::fromKeyName(".")->keyCode);
    const auto& table = keyCodesByName();
    QSet<std::uint16_t> codes;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        EXPECT_EQ(text::lowercased(it.key()), it.key()); // lookups lower-case the name
        codes.insert(it.value());
    }
    EXPECT_EQ(codes.size(), table.size() - 2);
}

TEST(SpecialKeyShortcut, FunctionKeysExistOnlyFromOneToTwelve)
{
    EXPECT_EQ(KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(12)), (KeyboardShortcut{111, "F12", {}}));
    QSet<std::uint16_t> codes;
    for (int n = 1; n <= 12; ++n) {
        const auto f = KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(n), Mods::shift);
        ASSERT_TRUE(f) << n;
        EXPECT_EQ(f->displayText(), QStringLiteral("⇧F%1").arg(n));
        codes.insert(f->keyCode);
    }
    EXPECT_EQ(codes.size(), 12);
    for (const std::int64_t n : {std::int64_t{13}, std::int64_t{0}, std::int64_t{-1}, std::int64_t{1} << 40})
        EXPECT_FALSE(KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(n))) << n;
}

TEST(SpecialKeyShortcut, OtherKeysShowTheirGlyphsAndPostTheCodesOfTheirNames)
{
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

TEST(SpecialKey, FunctionKeysAreEqualOnlyWithTheSameNumber)
{
    EXPECT_NE(SpecialKey::functionKey(0), SpecialKey::arrowUp);
    const QSet<SpecialKey> keys{SpecialKey::tab, SpecialKey::tab, SpecialKey::functionKey(1),
                                SpecialKey::functionKey(2), SpecialKey::functionKey(1)};
    EXPECT_EQ(keys.size(), 3);
}
