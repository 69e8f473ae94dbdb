#pragma once

// Prints the frame hand-over's ratio line (the streaming thread's hand-over while the main
// thread converts, against the same hand-over with nothing converting), when both were run.
void PrintHandOverRatio();
