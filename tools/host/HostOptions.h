#pragma once
// What our host tells a plug-in about itself when it asks.

namespace lfhost {

struct HostOptions {
    int hostVersion = 2400;  // answer to audioMasterVersion; 0 means "no host version"
    float sampleRate = 44100.0f;
    int blockSize = 1024;
    // Record every host callback (see PluginInstance::calls). A live host turns this off:
    // recording locks and grows a list, which the audio thread must never do.
    bool recordCalls = true;
};

}  // namespace lfhost
