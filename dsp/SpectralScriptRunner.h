#pragma once
// Runs the selected spectral script on one frame's working spectrum.
// Called on: the audio thread, inside the kernel.

class SpectralScriptRunner {
public:
    virtual ~SpectralScriptRunner() = default;
    // spectrum: fftSize floats in the packed layout of RealFft; overlap: frames per frame
    // length (2, 4 or 8), so a frame starts every fftSize / overlap samples.
    virtual void runSpectralScript(int scriptIndex, float* spectrum, int fftSize, int overlap = 2) = 0;
};
