#pragma once

#include <string>

// Writes `text` to the program's standard output: what a script that started it reads. A
// windowed program on Windows has none of its own when started from a console, so it writes to
// the console of the process that started it, if there is one. Nothing happens where there is
// nowhere to write.
void WriteStandardOutput(const std::string& text);
