// Every character the windows show has a font that draws it: the texts written
// in the sources, the bundled files' texts, and the catalogue's and templates' names.

#include "model/Device.h"
#include "model/ProfileTemplates.h"
#include "model/RadiologyTool.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRawFont>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace velmor::test {
namespace {

// Where each character was found, for the failure message.
using Sightings = std::map<char32_t, QString>;

void collect(const QString& text, const QString& where, Sightings& found)
{
    for (const char32_t c : text.toUcs4()) {
        // ASCII is in every font; joiners and variation selectors draw nothing themselves.
        if (c < 0x80 || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F))
            continue;
        found.emplace(c, where);
    }
}

void collectJson(const QJsonValue& value, const QString& where, Sightings& found)
{
    if (value.isString())
        collect(value.toString(), where, found);
    else if (value.isArray())
        for (const QJsonValue& item : value.toArray())
            collectJson(item, where, found);
    else if (value.isObject())
        for (const QJsonValue& item : value.toObject())
            collectJson(item, where, found);
}

QString sourceRoot() { return QDir(dataPath(QStringLiteral("../.."))).canonicalPath(); }

// The string literals of the windows' and the model's sources, and the bundled JSON files.
Sightings shownTexts()
{
    Sightings found;
    const QString root = sourceRoot();
    static const QRegularExpression literal(QString::fromUtf8(R"re("((?:[^"\\\n]|\\.)*)")re"));
    for (const char* folder : {"src/ui", "src/app", "src/model"}) {
        QDirIterator files(root + '/' + QLatin1String(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QString text = QString::fromUtf8(readFile(path));
            for (auto match = literal.globalMatch(text); match.hasNext();)
                collect(match.next().captured(1), QDir(root).relativeFilePath(path), found);
        }
    }
    QDirIterator json(root + QStringLiteral("/resources"), {QStringLiteral("*.json")}, QDir::Files,
                      QDirIterator::Subdirectories);
    while (json.hasNext()) {
        const QString path = json.next();
        collectJson(QJsonDocument::fromJson(readFile(path)).object(), QDir(root).relativeFilePath(path), found);
    }
    for (const Device& device : Device::builtInTemplates()) {
        collect(device.name, QStringLiteral("template ") + device.id, found);
        for (const DeviceButton& button : device.buttons)
            collect(button.displayLabel, QStringLiteral("template ") + device.id, found);
    }
    for (const RadiologyTool& tool : RadiologyTool::defaultTools())
        collect(tool.name, QStringLiteral("catalogue"), found);
    return found;
}

// The fonts that fontconfig offers the application's texts, as Qt sees them;
// the icon font draws symbols, never text (and claims private-use characters).
class Fonts {
public:
    Fonts()
    {
        for (const QString& family : QFontDatabase::families())
            if (family != QStringLiteral("Material Icons"))
                raw_.push_back(QRawFont::fromFont(QFont(family)));
    }
    bool draws(char32_t c) const
    {
        return std::any_of(raw_.cbegin(), raw_.cend(), [c](const QRawFont& font) { return font.isValid() && font.supportsCharacter(c); });
    }
    size_t count() const { return raw_.size(); }

private:
    std::vector<QRawFont> raw_;
};

TEST(WindowGlyphsTest, EveryCharacterTheWindowsShowHasAFontThatDrawsIt)
{
    const Fonts fonts;
    ASSERT_GT(fonts.count(), 0u) << "no fonts found under this platform";
    EXPECT_FALSE(fonts.draws(U'\U0010FFFD')) << "the check can fail: no font draws a private-use character";
    EXPECT_TRUE(fonts.draws(U'A'));

    const Sightings texts = shownTexts();
    for (const char32_t known : {U'…', U'⌘', U'🎮', U'⭐', U'⦿'})
        EXPECT_TRUE(texts.count(known)) << "the collection missed U+" << std::hex << int(known);
    std::set<char32_t> missing;
    for (const auto& [c, where] : texts)
        if (!fonts.draws(c)) {
            missing.insert(c);
            ADD_FAILURE() << "no font draws U+" << QString::number(c, 16).toUpper().toStdString() << " ("
                          << QString::fromUcs4(&c, 1).toStdString() << ") of " << where.toStdString()
                          << "; scripts/bootstrap installs the fonts";
        }
    EXPECT_TRUE(missing.empty());
}

} // namespace
} // namespace velmor::test
