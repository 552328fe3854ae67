#pragma once
// The worlds Page Up and Page Down step through: the default world, the file named at
// start when it is none of the others, and the gallery under worlds/, by name.
#include <string>
#include <vector>

struct WorldList {
    // Reads worlds/ in the current folder; `start` is the scene file the program opens.
    void load(const std::string& start);
    // Moves by `by` places, round the ends, and returns the new current file.
    const std::string& step(int by);
    // "Tessivane" for any world but the gallery's, whose names it adds: "Tessivane: cloth".
    std::string title() const;
    // The gallery's name of a file ("cloth" for worlds/cloth.scn), or empty for any other.
    static std::string name(const std::string& file);

    std::vector<std::string> files;
    size_t current = 0;
};
