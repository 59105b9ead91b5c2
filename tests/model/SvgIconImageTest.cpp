#include "model/SvgIconImage.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

QByteArray svg(const QByteArray& attributes, const QByteArray& body)
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )" + attributes
        + ">" + body + "</svg>";
}

QByteArray redSquare(const QByteArray& attributes = R"(width="16" height="16")")
{
    return svg(attributes, R"(<rect x="-100000" y="-100000" width="200000" height="200000" fill="#FF0000"/>)");
}

QByteArray nestedGroups(int depth)
{
    return svg(R"(width="4" height="4")", QByteArray("<g>").repeated(depth - 1) + QByteArray("</g>").repeated(depth - 1));
}

QByteArray redPng()
{
    QImage pixel(4, 4, QImage::Format_ARGB32);
    pixel.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    pixel.save(&buffer, "PNG");
    return bytes;
}

QColor centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

} // namespace

TEST(SvgIconImage, RendersAtFixedLongestSideKeepingAspectRatio)
{
    const auto wide = renderSvgIcon(redSquare(R"(width="200" height="100")"));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->size(), QSize(128, 64));
    EXPECT_EQ(centre(*wide), QColor(Qt::red));

    const auto tall = renderSvgIcon(redSquare(R"(viewBox="0 0 10 40")"));
    ASSERT_TRUE(tall);
    EXPECT_EQ(tall->size(), QSize(32, 128));

    // A declared size of a billion pixels still renders small.
    const auto huge = renderSvgIcon(redSquare(R"(width="1000000000" height="1000000000")"));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->size(), QSize(128, 128));

    // Extreme ratios keep at least one pixel on the short side.
    const auto sliver = renderSvgIcon(redSquare(R"(width="100000" height="1")"));
    ASSERT_TRUE(sliver);
    EXPECT_EQ(sliver->size(), QSize(128, 1));
}

TEST(SvgIconImage, BrokenOrHostileDocumentsGiveNoImage)
{
    const QByteArray laughs = R"(<?xml version="1.0"?>
<!DOCTYPE svg [
<!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">
<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">
<!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">
<!ENTITY f "&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;">
<!ENTITY g "&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;">
<!ENTITY h "&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;">
]>
<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><text>&h;</text></svg>)";
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(static_cast<char>(i * 37));

    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"binary noise", noise},
        {"html", "<html><body/></html>"},
        {"truncated", redSquare().chopped(7)},
        {"entity expansion", laughs},
        {"too deep", nestedGroups(SvgIconLimits::maxDepth + 1)},
        {"too many elements",
         svg(R"(width="4" height="4")", QByteArray("<rect/>").repeated(SvgIconLimits::maxElements))},
    };
    for (const auto& [label, document] : cases)
        EXPECT_FALSE(renderSvgIcon(document)) << label;

    // Right at the limits it still renders.
    EXPECT_TRUE(renderSvgIcon(nestedGroups(SvgIconLimits::maxDepth)));
    EXPECT_TRUE(renderSvgIcon(
        svg(R"(width="4" height="4")", QByteArray("<rect/>").repeated(SvgIconLimits::maxElements - 1))));
}

TEST(SvgIconImage, DrawsInlineImagesButNeverOpensOtherFiles)
{
    QTemporaryDir dir;
    const QString pngPath = dir.filePath("secret.png");
    test::writeFile(pngPath, redPng());
    const QByteArray image = R"(<image width="16" height="16" xlink:href=")";

    const auto inlined = renderSvgIcon(svg(R"(width="16" height="16")", image + "data:image/png;base64,"
                                                                             + redPng().toBase64() + R"("/>)"));
    ASSERT_TRUE(inlined);
    EXPECT_EQ(centre(*inlined), QColor(Qt::red));

    for (const QString& href : {pngPath, "file://" + pngPath, QStringLiteral("secret.png")})
        EXPECT_FALSE(renderSvgIcon(svg(R"(width="16" height="16")", image + href.toUtf8() + R"("/>)")))
            << href.toStdString();
}

TEST(SvgIconImage, ReadsOnlyRegularFilesWithinTheSizeLimit)
{
    QTemporaryDir dir;
    const QByteArray document = redSquare();
    const auto padded = [&](qint64 size) {
        return document + QByteArray(size - document.size(), ' ');
    };
    test::writeFile(dir.filePath("limit.svg"), padded(SvgIconLimits::maxFileBytes));
    test::writeFile(dir.filePath("over.svg"), padded(SvgIconLimits::maxFileBytes + 1));
    EXPECT_TRUE(loadSvgIconFile(dir.filePath("limit.svg")));
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("over.svg")));
    EXPECT_FALSE(renderSvgIcon(padded(SvgIconLimits::maxFileBytes + 1)));

    // A pipe would block a reader forever; a folder or a missing file is simply no icon.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.svg")).constData(), 0600), 0);
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("pipe.svg")));
    QDir(dir.path()).mkdir("folder.svg");
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("folder.svg")));
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("missing.svg")));
}
