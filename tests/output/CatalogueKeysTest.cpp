#include "model/KeyTables.h"
#include "model/RadiologyTool.h"
#include "platform/keys/LinuxKeyCodes.h"

#include <gtest/gtest.h>

using namespace velmor;

// Every shortcut Velmor can build from its own tables must be typeable on Linux.
TEST(CatalogueKeys, EveryBuiltInShortcutAndTableKeyHasALinuxKey)
{
    int checked = 0;
    for (const RadiologyTool& tool : RadiologyTool::defaultTools()) {
        QList<KeyboardShortcut> shortcuts = tool.toggleShortcuts.value_or(QList<KeyboardShortcut>{});
        if (tool.shortcut)
            shortcuts << *tool.shortcut;
        for (const KeyboardShortcut& shortcut : shortcuts) {
            EXPECT_TRUE(keys::linuxKeyCode(shortcut.keyCode)) << tool.name.toStdString();
            ++checked;
        }
    }
    EXPECT_EQ(checked, 69); // 67 tools, the toggle adds two steps

    for (auto it = keyCodesByName().begin(); it != keyCodesByName().end(); ++it)
        EXPECT_TRUE(keys::linuxKeyCode(it.value())) << it.key().toStdString();
    for (const std::uint16_t code : specialKeyCodes())
        EXPECT_TRUE(keys::linuxKeyCode(code)) << code;
}
