// Where start-up spends its time: stamps kept in memory from the process's entry to its first idle,
// written out only when the environment variable TRIGORA_STARTUP_TRACE names a file.
#pragma once

namespace trigora::startup {

// Whether a trace was asked for; read once.
bool Traced();

// A step of start-up has ended now. Kept only while starting and only when traced; step is a
// literal (its address is kept).
void Mark(const char* step);

// Time spent in a part of start-up that recurs (painting one kind of control, making fonts),
// summed over its calls while starting. Costs one flag test when no trace is asked for.
class Part {
  public:
    explicit Part(const char* name);
    ~Part();
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

  private:
    const char* name_;
    long long start_ = 0;
};

// True from the process's entry until the first idle, when traced.
bool Starting();

// The event loop has found its queue empty for the first time: the last stamp. The trace is
// written a moment later, from a timer of the loop, so that writing it is no part of what whoever
// measures the start sees.
void FirstIdle();

} // namespace trigora::startup
