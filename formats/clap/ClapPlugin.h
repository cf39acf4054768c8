#pragma once
// The CLAP binding: one plug-in descriptor and the plug-in records a host creates from it.
// Each record wraps one HostedInstance and translates CLAP calls into its calls.

#include "formats/clap/ClapAbi.h"

namespace lumenfold::clap {

// The one descriptor of the library ("com.corvanne.lumenfold").
const clap_plugin_descriptor_t& descriptor();
// Called on: the host's main thread. Null when the host record is unusable.
const clap_plugin_t* createPlugin(const clap_host_t* host);

}  // namespace lumenfold::clap
