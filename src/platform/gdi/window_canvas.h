// SPDX-License-Identifier: MIT
// Pixels of windows that draw themselves. The program draws its font samples through GetDC when
// they change, not in answer to WM_PAINT, so a display driver that shows such a window keeps its
// pixels: it attaches a cairo surface to the window, GetDC on that window draws into the surface
// with the same faces and glyph placement the printer uses, and the driver is told after each
// drawing call so it can put the new pixels on the screen. Windows without a surface draw
// nowhere, as every screen context does on the null display.
#pragma once

#include <cairo.h>

#include <memory>

#include "gdi/print_document.h"

namespace wydruki::platform {

using WindowDrawnHook = void (*)(HWND window);

// The surface is referenced until detached; `drawn` is called on the drawing thread.
void AttachWindowSurface(HWND window, cairo_surface_t* surface, WindowDrawnHook drawn);
void DetachWindowSurface(HWND window);

// Drawing calls for a device context of `window`, or nothing when it has no surface.
std::unique_ptr<PrintDocument> OpenWindowCanvas(HWND window);

}  // namespace wydruki::platform
