// The fixed camera, the GL state and the drawing of one frame. Everything
// here needs the viewer's rendering context current on the calling thread.
#pragma once

#include <cstdint>

class FileList;

// Fits the viewport and the 45-degree perspective to a client size.
void setupProjection(int width, int height);

// The side, in pixels, of the square a picture is fitted into, for a client
// area clientHeight pixels high: the square fills the same share of the
// height whatever the width. 0 for a height of 0 or less (minimised).
uint32_t pictureSquareSide(int clientHeight);

// The same for the client size the projection was last fitted to; 0 before
// the first.
uint32_t shownPictureSquareSide();

// Sets the GL state once for a new rendering context.
void setupRenderState();

// Clears the colour and depth buffers: a frame that shows nothing.
void clearFrame();

// Clears the frame, and the first time in a GL context also draws a black
// textured quad the way a picture is drawn, invisible on the black frame.
// The software renderer builds its drawing code for textured quads on
// first use; done on a frame that waits for a picture anyway, the first
// picture then shows that much sooner.
void clearFrameWarmingUp();

// Clears and draws the current entry of `list` (nothing when null); errors
// raised while the entry is opened pass on to the caller.
void renderScene(FileList* list);
