# Our own pictures, generated at build time among the run folder's inputs.
add_library(tv_art STATIC
  ${CMAKE_CURRENT_LIST_DIR}/art_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/art_sky.cpp
  ${CMAKE_CURRENT_LIST_DIR}/art_textures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/art_buttons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/art_mesh.cpp
  ${CMAKE_CURRENT_LIST_DIR}/art_models.cpp
)
target_link_libraries(tv_art PUBLIC tv_assets tv_font tv_shared)

add_executable(mkassets ${CMAKE_CURRENT_LIST_DIR}/mkassets.cpp)
target_link_libraries(mkassets PRIVATE tv_art)

set(TV_ART_OUTPUTS
  ${TESSIVANE_SHIP_DIR}/data/par_lum.bmp
  ${TESSIVANE_SHIP_DIR}/data/landscape.bmp
  ${TESSIVANE_SHIP_DIR}/data/int_euler.bmp
  ${TESSIVANE_SHIP_DIR}/data/int_rk4.bmp
  ${TESSIVANE_SHIP_DIR}/data/source.bmp
  ${TESSIVANE_SHIP_DIR}/data/reset.bmp
  ${TESSIVANE_SHIP_DIR}/data/pause.bmp
  ${TESSIVANE_SHIP_DIR}/data/play.bmp
  ${TESSIVANE_SHIP_DIR}/data/stone.bmp
  ${TESSIVANE_SHIP_DIR}/data/wood.bmp
  ${TESSIVANE_SHIP_DIR}/data/jelly.bmp
  ${TESSIVANE_SHIP_DIR}/data/metal.bmp
  ${TESSIVANE_SHIP_DIR}/bone.bmp
)
foreach(face ft bk dn up rt lf)
  list(APPEND TV_ART_OUTPUTS ${TESSIVANE_SHIP_DIR}/data/sky/blue${face}.bmp)
endforeach()

add_custom_command(OUTPUT ${TV_ART_OUTPUTS}
  COMMAND mkassets ${TESSIVANE_SHIP_DIR}
  DEPENDS mkassets
  COMMENT "Painting our pictures")
add_custom_target(art_assets ALL DEPENDS ${TV_ART_OUTPUTS})

# Regenerates the committed models in data/ (run by hand after changing the models).
add_custom_target(art_models
  COMMAND mkassets --models ${PROJECT_SOURCE_DIR}/data
  DEPENDS mkassets
  COMMENT "Writing the models into data/")
