// The program's one rectangle, point and size: design layouts, screen areas and monitors all speak them.
#pragma once

struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

struct TPoint {
    int Left = 0;
    int Top = 0;
};

struct TSize {
    int Width = 0;
    int Height = 0;
};
