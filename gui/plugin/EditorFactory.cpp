#include "plugin/EditorFactory.h"

#include "gui/plugin/QuanTessamireView.h"

AEffEditor* createPluginEditor(QuanTessamire* plugin) { return new QuanTessamireView(plugin); }
