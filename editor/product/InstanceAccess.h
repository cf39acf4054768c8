#pragma once

class QuanTessamire;

// The instance behind an editor's connection, for the layout functions that act on the
// instance itself (the preset menu). A connection without one (a layout built for a
// test) does not offer it.
class InstanceAccess {
public:
    virtual ~InstanceAccess() = default;
    [[nodiscard]] virtual QuanTessamire& instance() const = 0;
};
