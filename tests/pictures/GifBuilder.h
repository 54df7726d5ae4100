#pragma once

#include <QImage>

#include <string>
#include <vector>

// Builds small GIF files for tests. The global colour table holds four
// colours: 0 black, 1 red, 2 green, 3 blue. Each frame is filled with one
// colour index.
struct GifFrame {
    int Left = 0;
    int Top = 0;
    int Width = 1;
    int Height = 1;
    int Color = 1;
};

std::string BuildGif(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames,
                     bool controlExtensions);

// A three-frame 20x10 animation with control extensions: a red 4x3 frame at
// (1, 2), a green 5x4 frame at (6, 3) and a blue 2x2 frame at (17, 7).
std::string ThreeFrameGif();

// An image of one colour encoded in a Qt-writable format ("PNG", "BMP", "JPG").
std::string EncodeImage(int width, int height, QRgb color, const char* format);
