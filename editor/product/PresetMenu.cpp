#include "editor/product/PresetMenu.h"

#include "editor/product/PanelShapes.h"
#include "editor/toolkit/Font.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/TextElision.h"

PresetMenu::PresetMenu(QN::Manager& manager, const QN::Box& rect, Text currentName, Open open)
    : UIElement(manager), rect_(rect), currentName_(std::move(currentName)), open_(std::move(open))
{
}

// The drop-down's light box, in the static layer.
void PresetMenu::drawStatic(QN::Font&)
{
    if (!isVisible()) return;
    glColor3f(0.8f, 0.8f, 0.85f);
    PanelShapes::fill(absoluteBounds());
}

void PresetMenu::draw()
{
    QN::Font* font = manager().textFieldFont();
    if (!isVisible() || !font) return;
    const std::string text = QN::elideMiddle(*font, currentName_(), rect_.width() - 4);
    glColor3f(0.1f, 0.1f, 0.1f);
    font->drawText(text, rect_.centre().x - font->measureText(text) / 2, rect_.minY + 2);
}

// As a button: the release opens the panel wherever the pointer is then.
void PresetMenu::mouseUp(QN::Point, int)
{
    if (open_) open_(absoluteBounds());
}
