#pragma once
// Opening a user's file for reading without being held up by what it names.
#include <cstdio>
#include <string>
#include <vector>

// Opens `path` for reading with the stdio `mode` ("r" or "rb") when it names a regular
// file; none otherwise (missing, unreadable, a folder, a pipe, a device, a socket), so
// the caller reports it like any file it cannot read. A pipe or a device would block the
// open or the read for ever, or never end.
// A relative path counts from the read folder (see below).
FILE* openRegularFile(const char* path, const char* mode);

// Every name openRegularFile opened since the last forgetFilesRead, once each in the order
// first opened: what a world read, for a recording to fingerprint.
const std::vector<std::string>& filesRead();
void forgetFilesRead();

// The folder relative paths are read from: empty (the current folder) unless the program,
// started elsewhere, reads its shipped files from beside its executable. Only reads count
// from it: what the program writes (recordings) stays in the current folder.
void setReadFolder(const std::string& folder);
const std::string& readFolder();
// The name `path` is read by. Failure lines print it, so that they say where they looked.
std::string readPath(const char* path);
