#pragma once
// effVendorSpecific indices the test plug-in answers, shared with the tests.

#include "engine/abi/Vst2Abi.h"

// Copies the event log (one line per event) into ptr, at most value - 1 bytes + NUL.
constexpr VstInt32 kHookReadEventLog = fourCharCode('e', 'l', 'o', 'g');
// Starts a plug-in thread that calls audioMasterAutomate(value, opt) and returns at once.
constexpr VstInt32 kHookAutomateFromThread = fourCharCode('t', 'h', 'r', 'd');
// Calls the host callback with opcode value and returns the host's answer.
constexpr VstInt32 kHookAskHost = fourCharCode('a', 's', 'k', 'h');
// The sample rate and block size the plug-in was last told through the dispatcher.
constexpr VstInt32 kHookHostSampleRate = fourCharCode('s', 'r', 'a', 't');
constexpr VstInt32 kHookHostBlockSize = fourCharCode('b', 'l', 'k', 's');
