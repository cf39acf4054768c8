#pragma once

#include "editor/toolkit/Manager.h"
#include "editor/toolkit/ShaderProgram.h"

struct DisplayBlock;
namespace QN {
class TextureRecord;
}  // namespace QN

// The plug-in's manager: a tiled background lit by the light that follows the mouse,
// and the frequency and note read-out of the bin-level parameters. While it exists the
// plug-in counts it as a viewer of its meters and spectra.
class TKmanager : public QN::Manager {
public:
    TKmanager(QN::PluginConnection& plugin, QN::PendingParameterChanges& pending);
    ~TKmanager() override;

    // The tile is loaded when first drawn; both repeat across the window.
    // Called on: host GUI thread, before rendering starts.
    void setBackgroundTextures(QN::TextureRecord* tile, QN::TextureRecord* normalMap);

    std::string parameterInfoText(int index) override;

protected:
    void initialiseGL() override;
    std::unique_ptr<RenderingShutdowner> createRenderingShutdowner() override;
    void drawStaticLayer() override;
    void drawBackground() override;

private:
    class TKRenderingShutdowner;

    DisplayBlock* display_;  // counted as a viewer; null without one
    QN::TextureRecord* background_ = nullptr;
    QN::TextureRecord* normalMap_ = nullptr;
    QN::ShaderProgram program_;
    int texLocation_ = -1;
    int normalMapLocation_ = -1;
    int viewportHLocation_ = -1;
    int screenExtentLocation_ = -1;
};
