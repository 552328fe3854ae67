#pragma once
// Helpers shared by the model tests.
#include <string>

#include "assets/objfile.h"
#include "support/testutil.h"

// Loads OBJ text from memory (withEdges optional) and returns what was printed.
inline std::string loadText(ObjFile& obj, const std::string& text, bool withEdges = false, bool* ok = nullptr)
{
    StdoutCapture out;
    out.begin();
    bool result = obj.loadFromMemory(text.data(), text.size(), withEdges, "mem.obj");
    std::string printed = out.end();
    if (ok) *ok = result;
    return printed;
}

inline std::string loadMtlText(ObjFile& obj, const std::string& text, bool* ok = nullptr)
{
    StdoutCapture out;
    out.begin();
    bool result = obj.loadMaterialsFromMemory(text.data(), text.size());
    std::string printed = out.end();
    if (ok) *ok = result;
    return printed;
}

inline void writeFile(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}
