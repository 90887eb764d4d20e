// Files being written under a temporary name, known by name until they are
// renamed into place or removed, so that a process ended by a signal can
// still remove them. The table is plain memory that a signal handler may
// read: registering copies the name first and marks the slot last.
#pragma once

// How many files may be in progress at once.
constexpr int kMaxPendingFiles = 8;

// Notes a temporary file (before it is created, so that no moment leaves
// it unknown). False when the table is full or the name too long.
bool RegisterPendingFile(const char* path);

// Forgets a name once its file was renamed or removed.
void ForgetPendingFile(const char* path);

// Calls `visit` with every name in the table. Touches nothing but the table,
// so a signal handler may call it with an async-signal-safe `visit`.
void ForEachPendingFile(void (*visit)(const char* path));
