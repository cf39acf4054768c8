// The editor of a build without the window system: the host still gets the editor's
// size, but the window does not open.

#include "plugin/EditorFactory.h"
#include "plugin/QuanTessamire.h"
#include "plugin/vst/AEffEditor.h"

AEffEditor* createPluginEditor(QuanTessamire* plugin) { return new AEffEditor(plugin); }
