#pragma once
// Makes the instance's editor. The editor library provides it; the plug-in calls it once
// while it is built (host thread).

class AEffEditor;
class QuanTessamire;

AEffEditor* createPluginEditor(QuanTessamire* plugin);
