#include "editor/product/ProductEditor.h"

#include "editor/product/QuanTessamireView.h"

AEffEditor* makeProductEditor(QuanTessamire* plugin) { return new QuanTessamireView(plugin); }
