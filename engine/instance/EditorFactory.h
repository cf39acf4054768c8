#pragma once
// How an instance gets its editor: each format hands in the editor library's factory when
// it builds the instance, so the engine itself links no window or GL code. Without one the
// instance has no editor (the tools and tests that need none).

class AEffEditor;
class QuanTessamire;

using EditorFactory = AEffEditor* (*)(QuanTessamire* plugin);
