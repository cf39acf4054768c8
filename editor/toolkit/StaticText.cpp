#include "editor/toolkit/StaticText.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"

namespace QN {

int StaticText::add(const std::string& text, float x, float y, const float* colour)
{
    Entry entry{text, x, y, colour};
    entry.vertexCount = 4 * static_cast<int>(text.size());
    entries_.push_back(std::move(entry));
    dirty_.store(true);
    return static_cast<int>(entries_.size()) - 1;
}

void StaticText::setVisible(int entry, bool visible)
{
    if (entry >= 0 && static_cast<std::size_t>(entry) < entries_.size()) {
        entries_[static_cast<std::size_t>(entry)].visible = visible;
    }
}

void StaticText::build()
{
    dirty_.store(false);
    int first = 0;
    for (Entry& entry : entries_) {
        entry.firstVertex = first;
        first += entry.vertexCount;
    }
    vertices_.assign(static_cast<std::size_t>(first) * 5, 0.0f);
    const Font* font = manager_.mainFont();
    if (!font) return;
    for (const Entry& entry : entries_) {
        font->buildTextVertices(entry.text, entry.x, entry.y, vertices_.data() + entry.firstVertex * 5);
    }
}

void StaticText::drawOverlay()
{
    const Font* font = manager_.mainFont();
    if (!font) return;
    if (dirty_.load()) build();
    if (vertices_.empty()) return;
    glBindTexture(GL_TEXTURE_2D, font->texture());
    glEnable(GL_TEXTURE_2D);
    glAlphaFunc(GL_GREATER, 0.0f);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glInterleavedArrays(GL_T2F_V3F, 0, vertices_.data());
    for (const Entry& entry : entries_) {
        if (!entry.visible || entry.vertexCount == 0) continue;
        glColor4fv(entry.colour);
        glDrawArrays(GL_QUADS, entry.firstVertex, entry.vertexCount);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace QN
