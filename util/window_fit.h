// The arithmetic of a window's size on a monitor: lengths given at 96 dots
// per inch scaled to the monitor's, and a client area shrunk, shape kept,
// until the window around it fits the space it may take.
#pragma once

// A width and a height in pixels.
struct PixelSize {
    int width;
    int height;
};

// `length` at 96 dots per inch as it measures at `dpi`, rounded to the
// nearest pixel.
int scaledToDpi(int length, unsigned dpi);

// The client area for a wished one: `wished` itself when it, plus what the
// frame adds (`frame`), fits within `available`; otherwise the largest area
// of the same shape that does, at least 1 x 1.
PixelSize fitClientArea(PixelSize wished, PixelSize frame, PixelSize available);
