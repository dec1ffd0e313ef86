#pragma once
// Has the system refuse a thread, as it does once a process reaches its
// limit of threads or memory. A test program that links
// zanto_refused_threads defines pthread_create, which the C++ library calls
// for every std::thread (std::async's among them); the refused one fails
// with EAGAIN, so its constructor throws std::system_error for real. Only
// those starts are counted and refused: FFmpeg and libx264 start threads of
// their own in numbers that follow the machine's cores, and those pass
// untouched. Any thread.

namespace zanto::test {

// Counts std::thread starts afresh and refuses the `nth` of them (1: the
// next one); 0 refuses none.
void refuseThreadStart(int nth);
// std::thread starts since the last refuseThreadStart(), the refused one among them.
int threadStarts();
// std::threads started in this process that have not yet returned.
int runningThreads();

} // namespace zanto::test
