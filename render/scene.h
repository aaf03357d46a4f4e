// The fixed camera, the GL state and the drawing of one frame. Everything
// here needs the viewer's rendering context current on the calling thread.
#pragma once

class FileList;

// Fits the viewport and the 45-degree perspective to a client size.
void setupProjection(int width, int height);

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
