#pragma once
// The product's editor for an instance, as the formats hand it to the instances they make
// (an EditorFactory). Called on: the host thread that builds the instance.

class AEffEditor;
class QuanTessamire;

AEffEditor* makeProductEditor(QuanTessamire* plugin);
