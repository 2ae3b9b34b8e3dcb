// The engine's stamps for the program's start-up trace: kept only when TRIGORA_STARTUP_TRACE asks.
#pragma once

namespace pelk {

// A step of the engine's work has ended now. The first stamps are handed to the program through
// the process's environment (TRIGORA_STARTUP_TRACE_ENGINE), which the program writes out with its
// own; the engine exports nothing for it. Nothing happens when no trace is asked for.
void TraceMark(const char* step);

} // namespace pelk
