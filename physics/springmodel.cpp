#include "physics/springmodel.h"

SpringModel::SpringModel() { reset(); }
SpringModel::~SpringModel() { release(); }
void SpringModel::reset() { SpringObj::reset(); model = nullptr; cornerCos = nullptr; }
void SpringModel::release() { delete[] cornerCos; cornerCos = nullptr; SpringObj::release(); reset(); }
void SpringModel::restretch() { SpringObj::restretch(); }
bool SpringModel::buildFromModel(const ObjFile* m) { if (!init(parSys, springSys)) return false; model = m; return true; }
void SpringModel::copyModelPositions() {}
void SpringModel::applyAngleForces() {}
void SpringModel::draw() const {}
void SpringModel::computeFacing(const Quat&) {}
void SpringModel::drawSilhouette(const Vec3&, float, float) const {}
