#include "editor/product/TKDropDown.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"

void TKDropDown::draw()
{
    QN::Font* font = manager().textFieldFont();
    const int item = currentItem();
    if (!isVisible() || !font || item < 0) return;
    const std::string& text = items()[static_cast<std::size_t>(item)];
    glColor3f(0.1f, 0.1f, 0.1f);
    font->drawText(text, rect().centre().x - font->measureText(text) / 2, rect().minY + 2);
}

void TKDropDown::drawTop()
{
    const int highlighted = this->highlighted();
    if (!isVisible() || highlighted < 0) return;
    const Menu m = menu();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.6f, 0.6f, 0.6f, 0.95f);
    glBegin(GL_QUADS);
    glVertex2f(m.parentLeft, m.parentBottom);
    glVertex2f(m.parentLeft + m.width, m.parentBottom);
    glVertex2f(m.parentLeft + m.width, m.parentBottom + m.height);
    glVertex2f(m.parentLeft, m.parentBottom + m.height);
    glEnd();
    glDisable(GL_BLEND);
    QN::Font* font = manager().textFieldFont();
    if (!font) return;
    const int n = static_cast<int>(items().size());
    for (int i = 0; i < n; ++i) {
        const std::string& text = items()[static_cast<std::size_t>(i)];
        const float grey = i == highlighted ? 1.0f : 0.1f;
        glColor3f(grey, grey, grey);
        font->drawText(text, m.parentLeft + (m.width - font->measureText(text)) / 2,
                       m.parentBottom + 1 + static_cast<float>(n - i - 1) * m.itemHeight);
    }
}

void TKDropDown::drawStatic(QN::Font&)
{
    const QN::Box box = absoluteBounds();
    glColor3f(0.8f, 0.8f, 0.85f);
    glBegin(GL_QUADS);
    glVertex2f(box.minX, box.minY);
    glVertex2f(box.maxX, box.minY);
    glVertex2f(box.maxX, box.maxY);
    glVertex2f(box.minX, box.maxY);
    glEnd();
}
