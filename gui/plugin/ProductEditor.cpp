#include "gui/plugin/ProductEditor.h"

#include "gui/plugin/QuanTessamireView.h"

AEffEditor* makeProductEditor(QuanTessamire* plugin) { return new QuanTessamireView(plugin); }
