#include "physics/springspace.h"

SpringSpace::SpringSpace() { reset(); }
SpringSpace::~SpringSpace() {}
void SpringSpace::reset() { SpringObj::reset(); model = nullptr; deformed.clear(); }
bool SpringSpace::setModel(const ObjFile* m) { if (!init(parSys, springSys)) return false; model = m; return true; }
void SpringSpace::draw(bool) {}
