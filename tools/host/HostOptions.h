#pragma once
// What our host tells a plug-in about itself when it asks.

namespace lfhost {

struct HostOptions {
    int hostVersion = 2400;  // answer to audioMasterVersion; 0 means "no host version"
    float sampleRate = 44100.0f;
    int blockSize = 1024;
};

}  // namespace lfhost
