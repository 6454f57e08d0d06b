// Paths timed at two sizes by bench/scale: each file linked into the program registers its own.
#pragma once

// A path timed at two sizes; run(n) returns the seconds the timed part took.
struct ScalePath { const char* name; int n1; int n2; double (*run)(int n); };
// Registers a path from a static initialiser in any file linked into bench/scale.
bool RegisterScalePath(const ScalePath& path);
