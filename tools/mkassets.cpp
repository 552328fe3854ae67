// Writes our own pictures (and, on request, models) for the program's working folder.
//   mkassets <run folder>             pictures under data/, data/sky/ and bone.bmp
//   mkassets --models <data folder>   the committed OBJ/MTL models
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/art_buttons.h"
#include "tools/art_models.h"
#include "tools/art_sky.h"
#include "tools/art_textures.h"

namespace {

bool writePictures(const std::string& root)
{
    std::error_code error;
    std::filesystem::create_directories(root + "/data/sky", error);
    if (error) {
        std::printf("mkassets: unable to create %s/data/sky\n", root.c_str());
        return false;
    }
    const std::string data = root + "/data/";
    bool ok = true;
    ok = art::glowSprite(64).save(data + "par_lum.bmp") && ok;
    ok = art::groundDetail(256).save(data + "landscape.bmp") && ok;
    for (int f = 0; f < sky::kFaceCount; ++f)
        ok = sky::face(f, sky::kFaceSize).save(data + "sky/blue" + sky::kFaceNames[f] + ".bmp") && ok;

    ok = art::labelButton(64, 32, "EULER", {0.30f, 0.45f, 0.75f}).save(data + "int_euler.bmp") && ok;
    ok = art::labelButton(64, 32, "RK4", {0.25f, 0.62f, 0.55f}).save(data + "int_rk4.bmp") && ok;
    ok = art::labelButton(64, 32, "SOURCE", {0.80f, 0.52f, 0.18f}).save(data + "source.bmp") && ok;
    ok = art::labelButton(64, 32, "RESET", {0.70f, 0.28f, 0.24f}).save(data + "reset.bmp") && ok;
    ok = art::iconButton(32, art::Icon::Pause, {0.40f, 0.44f, 0.52f}).save(data + "pause.bmp") && ok;
    ok = art::iconButton(32, art::Icon::Play, {0.30f, 0.58f, 0.32f}).save(data + "play.bmp") && ok;

    ok = art::bone(128).save(root + "/bone.bmp") && ok;
    ok = art::stone(256).save(data + "stone.bmp") && ok;
    ok = art::wood(256).save(data + "wood.bmp") && ok;
    ok = art::jelly(128).save(data + "jelly.bmp") && ok;
    ok = art::metal(128).save(data + "metal.bmp") && ok;
    return ok;
}

bool writeModels(const std::string& dir)
{
    const std::string made = "made by tools/mkassets --models";
    bool ok = true;
    ok = art::yawArrow().writeObj(dir + "/yaw.obj", "yaw ring arrow, " + made, "") && ok;
    ok = art::pitchArrow().writeObj(dir + "/pitch_chop2.obj", "pitch half-ring arrow, " + made, "") && ok;
    ok = art::forwardArrow().writeObj(dir + "/fwd.obj", "forward arrow, " + made, "") && ok;
    struct Model {
        const char* name;
        Mesh mesh;
        const char* texture;
        const char* what;
    };
    const Model models[] = {
        {"ramp", art::ramp(), "data/wood.bmp", "wedge ramp"},
        {"bowl", art::bowl(), "data/metal.bmp", "dish"},
        {"pillar", art::pillar(), "data/stone.bmp", "column"},
        {"blob", art::blob(), "data/jelly.bmp", "soft body"},
        {"tower", art::tower(), "data/stone.bmp", "round tower"},
    };
    for (const Model& m : models) {
        const std::string base = m.name;
        ok = m.mesh.writeObj(dir + "/" + base + ".obj", std::string(m.what) + ", " + made, "data/" + base + ".mtl") &&
             ok;
        ok = writeMtl(dir + "/" + base + ".mtl", std::string(m.what) + ", " + made,
                      {{m.mesh.materials.at(0), m.texture}}) &&
             ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--models") == 0) return writeModels(argv[2]) ? 0 : 1;
    if (argc == 2) return writePictures(argv[1]) ? 0 : 1;
    std::printf("usage: mkassets <run folder> | mkassets --models <data folder>\n");
    return 2;
}
