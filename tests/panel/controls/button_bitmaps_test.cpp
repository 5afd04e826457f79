// The compiled-in bitmaps: label lettering sized to its box, the slider
// thumb, the step-button triangles, and the program icon.

#include "ControlsTestApp.h"
#include "controls/Resources.h"

namespace {

int Count(const QImage& image, int row, const QColor& colour)
{
    int n = 0;
    for (int x = 0; x < image.width(); ++x) {
        n += image.pixelColor(x, row) == colour;
    }
    return n;
}

TEST(Bitmaps, LabelsThumbTrianglesAndIcon)
{
    const std::pair<int, QSize> labels[] = {
        {149, {122, 34}}, {150, {66, 77}}, {151, {100, 40}}, {152, {100, 35}}, {153, {78, 32}}, {154, {100, 36}},
        {155, {66, 34}},  {156, {78, 32}}, {157, {80, 34}},  {158, {80, 32}},  {160, {20, 29}},
    };
    for (const auto& [id, size] : labels) {
        const QImage image = LoadBitmapResource(id).toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(image.size(), size) << id;
        int ink = 0;
        for (int y = 0; y < image.height(); ++y) {
            ink += Count(image, y, QColor(128, 128, 255));
        }
        EXPECT_GT(ink, 20) << id;
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black)) << id;
    }
    EXPECT_EQ(LoadBitmapResource(IDB_THUMB).size(), QSize(20, 10));
    EXPECT_FALSE(LoadIconResource(IDR_MAINFRAME).isNull());
    // The step triangles: grey on dark grey, nothing else (no white).
    for (int id : {IDB_TRIANGLE_UP, IDB_TRIANGLE_DOWN}) {
        const QImage image = LoadBitmapResource(id).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), QSize(20, 18)) << id;
        std::vector<int> widths;  // of the grey triangle, row by row
        for (int y = 0; y < 18; ++y) {
            const int grey = Count(image, y, QColor(128, 128, 128));
            EXPECT_EQ(grey + Count(image, y, QColor(57, 57, 57)), 20) << id << " row " << y;
            if (grey > 0) {
                widths.push_back(grey);
            }
        }
        ASSERT_GE(widths.size(), 2u) << id;
        EXPECT_EQ(widths.front() < widths.back(), id == IDB_TRIANGLE_UP) << id;
    }
}

}  // namespace
