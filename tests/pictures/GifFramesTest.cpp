#include "GifBuilder.h"
#include "PictureContainer.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using namespace quorvel;

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;

void LoadBytes(THTMLPicture& picture, const std::string& bytes) {
    std::istringstream stream(bytes);
    picture.LoadFromStream(&stream);
}

// Loads bytes and selects a frame, accepting a decoding error as the answer.
void LoadAnyway(THTMLPicture& picture, const std::string& bytes, int frame) {
    try {
        LoadBytes(picture, bytes);
    } catch (const EPictureError&) {
    }
    try {
        picture.SetFrame(frame);
    } catch (const EPictureError&) {
    }
}

} // namespace

TEST(GifFrames, ShortDataIsNeverGif) {
    THTMLPicture picture;
    std::istringstream stream("GIF8");
    EXPECT_THROW(picture.LoadFromStream(&stream), EPictureError);
    EXPECT_FALSE(picture.IsGifData());
    EXPECT_EQ(picture.CountFrames(), -1);
}

TEST(GifFrames, SelectingAFrameShowsItAndReportsItsOffset) {
    THTMLPicture picture;
    LoadBytes(picture, ThreeFrameGif());
    EXPECT_TRUE(picture.IsGifData());
    EXPECT_EQ(picture.CountFrames(), 3);
    EXPECT_EQ(picture.LogicalScreenWidth(), 20);
    EXPECT_EQ(picture.LogicalScreenHeight(), 10);
    EXPECT_EQ(picture.DisplayWidth(), 20);
    EXPECT_EQ(picture.DisplayHeight(), 10);

    struct Expected {
        int frame, left, top, width, height;
        QRgb color;
    };
    for (const Expected& e :
         {Expected{1, 1, 2, 4, 3, kRed}, Expected{2, 6, 3, 5, 4, kGreen}, Expected{3, 17, 7, 2, 2, kBlue}}) {
        SCOPED_TRACE(e.frame);
        int frameChanges = 0;
        picture.OnFrameChange = [&](THTMLPicture* sender) {
            EXPECT_EQ(sender, &picture);
            ++frameChanges;
        };
        picture.SetFrame(e.frame);
        EXPECT_EQ(frameChanges, 1);
        EXPECT_EQ(picture.FrameXPos(), e.left);
        EXPECT_EQ(picture.FrameYPos(), e.top);
        ASSERT_EQ(picture.Image().size(), QSize(e.width, e.height));
        EXPECT_EQ(picture.Image().pixel(0, 0), e.color);
        EXPECT_EQ(picture.Image().pixel(e.width - 1, e.height - 1), e.color);
        // The layout box stays the whole animation.
        EXPECT_EQ(picture.DisplayWidth(), 20);
        // The kept bytes never change with the frame shown.
        EXPECT_EQ(picture.ImageData().size(), ThreeFrameGif().size());
    }
}

TEST(GifFrames, FramesPastTheLastRaiseAndDrawNothing) {
    THTMLPicture picture;
    LoadBytes(picture, ThreeFrameGif());
    EXPECT_THROW(picture.SetFrame(4), EPictureError);
    EXPECT_EQ(picture.Frame(), 4);
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_FALSE(picture.Empty());
    picture.SetFrame(2);
    EXPECT_EQ(picture.Image().pixel(0, 0), kGreen);
}

TEST(GifFrames, FramesBelowOneShowTheFirst) {
    THTMLPicture picture;
    LoadBytes(picture, ThreeFrameGif());
    picture.SetFrame(0);
    EXPECT_EQ(picture.FrameXPos(), 0);
    EXPECT_EQ(picture.Image().size(), QSize(20, 10));
    EXPECT_EQ(picture.Image().pixel(1, 2), kRed);
}

TEST(GifFrames, WithoutControlExtensionsTheWholeGifIsDecoded) {
    THTMLPicture picture;
    LoadBytes(picture, BuildGif(9, 4, {{0, 0, 9, 4, 3}, {2, 1, 3, 2, 1}}, false));
    EXPECT_EQ(picture.CountFrames(), 0);
    EXPECT_EQ(picture.LogicalScreenWidth(), 0);
    EXPECT_EQ(picture.LogicalScreenHeight(), 0);
    EXPECT_EQ(picture.DisplayWidth(), 9);
    EXPECT_EQ(picture.DisplayHeight(), 4);
    EXPECT_EQ(picture.Image().pixel(4, 2), kBlue);
    picture.SetFrame(2);
    EXPECT_EQ(picture.Image().pixel(4, 2), kBlue) << "frames are only selectable by their control extension";
}

TEST(GifFrames, FrameCountFollowsTheLoadedData) {
    THTMLPicture picture;
    LoadBytes(picture, BuildGif(4, 4, {{0, 0, 4, 4, 1}}, true));
    EXPECT_EQ(picture.CountFrames(), 1);
    // A longer animation loaded next must be counted afresh, or its frames
    // past the first could not be selected.
    LoadBytes(picture, ThreeFrameGif());
    EXPECT_EQ(picture.CountFrames(), 3);
    picture.SetFrame(3);
    EXPECT_EQ(picture.Image().pixel(0, 0), kBlue);

    THTMLPicture other;
    LoadBytes(other, BuildGif(4, 4, {{0, 0, 4, 4, 1}}, true));
    picture.Assign(&other);
    EXPECT_EQ(picture.CountFrames(), 1);
}

TEST(GifFrames, MalformedDataNeverCrashes) {
    const std::string gif = ThreeFrameGif();
    // Every truncation, with every frame selected.
    for (std::size_t size = 0; size <= gif.size(); ++size) {
        for (int frame = 1; frame <= 4; ++frame) {
            THTMLPicture picture;
            LoadAnyway(picture, gif.substr(0, size), frame);
            EXPECT_LE(picture.CountFrames(), 3);
        }
    }
    // A marker right at the end: the descriptor is cut off after its left edge.
    {
        THTMLPicture picture;
        LoadAnyway(picture,
                   gif.substr(0, 13 + 12) + std::string("\x21\xF9\x04\x00\x00\x00\x00\x00\x2C\x05", 10), 1);
        EXPECT_EQ(picture.CountFrames(), 1);
        EXPECT_EQ(picture.FrameYPos(), 0);
    }
    // A logical screen far too large to allocate is refused, not attempted.
    {
        std::string huge = gif;
        huge[6] = huge[7] = huge[8] = huge[9] = '\xFF';
        THTMLPicture picture;
        EXPECT_THROW(LoadBytes(picture, huge), EPictureError);
        EXPECT_EQ(picture.LogicalScreenWidth(), 65535);
    }
    // Corrupted bytes and bogus block sizes.
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        std::string bad = gif;
        for (int n = 0; n < 3; ++n)
            bad[random() % bad.size()] = static_cast<char>(random() & 0xFF);
        THTMLPicture picture;
        LoadAnyway(picture, bad, 1 + static_cast<int>(random() % 3));
    }
}
