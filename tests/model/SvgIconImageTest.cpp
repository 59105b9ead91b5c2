#include "model/SvgIconImage.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace velmor;

namespace {
const QByteArray filled = R"(<rect x="-1e5" y="-1e5" width="2e5" height="2e5" fill="red"/>)";

QByteArray svg(const QByteArray& size, const QByteArray& body = filled)
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )" + size + ">" + body
        + "</svg>";
}
} // namespace

TEST(SvgIconImage, RendersAtFixedLongestSideWhateverTheDeclaredSize)
{
    const auto wide = renderSvgIcon(svg(R"(width="200" height="100")"));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->size(), QSize(128, 64));
    EXPECT_EQ(wide->pixelColor(64, 32), QColor(Qt::red));
    EXPECT_EQ(renderSvgIcon(svg(R"(viewBox="0 0 10 40")"))->size(), QSize(32, 128));
    EXPECT_EQ(renderSvgIcon(svg(R"(width="1e9" height="1e9")"))->size(), QSize(128, 128));
    EXPECT_EQ(renderSvgIcon(svg(R"(width="100000" height="1")"))->size(), QSize(128, 1));
}

TEST(SvgIconImage, BrokenHostileOversizedOrIrregularInputGivesNoImage)
{
    const QByteArray sized = R"(width="4" height="4")";
    QByteArray entities = "<!ENTITY a0 \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    for (int i = 1; i < 9; ++i)
        entities += QString("<!ENTITY a%1 \"%2\">").arg(i).arg(QString("&a%1;").arg(i - 1).repeated(10)).toUtf8();
    const QByteArray laughs = "<!DOCTYPE svg [" + entities + "]>" + svg(sized, "<text>&a8;</text>");
    const auto nested = [&](int depth) {
        return svg(sized, QByteArray("<g>").repeated(depth - 1) + QByteArray("</g>").repeated(depth - 1));
    };
    const auto elements = [&](int count) { return svg(sized, QByteArray("<rect/>").repeated(count - 1)); };

    QTemporaryDir dir;
    QImage png(4, 4, QImage::Format_ARGB32);
    png.fill(Qt::red);
    png.save(dir.filePath("secret.png"));

    for (const QByteArray& document :
         {QByteArray(), QByteArray("\x89PNG\r\n\x1a\n\0\0garbage", 16), QByteArray("<html/>"),
          svg(sized).chopped(7), laughs,
          nested(SvgIconLimits::maxDepth + 1), elements(SvgIconLimits::maxElements + 1),
          // The renderer would open a local file, which might be a pipe that never ends.
          svg(sized, R"(<image width="9" height="9" xlink:href=")" + dir.filePath("secret.png").toUtf8() + R"("/>)")})
        EXPECT_FALSE(renderSvgIcon(document)) << document.left(80).toStdString();

    EXPECT_TRUE(renderSvgIcon(nested(SvgIconLimits::maxDepth)));
    EXPECT_TRUE(renderSvgIcon(elements(SvgIconLimits::maxElements)));

    // Files: only regular ones within the size limit.
    test::writeFile(dir.filePath("limit.svg"), svg(sized).leftJustified(SvgIconLimits::maxFileBytes, ' '));
    test::writeFile(dir.filePath("over.svg"), svg(sized).leftJustified(SvgIconLimits::maxFileBytes + 1, ' '));
    EXPECT_TRUE(loadSvgIconFile(dir.filePath("limit.svg")));
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("over.svg")));

    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.svg")).constData(), 0600), 0);
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("pipe.svg"))); // would block forever if opened
    QDir(dir.path()).mkdir("folder.svg");
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("folder.svg")));
}
