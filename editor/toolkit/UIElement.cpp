#include "editor/toolkit/UIElement.h"

#include "editor/toolkit/Group.h"

namespace QN {

Box UIElement::absoluteBounds()
{
    Box box;
    getBounds(box);
    for (Group* group = parent_; group; group = group->parent()) {
        box = box.movedBy(group->x(), group->y(), group->z());
    }
    return box;
}

}  // namespace QN
