#pragma once
// Runs the selected spectral script on one frame's working spectrum.
// Called on: the audio thread, inside the kernel.

class SpectralScriptRunner {
public:
    virtual ~SpectralScriptRunner() = default;
    // spectrum: fftSize floats in the packed layout of RealFft.
    virtual void runSpectralScript(int scriptIndex, float* spectrum, int fftSize) = 0;
};
