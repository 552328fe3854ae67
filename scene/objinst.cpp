#include "scene/objinst.h"

#include <cstdio>

int ObjInst::instanceCounter = 0;

ObjInst::ObjInst() { snprintf(name, sizeof name, "obj %d\n", instanceCounter++); }
ObjInst::~ObjInst() {}
bool ObjInst::setModel(const ObjFile* m) { model = m; return true; }
void ObjInst::computeWorldVertices() {}
void ObjInst::computeBox() {}
bool ObjInst::buildBsp(int) { return true; }
bool ObjInst::sweep(const Vec3&, float, TraceHit&) const { return false; }
void ObjInst::draw() const {}
