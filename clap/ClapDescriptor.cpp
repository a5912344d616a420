// The plug-in's identity as hosts list it; the version is the project's.
#include "ClapPlugin.h"

namespace tamblin::clap {

namespace {
constexpr const char* kFeatures[] = {CLAP_PLUGIN_FEATURE_INSTRUMENT, CLAP_PLUGIN_FEATURE_SYNTHESIZER,
                                     CLAP_PLUGIN_FEATURE_STEREO, nullptr};
}  // namespace

const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION, "com.brightmoor.tamblin", "Tamblin", "Brightmoor", "", "", "", TAMBLIN_VERSION,
    "Polyphonic synthesizer with trance gate and arpeggiator", kFeatures};

}  // namespace tamblin::clap
