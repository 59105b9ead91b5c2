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
    EXPECT_EQ(KeyboardShortcut::fromKeyName("<")->keyCode, 43);
    EXPECT_EQ(KeyboardShortcut::fromKeyName(">")->keyCode, 47);
    EXPECT_EQ(KeyboardShortcut::fromKeyName(",")->keyCode, 43);
    EXPECT_EQ(KeyboardShortcut::fromKeyName(".")->keyCode, 47);

    const auto& table = keyCodesByName();
    EXPECT_EQ(table.size(), 54);
    QSet<std::uint16_t> codes;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        EXPECT_EQ(text::lowercased(it.key()), it.key());
        codes.insert(it.value());
    }
    EXPECT_EQ(codes.size(), 52);
}

TEST(SpecialKeyShortcut, FunctionKeysExistOnlyFromOneToTwelve)
{
    EXPECT_EQ(KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(12)), (KeyboardShortcut{111, "F12", {}}));
    QSet<std::uint16_t> codes;
    for (int n = 1; n <= 12; ++n) {
        const auto f = KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(n), Mods::shift);
        ASSERT_TRUE(f) << n;
        EXPECT_EQ(f->key, QStringLiteral("F%1").arg(n));
        EXPECT_EQ(f->modifiers, Mods::shift);
        codes.insert(f->keyCode);
    }
    EXPECT_EQ(codes.size(), 12);
    for (const std::int64_t n : {std::int64_t{13}, std::int64_t{0}, std::int64_t{-1}, std::int64_t{1} << 40})
        EXPECT_FALSE(KeyboardShortcut::fromSpecialKey(SpecialKey::functionKey(n))) << n;
    EXPECT_EQ(specialKeyCodes().size(), 21);
}

TEST(SpecialKeyShortcut, OtherKeysShowTheirGlyphsAndPostTheCodesOfTheirNames)
{
    EXPECT_EQ(KeyboardShortcut::fromSpecialKey(SpecialKey::pageDown, Mods(3))->displayText(), "⌃⇧PAGEDOWN");
    EXPECT_EQ(KeyboardShortcut::fromSpecialKey(SpecialKey::arrowLeft), (KeyboardShortcut{123, "←", {}}));
    const std::pair<SpecialKey, const char*> named[] = {
        {SpecialKey::returnKey, "return"}, {SpecialKey::space, "space"}, {SpecialKey::tab, "tab"}};
    const char* const glyphs[] = {"⏎", "␣", "⇥"};
    for (int i = 0; i < 3; ++i) {
        const auto s = KeyboardShortcut::fromSpecialKey(named[i].first);
        EXPECT_EQ(s->key, QString::fromUtf8(glyphs[i]));
        EXPECT_EQ(s->keyCode, KeyboardShortcut::fromKeyName(named[i].second)->keyCode);
    }
}

TEST(SpecialKey, FunctionKeysAreEqualOnlyWithTheSameNumber)
{
    EXPECT_NE(SpecialKey::functionKey(5), SpecialKey::functionKey(6));
    EXPECT_NE(SpecialKey::functionKey(0), SpecialKey::arrowUp);
    const QSet<SpecialKey> keys{SpecialKey::tab, SpecialKey::tab, SpecialKey::functionKey(1),
                                SpecialKey::functionKey(2), SpecialKey::functionKey(1)};
    EXPECT_EQ(keys.size(), 3);
}
