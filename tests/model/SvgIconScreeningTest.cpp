#include "model/SvgIconImage.h"
#include "support/PngBomb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

QByteArray svg(const QByteArray& body, const QByteArray& prolog = {})
{
    return prolog + R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )"
        + R"(viewBox="0 0 10 10">)" + body + "</svg>";
}

const QByteArray filled = R"(<rect width="10" height="10" fill="red"/>)";

// `levels` levels of 100 <use> each over one rectangle: 100^levels rectangles drawn.
QByteArray useLevels(int levels)
{
    QByteArray defs = R"(<rect id="l0" width="1" height="1"/>)";
    for (int level = 1; level <= levels; ++level)
        defs += "<g id=\"l" + QByteArray::number(level) + "\">"
            + ("<use xlink:href=\"#l" + QByteArray::number(level - 1) + "\"/>").repeated(100) + "</g>";
    return svg("<defs>" + defs + "</defs><use xlink:href=\"#l" + QByteArray::number(levels) + "\"/>");
}

QByteArray embedded(const QByteArray& mediaType, const QByteArray& bytes)
{
    return svg(R"(<image width="10" height="10" xlink:href="data:)" + mediaType + ";base64," + bytes.toBase64()
               + R"("/>)");
}

// Runs the renderer under a time limit; a render stuck opening the pipe is let go by
// opening its other end, so the test fails instead of hanging.
std::optional<QImage> renderWithin(const QByteArray& document, const QString& pipe)
{
    std::packaged_task<std::optional<QImage>()> task([document] { return renderSvgIcon(document); });
    std::future<std::optional<QImage>> result = task.get_future();
    std::thread thread(std::move(task));
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the renderer opened the pipe: " << document.left(120).toStdString();
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    thread.join();
    return result.get();
}

// Each <use> draws what it names again: a few kilobytes of nested uses would be hours of
// drawing. The expanded cost is bounded, and counting it takes no drawing at all.
TEST(SvgIconScreening, DrawingWorkIsBoundedThroughUsesCyclesDashesAndTextAreasAndCheckingIsQuick)
{
    for (const int levels : {3, 4}) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(renderSvgIcon(useLevels(levels))) << levels;
        EXPECT_LT(timer.elapsed(), 2000) << levels;
    }
    // Two levels, 10,000 rectangles, is still an icon's worth of drawing.
    const auto twoLevels = renderSvgIcon(useLevels(2));
    ASSERT_TRUE(twoLevels);

    // Ten thousand elements sharing one id, drawn by each of many uses: refused, and the
    // check stays linear in the document.
    const QByteArray sharedId = svg(QByteArray(R"(<rect id="x"/>)").repeated(5000)
                                    + QByteArray(R"(<use xlink:href="#x"/>)").repeated(4000));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(renderSvgIcon(sharedId));
    EXPECT_LT(timer.elapsed(), 2000);

    for (const QByteArray& document : {
             svg(R"(<g id="a"><use xlink:href="#a"/></g>)"),
             svg(R"(<g id="a"><use xlink:href="#b"/></g><g id="b"><use xlink:href="#a"/></g>)"),
             QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink")"
                        R"( id="root"><use xlink:href="#root"/></svg>)"),
         })
        EXPECT_FALSE(renderSvgIcon(document)) << document.toStdString();

    // Dashes cost by the stroke's drawn length and text areas by their lines, not by the
    // document's size; neither is inherited into an icon unseen.
    for (const QByteArray& document : {
             svg(R"(<path d="M-1e6 0L1e6 9" stroke="red" stroke-dasharray="0.01"/>)"),
             svg(R"(<g stroke="red" style="stroke-DashArray: 0.01"><path d="M-1e6 0L1e6 9"/></g>)"),
             svg(R"(<style>path { stroke-dasharray: 0.01 }</style><path d="M-1e6 0L1e6 9" stroke="red"/>)"),
             svg(R"(<textArea width="1">)" + QByteArray("W ").repeated(100) + "</textArea>"),
             // Each character draws a glyph at whatever size the text asks for.
             svg((R"(<text font-size="1e4">)" + QByteArray("W").repeated(200) + "</text>").repeated(1000)),
         })
        EXPECT_FALSE(renderSvgIcon(document)) << document.toStdString();

    // A label is an icon's worth of text.
    EXPECT_TRUE(renderSvgIcon(svg(R"(<text y="9" font-size="4">CT Window</text>)")));

    // References to ids that are not there and uses of a plain shape still draw.
    const auto used = renderSvgIcon(svg(R"(<defs><rect id="r" width="10" height="10" fill="red"/></defs>)"
                                        R"(<use xlink:href="#r"/><use xlink:href="#missing"/>)"));
    ASSERT_TRUE(used);
    EXPECT_EQ(used->pixelColor(64, 64), QColor(Qt::red));
}

// An embedded SVG document would be parsed without this screening, and could name any
// file; style sheets, processing instructions and entities can name files too. A pipe
// stands in for the file: opening it would block.
TEST(SvgIconScreening, NothingInADocumentMakesTheRendererOpenAFile)
{
    const QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QByteArray path = pipe.toUtf8();
    const QByteArray inner = svg(R"(<image width="10" height="10" xlink:href=")" + path + R"("/>)");

    for (const QByteArray& document : {
             embedded("image/svg+xml", inner),
             embedded("image/png", inner),
             embedded("image/png", "\xFF\xD8\xFF" + inner),
             svg(filled, R"(<?xml-stylesheet type="text/css" href=")" + path + R"("?>)"),
             svg("<text>&e;</text>", R"(<!DOCTYPE svg [<!ENTITY e SYSTEM ")" + path + R"(">]>)"),
             svg(R"(<style>@import url(")" + path + R"(");</style>)" + filled),
             svg(R"(<style>@IMPORT ")" + path + R"(";</style>)" + filled),
             svg(R"x(<style>rect { fill: u\72l()x" + path + R"x() }</style>)x" + filled),
             svg(R"x(<rect width="10" height="10" style="fill: url('file://)x" + path + R"x(')"/>)x"),
             svg(R"x(<rect width="10" height="10" fill="URL()x" + path + R"x(#g)"/>)x"),
             svg(R"(<use xlink:href=")" + path + R"(#x"/>)"),
             svg(R"(<use href="file://)" + path + R"("/>)"),
             // The renderer takes anything but inline data as a file name.
             svg(R"(<image width="10" height="10" xlink:href="#x"/>)"),
             svg(R"(<image width="10" height="10" xlink:href=")" + path + R"("/>)"),
             // SVG fonts draw a path per character: one more multiplier.
             svg(R"(<font><glyph unicode="a" d="M0 0h9v9z"/></font><text font-family="x">aaaa</text>)"),
         })
        EXPECT_FALSE(renderWithin(document, pipe)) << document.left(160).toStdString();

    // PNG data draws; images beyond the pixel budget do not.
    QImage red(2, 2, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const auto drawn = renderWithin(embedded("image/png", test::pngOf(red)), pipe);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->pixelColor(64, 64), QColor(Qt::red));
    QImage huge(4097, 4096, QImage::Format_Mono);
    huge.fill(0);
    EXPECT_FALSE(renderWithin(embedded("image/png", test::pngOf(huge)), pipe));
    EXPECT_TRUE(renderWithin(svg(R"x(<rect width="10" height="10" fill="url(#g)"/>)x"
                                 R"(<linearGradient id="g"><stop offset="0" stop-color="red"/></linearGradient>)"),
                             pipe));
}

} // namespace
