#pragma once
// The flat shapes the editor's panels (preferences, console) are drawn from, in the current
// colour. Called on: render thread.

#include "editor/toolkit/Box.h"
#include "editor/toolkit/GlHeaders.h"

namespace PanelShapes {

inline void fill(const QN::Box& box)
{
    glBegin(GL_QUADS);
    glVertex2f(box.minX, box.minY), glVertex2f(box.maxX, box.minY);
    glVertex2f(box.maxX, box.maxY), glVertex2f(box.minX, box.maxY);
    glEnd();
}

// Half a pixel inside the box, so that the one-pixel line lands on whole pixels.
inline void outline(const QN::Box& box)
{
    glBegin(GL_LINE_LOOP);
    glVertex2f(box.minX + 0.5f, box.minY + 0.5f), glVertex2f(box.maxX - 0.5f, box.minY + 0.5f);
    glVertex2f(box.maxX - 0.5f, box.maxY - 0.5f), glVertex2f(box.minX + 0.5f, box.maxY - 0.5f);
    glEnd();
}

}  // namespace PanelShapes
