#pragma once
// Threads that work for the window (the archive's writer and checkpointer, its readers, long
// work such as a restore's read, a trend window's fill) run below the window's own thread: on two
// processors three busy threads left the window's thread runnable but not running for tens of
// milliseconds. Linux keeps a nice value per thread; Qt's thread priorities do nothing under the
// normal scheduling policy. Each worker names itself too, so that a profile or /proc tells them
// apart.

// Lowers the calling thread's priority a few steps below what it had (once per thread: it does
// not undo itself). The window's thread then gets about three times a worker's share of a
// processor they both want, and a worker still takes a processor nobody else wants. A refusal
// leaves the thread as it was.
void LowerThisThreadPriority();

// Names the calling thread as `ps -L` and /proc show it (at most 15 characters are kept).
void NameThisThread(const char* name);
