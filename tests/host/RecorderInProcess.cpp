// The recorder plug-in linked into the test program, its entry named recorderEntry.
#define RECORDER_IN_PROCESS
#include "RecorderPlugin.cpp"
