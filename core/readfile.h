#pragma once
// Opening a user's file for reading without being held up by what it names.
#include <cstdio>

// Opens `path` for reading with the stdio `mode` ("r" or "rb") when it names a regular
// file; none otherwise (missing, unreadable, a folder, a pipe, a device, a socket), so
// the caller reports it like any file it cannot read. A pipe or a device would block the
// open or the read for ever, or never end.
FILE* openRegularFile(const char* path, const char* mode);
